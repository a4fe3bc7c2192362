#include "app/TrayIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap blank()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A handset: two ear pieces joined by an arc.
void drawHandset(QPainter& p, const QColor& color)
{
    p.setPen(QPen(color, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRect(6, 6, 20, 20), 200 * 16, 140 * 16);
    p.setBrush(color);
    p.drawEllipse(QRect(4, 18, 7, 7));
    p.drawEllipse(QRect(21, 18, 7, 7));
}

} // namespace

QIcon trayIcon(TrayAnimation::List list, int frame)
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (list) {
    case TrayAnimation::List::Normal:
        drawHandset(p, frame == 0 ? QColor(0x2e, 0x7d, 0x32) : QColor(0x80, 0x80, 0x80));
        break;
    case TrayAnimation::List::Recording: {
        drawHandset(p, QColor(0x2e, 0x7d, 0x32));
        const int r = 4 + frame * 2; // a growing red dot
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd3, 0x2f, 0x2f));
        p.drawEllipse(QPoint(24, 8), r / 2 + 2, r / 2 + 2);
        break;
    }
    case TrayAnimation::List::NewMessages:
        drawHandset(p, QColor(0x2e, 0x7d, 0x32));
        if (frame == 0) { // an envelope, blinking
            p.setPen(QPen(QColor(0x15, 0x65, 0xc0), 2));
            p.setBrush(QColor(0xff, 0xf3, 0xb0));
            p.drawRect(QRect(14, 2, 16, 11));
            p.drawLine(14, 2, 22, 9);
            p.drawLine(30, 2, 22, 9);
        }
        break;
    }
    return QIcon(pixmap);
}

QIcon programIcon()
{
    // The installed icon of the theme; a build that is not installed has its own copy.
    static const QIcon own = [] {
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
        return icon;
    }();
    return QIcon::fromTheme(QStringLiteral("velmora"), own);
}

#include "app/ThemeIcons.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace themeicons {

namespace {

struct Entry
{
    Glyph glyph;
    const char* name;
};

constexpr Entry Names[] = {
    {Glyph::Play, "media-playback-start"}, {Glyph::Pause, "media-playback-pause"},
    {Glyph::Stop, "media-playback-stop"},  {Glyph::Rewind, "media-seek-backward"},
    {Glyph::Forward, "media-seek-forward"}, {Glyph::Record, "media-record"},
    {Glyph::First, "go-first"},            {Glyph::Prior, "go-up"},
    {Glyph::Next, "go-down"},              {Glyph::Last, "go-last"},
    {Glyph::Delete, "edit-delete"},        {Glyph::Search, "edit-find"},
    {Glyph::Mail, "mail-send"},            {Glyph::Help, "help-contents"},
    {Glyph::Information, "dialog-information"},
};

QPolygonF triangle(double x, double y, double w, double h, bool right)
{
    if (right)
        return QPolygonF({QPointF(x, y), QPointF(x + w, y + h / 2), QPointF(x, y + h)});
    return QPolygonF({QPointF(x + w, y), QPointF(x, y + h / 2), QPointF(x + w, y + h)});
}

QPolygonF upright(double x, double y, double w, double h, bool up)
{
    if (up)
        return QPolygonF({QPointF(x, y + h), QPointF(x + w / 2, y), QPointF(x + w, y + h)});
    return QPolygonF({QPointF(x, y), QPointF(x + w / 2, y + h), QPointF(x + w, y)});
}

// On a 24 x 24 grid.
void paint(QPainter& p, Glyph glyph, const QColor& ink, bool enabled)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (glyph) {
    case Glyph::Play: p.drawPolygon(triangle(7, 4, 12, 16, true)); break;
    case Glyph::Pause:
        p.drawRect(QRectF(6, 5, 4, 14));
        p.drawRect(QRectF(14, 5, 4, 14));
        break;
    case Glyph::Stop: p.drawRect(QRectF(6, 6, 12, 12)); break;
    case Glyph::Rewind:
        p.drawPolygon(triangle(2, 6, 10, 12, false));
        p.drawPolygon(triangle(12, 6, 10, 12, false));
        break;
    case Glyph::Forward:
        p.drawPolygon(triangle(2, 6, 10, 12, true));
        p.drawPolygon(triangle(12, 6, 10, 12, true));
        break;
    case Glyph::Record:
        p.setBrush(enabled ? QColor(0xd3, 0x2f, 0x2f) : ink); // red on any palette, grey when off
        p.setPen(QPen(ink, 1.5));
        p.drawEllipse(QRectF(5, 5, 14, 14));
        break;
    case Glyph::First:
        p.drawRect(QRectF(5, 4, 14, 3));
        p.drawPolygon(upright(5, 9, 14, 11, true));
        break;
    case Glyph::Prior: p.drawPolygon(upright(5, 7, 14, 10, true)); break;
    case Glyph::Next: p.drawPolygon(upright(5, 7, 14, 10, false)); break;
    case Glyph::Last:
        p.drawPolygon(upright(5, 4, 14, 11, false));
        p.drawRect(QRectF(5, 17, 14, 3));
        break;
    case Glyph::Delete:
        p.drawRect(QRectF(5, 5, 14, 2.5));
        p.drawRect(QRectF(10, 3, 4, 2));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2));
        p.drawRect(QRectF(7, 9, 10, 11));
        p.drawLine(QPointF(10.5, 11), QPointF(10.5, 18));
        p.drawLine(QPointF(13.5, 11), QPointF(13.5, 18));
        break;
    case Glyph::Search:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2.5));
        p.drawEllipse(QRectF(4, 4, 11, 11));
        p.setPen(QPen(ink, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 14), QPointF(20, 20));
        break;
    case Glyph::Mail:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawRect(QRectF(3, 6, 18, 13));
        p.drawPolyline(QPolygonF({QPointF(3, 6), QPointF(12, 13), QPointF(21, 6)}));
        break;
    case Glyph::Help:
    case Glyph::Information: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 2));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        QFont font = p.font();
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter,
                   glyph == Glyph::Help ? QStringLiteral("?") : QStringLiteral("i"));
        break;
    }
    }
}

QPixmap render(Glyph glyph, const QColor& ink, int size, bool enabled)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    paint(p, glyph, ink, enabled);
    return pixmap;
}

// Mean lightness of the opaque pixels; -1 for an empty image.
double lightness(const QIcon& icon)
{
    const QImage image = icon.pixmap(22, 22).toImage().convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            sum += c.lightnessF();
            ++count;
        }
    return count == 0 ? -1 : sum / count;
}

} // namespace

QString themeName(Glyph glyph)
{
    for (const Entry& e : Names)
        if (e.glyph == glyph)
            return QLatin1String(e.name);
    return {};
}

bool standsOut(double lightness, const QColor& background)
{
    return lightness >= 0 && std::abs(lightness - background.lightnessF()) >= 0.3;
}

QIcon drawn(Glyph glyph, const QPalette& palette)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        icon.addPixmap(render(glyph, palette.color(QPalette::Active, QPalette::ButtonText), size, true), QIcon::Normal);
        icon.addPixmap(render(glyph, palette.color(QPalette::Disabled, QPalette::ButtonText), size, false), QIcon::Disabled);
    }
    return icon;
}

QIcon icon(Glyph glyph, const QPalette& palette)
{
    const QIcon themed = QIcon::fromTheme(themeName(glyph));
    if (!themed.isNull() && standsOut(lightness(themed), palette.color(QPalette::Button)))
        return themed;
    return drawn(glyph, palette);
}

} // namespace themeicons

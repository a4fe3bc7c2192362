#include "app/StoredLook.h"

#include <QApplication>
#include <QFontInfo>
#include <climits>

namespace look {

namespace {

// The system colour indexes the settings of other installations carry.
QPalette::ColorRole roleOfSystemColor(int index)
{
    switch (index) {
    case 1:  // desktop
    case 12: // application workspace
        return QPalette::Dark;
    case 5: // window
        return QPalette::Base;
    case 6:  // window frame
    case 16: // button shadow
    case 21: // 3D dark shadow
        return QPalette::Shadow;
    case 7:  // menu text
    case 9:  // caption text
    case 18: // button text
        return QPalette::ButtonText;
    case 8: // window text
        return QPalette::WindowText;
    case 13: // highlight
    case 2:  // active caption
        return QPalette::Highlight;
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 20: // button highlight
    case 22: // 3D light
        return QPalette::Light;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    default: // scroll bar, menu, button face, borders...
        return QPalette::Button;
    }
}

} // namespace

QColor storedColor(int value, const QPalette& palette)
{
    if (value < 0)
        return palette.color(QPalette::Active, roleOfSystemColor(int(qint64(value) - qint64(INT_MIN))));
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

int storedValue(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor fontColor(int value, const QPalette& palette)
{
    return value == 0 ? palette.color(QPalette::Text) : storedColor(value, palette);
}

QFont storedFont(const QString& family, int pointSize)
{
    QFont font = QApplication::font();
    if (!family.isEmpty() && QFontInfo(QFont(family)).family().compare(family, Qt::CaseInsensitive) == 0)
        font.setFamily(family);
    if (pointSize >= 6 && pointSize <= 48)
        font.setPointSize(std::max(pointSize, QApplication::font().pointSize()));
    return font;
}

} // namespace look

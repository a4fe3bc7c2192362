#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// Colours and fonts as the settings file stores them.
namespace look {

// 24-bit RGB with red in the low byte; a system colour is stored as
// -2147483648 plus its index and maps to the palette role of that index
// (window text -2147483640 to the palette's window text), so the colours
// follow the desktop's theme.
QColor storedColor(int value, const QPalette& palette);
int storedValue(const QColor& color);
// The never-chosen font colour (0, black) follows the palette's text, so a
// dark theme stays readable; any other value is used as stored.
QColor fontColor(int value, const QPalette& palette);

// A family that is not installed falls back to the application font's;
// sizes outside 6..48 points keep the application's size.
QFont storedFont(const QString& family, int pointSize);

} // namespace look

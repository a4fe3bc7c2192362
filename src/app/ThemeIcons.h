#pragma once

#include <QIcon>
#include <QPalette>

// The window's icons: the user's icon theme by its freedesktop name, else
// (no such icon, or one that would not stand out on this palette's
// buttons) the program's own, drawn in the palette's colours. Asked again
// whenever the palette changes.
namespace themeicons {

enum class Glyph {
    Play, Pause, Stop, Rewind, Forward, Record, First, Prior, Next, Last, Delete, Search, Mail, Help, Information
};

QIcon icon(Glyph glyph, const QPalette& palette);
// The freedesktop name looked up in the theme.
QString themeName(Glyph glyph);
// The program's own drawing, for the palette.
QIcon drawn(Glyph glyph, const QPalette& palette);
// Whether an image of this mean lightness (0..1) stands out on the colour.
bool standsOut(double lightness, const QColor& background);

} // namespace themeicons

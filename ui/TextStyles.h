#pragma once
// Fonts of the views: the desktop's UI font family, at sizes in the views' units (logical pixels, the units
// of every frame and spacing, so text and geometry scale together with the display).
//
// systemFont() is the UI family at an exact size. The named text styles are one table whose sizes follow
// the desktop's UI font: body is that font's size (kept between 12 and 16), and the others keep their
// proportion to it, so a desktop set to larger text gets larger captions too.
#include <QFont>

namespace kalvix::ui {

enum class TextStyle { title2, body, callout, subheadline, caption };

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
QFont textStyleFont(TextStyle style, QFont::Weight weight = QFont::Normal);

// The pixel size of a named style with the current UI font.
int textStylePixelSize(TextStyle style);

} // namespace kalvix::ui

#pragma once
// A symbol as the icon of a standard button ("Add Countdown" with its plus), in the button's text colour.
// A QIcon is a set of pixmaps and cannot follow the palette by itself, so the icon is drawn again when the
// button's palette changes (a theme switch), at the scales screens use, with a dimmed copy for the
// disabled state.
#include <QString>

class QAbstractButton;

namespace kalvix::ui {

void setSymbolIcon(QAbstractButton* button, const QString& symbol);

} // namespace kalvix::ui

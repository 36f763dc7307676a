#pragma once
// The part of a screen that panels leave free. Qt knows it from the window manager (_NET_WORKAREA);
// where no window manager publishes it, the panels' own reservations (_NET_WM_STRUT_PARTIAL and
// _NET_WM_STRUT on the top-level windows) say it, so the popover never lands on a panel.
#include <QList>
#include <QRect>
#include <QSize>

#include <array>

class QScreen;

namespace kalvix {

// One panel's reservation: left, right, top, bottom, then the start and end of each along its edge
// (left_start_y, left_end_y, right_start_y, right_end_y, top_start_x, top_end_x, bottom_start_x,
// bottom_end_x), in device pixels from the edges of the whole display (the root window).
using Strut = std::array<quint32, 12>;

// The free part of `screen` (device pixels, within a display of `root` size) left by `struts`.
QRect areaLeftByStruts(QRect screen, QSize root, const QList<Strut>& struts);

// The free area of a screen in Qt's logical pixels: Qt's available geometry, made smaller by the
// panels' reservations read from the X server when Kalvix runs on X11.
QRect availableArea(const QScreen* screen);

} // namespace kalvix

#pragma once
// Where the popover goes: against the edge of the panel that holds the status item, centred on the
// item along that edge, and inside the screen's area that panels leave free. Pure geometry in global
// logical pixels, for the popover window and its tests.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kalvix {

enum class PanelEdge { top, bottom, left, right };

// The edge the item's panel lies on: the side of the free area the item is beyond, when panels reserve
// room; else the upper or lower half of the screen it is in.
PanelEdge panelEdgeOf(QRect item, QRect screen, QRect available);

// The part of the free area the popover may cover for an item: beyond the item's panel and a small gap
// (below a top panel, above a bottom one, beside a side one), never over the panel that holds the item,
// so a second click on the item always reaches it. A popover taller or wider than this must be made to
// fit (its layout scrolls).
QRect popoverRoom(QRect item, QRect screen, QRect available);

// The popover's top-left for an item (a point or the item's rectangle), kept inside popoverRoom().
QPoint popoverPosition(QRect item, QSize popover, QRect screen, QRect available);

// An anchor for a popover asked for from a menu, where no item position is known: the strip of the
// panel nearest the pointer, at the pointer's place along it ("against the panel edge", never at the
// pointer itself). Without reserved panels, the nearer of the screen's top and bottom edges.
QRect menuAnchor(QPoint pointer, QRect screen, QRect available);

} // namespace kalvix

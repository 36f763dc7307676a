#include "app/PopoverPlacement.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kalvix {
namespace {

constexpr qint64 kGap = 4;

// Computed in 64 bits: the anchor may come from another program, and no value of it may overflow.
int clampTo(qint64 value, qint64 low, qint64 highEnd, qint64 length)
{
    const qint64 high = std::max(low, highEnd - length);
    return static_cast<int>(std::clamp(value, low, high));
}

qint64 centre(qint64 start, qint64 length)
{
    return start + length / 2;
}

} // namespace

PanelEdge panelEdgeOf(QRect item, QRect screen, QRect available)
{
    const qint64 x = centre(item.x(), item.width());
    const qint64 y = centre(item.y(), item.height());
    if (available != screen && !available.isEmpty()) {
        if (available.top() > screen.top() && y < available.top())
            return PanelEdge::top;
        if (available.bottom() < screen.bottom() && y > available.bottom())
            return PanelEdge::bottom;
        if (available.left() > screen.left() && x < available.left())
            return PanelEdge::left;
        if (available.right() < screen.right() && x > available.right())
            return PanelEdge::right;
    }
    return y > centre(screen.y(), screen.height()) ? PanelEdge::bottom : PanelEdge::top;
}

QPoint popoverPosition(QRect item, QSize popover, QRect screen, QRect available)
{
    if (available.isEmpty())
        available = screen;
    const qint64 w = popover.width();
    const qint64 h = popover.height();
    const qint64 areaLeft = available.left(), areaTop = available.top();
    const qint64 areaRight = qint64(available.left()) + available.width();
    const qint64 areaBottom = qint64(available.top()) + available.height();
    const qint64 itemLeft = item.left(), itemTop = item.top();
    const qint64 itemRight = itemLeft + std::max(1, item.width());
    const qint64 itemBottom = itemTop + std::max(1, item.height());
    qint64 x = centre(itemLeft, itemRight - itemLeft) - w / 2;
    qint64 y = centre(itemTop, itemBottom - itemTop) - h / 2;
    switch (panelEdgeOf(item, screen, available)) {
    case PanelEdge::top:
        y = std::max(itemBottom, areaTop) + kGap;
        break;
    case PanelEdge::bottom:
        y = std::min(itemTop, areaBottom) - kGap - h;
        break;
    case PanelEdge::left:
        x = std::max(itemRight, areaLeft) + kGap;
        break;
    case PanelEdge::right:
        x = std::min(itemLeft, areaRight) - kGap - w;
        break;
    }
    return QPoint(clampTo(x, areaLeft, areaRight, w), clampTo(y, areaTop, areaBottom, h));
}

QRect menuAnchor(QPoint pointer, QRect screen, QRect available)
{
    if (available.isEmpty())
        available = screen;
    struct Candidate {
        PanelEdge edge;
        qint64 distance;
        QRect strip;
    };
    const qint64 px = pointer.x(), py = pointer.y();
    const int topDepth = std::max(0, available.top() - screen.top());
    const int bottomDepth = std::max(0, screen.bottom() - available.bottom());
    const int leftDepth = std::max(0, available.left() - screen.left());
    const int rightDepth = std::max(0, screen.right() - available.right());
    const Candidate all[] = {
        {PanelEdge::top, std::abs(py - available.top()), QRect(pointer.x(), screen.top(), 1, std::max(1, topDepth))},
        {PanelEdge::bottom,
         std::abs(py - available.bottom()),
         QRect(pointer.x(), screen.bottom() + 1 - std::max(1, bottomDepth), 1, std::max(1, bottomDepth))},
        {PanelEdge::left,
         std::abs(px - available.left()),
         QRect(screen.left(), pointer.y(), std::max(1, leftDepth), 1)},
        {PanelEdge::right,
         std::abs(px - available.right()),
         QRect(screen.right() + 1 - std::max(1, rightDepth), pointer.y(), std::max(1, rightDepth), 1)},
    };
    const bool anyPanel = topDepth || bottomDepth || leftDepth || rightDepth;
    const Candidate* best = nullptr;
    for (const Candidate& c : all) {
        const int depth = c.edge == PanelEdge::top      ? topDepth
                          : c.edge == PanelEdge::bottom ? bottomDepth
                          : c.edge == PanelEdge::left   ? leftDepth
                                                        : rightDepth;
        const bool eligible = anyPanel ? depth > 0 : (c.edge == PanelEdge::top || c.edge == PanelEdge::bottom);
        if (eligible && (!best || c.distance < best->distance))
            best = &c;
    }
    return best->strip;
}

} // namespace kalvix

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

namespace {

// The free area and the item as 64-bit edges (right and bottom exclusive): an anchor may come from another
// program, and no value of it may overflow.
struct Edges {
    qint64 left, top, right, bottom;
};

Edges edgesOf(QRect r)
{
    return {r.left(), r.top(), qint64(r.left()) + r.width(), qint64(r.top()) + r.height()};
}

Edges itemEdges(QRect item)
{
    return {item.left(),
            item.top(),
            qint64(item.left()) + std::max(1, item.width()),
            qint64(item.top()) + std::max(1, item.height())};
}

int toInt(qint64 value)
{
    return static_cast<int>(
        std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

QRect popoverRoom(QRect item, QRect screen, QRect available)
{
    if (available.isEmpty())
        available = screen;
    const Edges area = edgesOf(available);
    const Edges at = itemEdges(item);
    Edges room = area;
    switch (panelEdgeOf(item, screen, available)) {
    case PanelEdge::top:
        room.top = std::clamp(std::max(at.bottom, area.top) + kGap, area.top, area.bottom);
        break;
    case PanelEdge::bottom:
        room.bottom = std::clamp(std::min(at.top, area.bottom) - kGap, area.top, area.bottom);
        break;
    case PanelEdge::left:
        room.left = std::clamp(std::max(at.right, area.left) + kGap, area.left, area.right);
        break;
    case PanelEdge::right:
        room.right = std::clamp(std::min(at.left, area.right) - kGap, area.left, area.right);
        break;
    }
    return QRect(QPoint(toInt(room.left), toInt(room.top)), QPoint(toInt(room.right - 1), toInt(room.bottom - 1)));
}

QPoint popoverPosition(QRect item, QSize popover, QRect screen, QRect available)
{
    const QRect room = popoverRoom(item, screen, available);
    const Edges area = edgesOf(room);
    const Edges at = itemEdges(item);
    const qint64 w = popover.width();
    const qint64 h = popover.height();
    // Centred on the item along its panel, against the panel's side of the room across it.
    qint64 x = centre(at.left, at.right - at.left) - w / 2;
    qint64 y = centre(at.top, at.bottom - at.top) - h / 2;
    switch (panelEdgeOf(item, screen, available.isEmpty() ? screen : available)) {
    case PanelEdge::top:
        y = area.top;
        break;
    case PanelEdge::bottom:
        y = area.bottom - h;
        break;
    case PanelEdge::left:
        x = area.left;
        break;
    case PanelEdge::right:
        x = area.right - w;
        break;
    }
    return QPoint(clampTo(x, area.left, area.right, w), clampTo(y, area.top, area.bottom, h));
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

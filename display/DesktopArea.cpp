#include "display/DesktopArea.h"

#include <QGuiApplication>
#include <QScreen>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace kalvix {
namespace {

template <typename T> struct FreeReply {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;

bool overlaps(qint64 start, qint64 end, qint64 from, qint64 to) // inclusive ranges
{
    return start <= to && end >= from;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The reservations of the root window's mapped children.
QList<Strut> readStruts(xcb_connection_t* c, xcb_window_t root)
{
    QList<Strut> struts;
    const xcb_atom_t partial = intern(c, "_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t plain = intern(c, "_NET_WM_STRUT");
    if (partial == XCB_ATOM_NONE && plain == XCB_ATOM_NONE)
        return struts; // no program ever named them: none reserves
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return struts;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        for (xcb_atom_t name : {partial, plain}) {
            if (name == XCB_ATOM_NONE)
                continue;
            Reply<xcb_get_property_reply_t> value(xcb_get_property_reply(
                c, xcb_get_property(c, 0, children[i], name, XCB_ATOM_CARDINAL, 0, 12), nullptr));
            const int words = value && value->format == 32 ? xcb_get_property_value_length(value.get()) / 4 : 0;
            if (words < 4)
                continue;
            Strut s{};
            std::memcpy(s.data(), xcb_get_property_value(value.get()), size_t(std::min(words, 12)) * 4);
            if (words < 12) { // the old form reserves along the whole edge
                s[5] = s[7] = s[9] = s[11] = std::numeric_limits<quint32>::max();
            }
            struts << s;
            break;
        }
    }
    return struts;
}

} // namespace

QRect areaLeftByStruts(QRect screen, QSize root, const QList<Strut>& struts)
{
    qint64 left = screen.left(), top = screen.top();
    qint64 right = screen.right(), bottom = screen.bottom(); // inclusive
    for (const Strut& s : struts) {
        if (s[0] && overlaps(s[4], s[5], screen.top(), screen.bottom()))
            left = std::max<qint64>(left, s[0]);
        if (s[1] && overlaps(s[6], s[7], screen.top(), screen.bottom()))
            right = std::min<qint64>(right, qint64(root.width()) - s[1] - 1);
        if (s[2] && overlaps(s[8], s[9], screen.left(), screen.right()))
            top = std::max<qint64>(top, s[2]);
        if (s[3] && overlaps(s[10], s[11], screen.left(), screen.right()))
            bottom = std::min<qint64>(bottom, qint64(root.height()) - s[3] - 1);
    }
    if (right < left || bottom < top) // panels that claim everything are not believed
        return screen;
    return QRect(QPoint(int(left), int(top)), QPoint(int(right), int(bottom)));
}

QRect availableArea(const QScreen* screen)
{
    if (!screen)
        return {};
    const QRect qtArea = screen->availableGeometry();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return qtArea;
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!s)
        return qtArea;
    // Device pixels from here on; one scale for the whole screen.
    const qreal scale = screen->devicePixelRatio();
    const QRect logical = screen->geometry();
    const QRect device(QPoint(int(std::lround(logical.x() * scale)), int(std::lround(logical.y() * scale))),
                       QSize(int(std::lround(logical.width() * scale)), int(std::lround(logical.height() * scale))));
    const QRect free = areaLeftByStruts(device, QSize(s->width_in_pixels, s->height_in_pixels), readStruts(c, s->root));
    const QRect freeLogical(
        QPoint(int(std::ceil(free.left() / scale)), int(std::ceil(free.top() / scale))),
        QPoint(int(std::floor((free.right() + 1) / scale)) - 1, int(std::floor((free.bottom() + 1) / scale)) - 1));
    return qtArea.intersected(freeLogical);
}

} // namespace kalvix

#include "statusitem/xembed/X11Tray.h"

#include "statusitem/StatusHost.h"
#include "statusitem/xembed/XcbReply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>

#include <xcb/xcb.h>

#include <cstring>

namespace kalvix {
namespace {

xcb_screen_t* screenOf(xcb_connection_t* c, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem && i < number; ++i)
        xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

} // namespace

std::unique_ptr<X11Tray> X11Tray::forApplication(QObject* parent)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    // Qt's connection was opened for the default screen of DISPLAY.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const int screen = dot > display.lastIndexOf(':') ? display.mid(dot + 1).toInt() : 0;
    return std::make_unique<X11Tray>(x11->connection(), screen, parent);
}

X11Tray::X11Tray(xcb_connection_t* connection, int screen, QObject* parent)
    : TrayMonitor(parent)
    , m_connection(connection)
{
    const xcb_screen_t* s = screenOf(m_connection, screen);
    if (!s)
        return;
    m_root = s->root;
    m_selection = atom(QByteArrayLiteral("_NET_SYSTEM_TRAY_S").append(QByteArray::number(screen)).constData());
    m_manager = atom("MANAGER");
    // A new tray announces itself with a MANAGER message to the root window (StructureNotify). Qt
    // selects its own events on the root; ours are added to them, not put in their place.
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr));
    const quint32 mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    QCoreApplication::instance()->installNativeEventFilter(this);
    findOwner();
}

X11Tray::~X11Tray()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

quint32 X11Tray::atom(const char* name) const
{
    static QHash<QByteArray, quint32> cache;
    const QByteArray key(name);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(key.size()), key.constData()), nullptr));
    const quint32 a = reply ? reply->atom : 0;
    if (a)
        cache.insert(key, a);
    return a;
}

void X11Tray::findOwner()
{
    XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
    m_owner = reply ? reply->owner : 0;
    if (m_owner) {
        // Told when this tray goes away (DestroyNotify), without waiting for the next one to start.
        const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_owner, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(m_connection);
}

bool X11Tray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !m_root)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_CLIENT_MESSAGE: {
        const auto* cm = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (cm->window == m_root && cm->type == m_manager && cm->data.data32[1] == m_selection) {
            findOwner();
            Q_EMIT changed();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* dn = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (m_owner && dn->window == m_owner) {
            findOwner(); // usually none now; a tray that took over at once is kept
            Q_EMIT changed();
        }
        break;
    }
    default:
        break;
    }
    return false; // Qt sees these events too
}

QByteArray X11Tray::property(quint32 window, quint32 name, quint32 type, quint32 words) const
{
    if (!window || !name)
        return {};
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, window, name, type, 0, words), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

quint32 X11Tray::argbVisual() const
{
    const QByteArray value = property(m_owner, atom("_NET_SYSTEM_TRAY_VISUAL"), XCB_ATOM_VISUALID, 1);
    if (value.size() < 4)
        return 0;
    quint32 visual = 0;
    std::memcpy(&visual, value.constData(), 4);
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); screens.rem; xcb_screen_next(&screens))
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
            if (depths.data->depth != 32)
                continue;
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == visual)
                    return visual;
        }
    return 0;
}

std::optional<QColor> X11Tray::foreground() const
{
    // Twelve cardinals: foreground, error, warning and success colours, each as 16-bit red, green, blue.
    const QByteArray value = property(m_owner, atom("_NET_SYSTEM_TRAY_COLORS"), XCB_ATOM_CARDINAL, 12);
    if (value.size() < 12)
        return std::nullopt;
    quint32 rgb[3];
    std::memcpy(rgb, value.constData(), sizeof rgb);
    return QColor::fromRgb(rgb[0] >> 8, rgb[1] >> 8, rgb[2] >> 8);
}

QString X11Tray::ownerProcess() const
{
    const QByteArray value = property(m_owner, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 1);
    if (value.size() < 4)
        return {};
    quint32 pid = 0;
    std::memcpy(&pid, value.constData(), 4);
    return processName(pid);
}

} // namespace kalvix

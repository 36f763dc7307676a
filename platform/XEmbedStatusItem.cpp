#include "platform/XEmbedStatusItem.h"

#include "platform/TitleImage.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cmath>
#include <cstring>

namespace kalvix {
namespace {

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

xcb_window_t trayOwner(xcb_connection_t* c)
{
    const QByteArray name = QByteArrayLiteral("_NET_SYSTEM_TRAY_S0");
    const xcb_atom_t selection = atom(c, name.constData());
    if (selection == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    return owner;
}

} // namespace

// The docked window: the clock text in the desktop's palette, with tabular digits.
class TrayTextWidget final : public QWidget {
public:
    explicit TrayTextWidget(XEmbedStatusItem* item)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint)
        , m_item(item)
    {
        setAttribute(Qt::WA_AlwaysShowToolTips);
        setWindowTitle(QStringLiteral("Kalvix"));
    }

    void setTitle(const QString& title, const QFont& font, qreal baselineOffset)
    {
        m_title = title;
        m_font = font;
        m_baselineOffset = baselineOffset;
        const int pad = 6;
        const int width = static_cast<int>(std::ceil(platform::tabularTextWidth(title, font))) + 2 * pad;
        const int height = std::max(22, QFontMetrics(font).height() + 4);
        if (size() != QSize(width, height) || m_wanted != QSize(width, height)) {
            m_wanted = QSize(width, height);
            setFixedSize(m_wanted);
        }
        setToolTip(title);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(palette().windowText().color());
        const QFontMetricsF fm(m_font);
        const qreal baseline = (height() - (fm.ascent() + fm.descent())) / 2 + fm.ascent() - m_baselineOffset;
        platform::paintTabularText(p, 6, baseline, m_title, m_font);
    }

    // On release, like a button: a popup opened on the press would see the release as a click outside.
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (!rect().contains(event->position().toPoint()))
            return;
        if (event->button() == Qt::RightButton)
            m_item->showContextMenu(event->globalPosition().toPoint());
        else if (event->button() == Qt::LeftButton)
            Q_EMIT m_item->activated(mapToGlobal(QPoint(width() / 2, height())));
    }

private:
    XEmbedStatusItem* m_item;
    QString m_title;
    QSize m_wanted;
    QFont m_font;
    qreal m_baselineOffset = 0;
};

XEmbedStatusItem::XEmbedStatusItem(QObject* parent)
    : StatusItem(parent)
    , m_widget(new TrayTextWidget(this))
{
    // The tray sizes the slot from the window's size when it docks it, so docking waits for the
    // first title (setTitle).
}

XEmbedStatusItem::~XEmbedStatusItem()
{
    delete m_widget;
}

bool XEmbedStatusItem::trayPresent()
{
    xcb_connection_t* c = x11Connection();
    return c && trayOwner(c) != XCB_WINDOW_NONE;
}

bool XEmbedStatusItem::dock()
{
    xcb_connection_t* c = x11Connection();
    if (!c)
        return false;
    const xcb_window_t owner = trayOwner(c);
    if (owner == XCB_WINDOW_NONE)
        return false;
    const auto window = static_cast<xcb_window_t>(m_widget->winId());

    writeSizeHints();

    // XEmbed version 0, flags XEMBED_MAPPED: the tray maps the window once it is embedded.
    const quint32 info[2] = {0, 1};
    const xcb_atom_t embedInfo = atom(c, "_XEMBED_INFO");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, embedInfo, embedInfo, 32, 2, info);

    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = owner;
    event.type = atom(c, "_NET_SYSTEM_TRAY_OPCODE");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 0; // SYSTEM_TRAY_REQUEST_DOCK
    event.data.data32[2] = window;
    xcb_send_event(c, 0, owner, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}

void XEmbedStatusItem::setTitle(const QString& title, const QFont& font, qreal baselineOffset)
{
    m_widget->setTitle(title, font, baselineOffset);
    if (!m_docked) {
        m_docked = dock();
        if (m_docked) {
            m_widget->show();
            for (int ms : {250, 1000})
                QTimer::singleShot(ms, m_widget, [this] { writeSizeHints(); });
        }
    }
}

// WORKAROUND: trays size the slot from WM_NORMAL_HINTS, read when the dock request arrives and again
// whenever the property changes; Qt may not have sent them by then, and the slot is one pixel wide.
// Writing them before the request and once more after the tray has taken the window settles it.
void XEmbedStatusItem::writeSizeHints()
{
    xcb_connection_t* c = x11Connection();
    if (!c)
        return;
    const QSize size = m_widget->size();
    quint32 hints[18] = {};
    hints[0] = (1u << 3) | (1u << 4) | (1u << 5); // PSize | PMinSize | PMaxSize
    hints[3] = hints[5] = hints[7] = static_cast<quint32>(size.width());
    hints[4] = hints[6] = hints[8] = static_cast<quint32>(size.height());
    xcb_change_property(c,
                        XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(m_widget->winId()),
                        XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS,
                        32,
                        18,
                        hints);
    xcb_flush(c);
}

void XEmbedStatusItem::showContextMenu(const QPoint& at)
{
    popupMenu(at);
}

} // namespace kalvix

#include "statusitem/xembed/XEmbedStatusItem.h"

#include "statusitem/PanelColors.h"
#include "statusitem/PanelInkWatcher.h"
#include "statusitem/TitleImage.h"
#include "statusitem/xembed/X11Pixels.h"
#include "statusitem/xembed/X11Tray.h"
#include "statusitem/xembed/XcbReply.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

#include <xcb/xcb.h>

#include <cmath>
#include <cstring>

namespace kalvix {
namespace {

constexpr int kPad = 6;             // logical pixels beside the text
constexpr qreal kSquareSlot = 0.75; // a slot narrower than this share of the text gets the face
constexpr std::chrono::milliseconds kToolTipDelay{600};
constexpr quint32 kEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_BUTTON_PRESS |
                            XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;

void setText(xcb_connection_t* c, quint32 window, quint32 property, quint32 type, const QByteArray& text)
{
    xcb_change_property(
        c, XCB_PROP_MODE_REPLACE, window, property, type, 8, static_cast<quint32>(text.size()), text.constData());
}

void setCardinals(
    xcb_connection_t* c, quint32 window, quint32 property, quint32 type, const quint32* values, quint32 count)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 32, count, values);
}

uint8_t rootDepth(xcb_connection_t* c, quint32 root)
{
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        if (it.data->root == root)
            return it.data->root_depth;
    return 24;
}

} // namespace

XEmbedStatusItem::XEmbedStatusItem(X11Tray& tray, QObject* parent)
    : StatusItem(parent)
    , m_tray(tray)
    , m_toolTip(new QTimer(this))
    , m_inkWatcher(new PanelInkWatcher(this))
{
    m_toolTip->setSingleShot(true);
    m_toolTip->setInterval(kToolTipDelay);
    connect(m_toolTip, &QTimer::timeout, this, [this] { QToolTip::showText(QCursor::pos(), m_title); });
    connect(m_inkWatcher, &PanelInkWatcher::inkChanged, this, &XEmbedStatusItem::paint);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

XEmbedStatusItem::~XEmbedStatusItem()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    QToolTip::hideText();
    destroyWindow();
}

QSize XEmbedStatusItem::deviceSize(QSizeF logical, qreal scale)
{
    return QSize(static_cast<int>(std::ceil(logical.width() * scale - 1e-6)),
                 static_cast<int>(std::ceil(logical.height() * scale - 1e-6)));
}

std::array<quint32, 18> XEmbedStatusItem::sizeHints(QSize device)
{
    std::array<quint32, 18> hints{};
    hints[0] = (1u << 3) | (1u << 4) | (1u << 5) | (1u << 8); // PSize, PMinSize, PMaxSize, PBaseSize
    const auto w = static_cast<quint32>(std::max(1, device.width()));
    const auto h = static_cast<quint32>(std::max(1, device.height()));
    hints[3] = hints[5] = hints[7] = hints[15] = w; // size, minimum, maximum, base
    hints[4] = hints[6] = hints[8] = hints[16] = h;
    return hints;
}

void XEmbedStatusItem::setTitle(const QString& title, const QFont& font, qreal)
{
    m_title = title;
    m_font = font;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_scale = screen->devicePixelRatio();
    const int oldWidth = m_text.width();
    updateTextSize();
    if (!m_window)
        createWindow();
    else if (m_text.width() != oldWidth)
        writeSizeHints();
    paint();
}

void XEmbedStatusItem::updateTextSize()
{
    QFont f = m_font;
    const int px = std::max(6, QFontInfo(m_font).pixelSize());
    f.setPixelSize(px);
    QFontMetricsF fm(f);
    const qreal slotHeight = m_slot.height() / m_scale;
    if (m_slot.height() > 0 && fm.height() > slotHeight) { // a low panel: the text fits its height
        f.setPixelSize(std::max(6, static_cast<int>(px * slotHeight / fm.height())));
        fm = QFontMetricsF(f);
    }
    m_text = deviceSize(QSizeF(tabularTextWidth(m_title, f) + 2 * kPad, fm.height()), m_scale);
    m_deviceFont = f;
    m_deviceFont.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * m_scale))));
}

void XEmbedStatusItem::createWindow()
{
    xcb_connection_t* c = m_tray.connection();
    const quint32 visual = m_tray.argbVisual();
    m_argb = visual != 0;
    m_depth = m_argb ? 32 : rootDepth(c, m_tray.root());
    m_window = xcb_generate_id(c);
    if (m_argb) {
        m_colormap = xcb_generate_id(c);
        xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, m_colormap, m_tray.root(), visual);
        const quint32 values[] = {0, 0, kEvents, m_colormap}; // transparent background and border
        xcb_create_window(c,
                          32,
                          m_window,
                          m_tray.root(),
                          0,
                          0,
                          static_cast<uint16_t>(m_text.width()),
                          static_cast<uint16_t>(m_text.height()),
                          0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
                          values);
    } else {
        const quint32 values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, kEvents}; // the tray's own background
        xcb_create_window(c,
                          XCB_COPY_FROM_PARENT,
                          m_window,
                          m_tray.root(),
                          0,
                          0,
                          static_cast<uint16_t>(m_text.width()),
                          static_cast<uint16_t>(m_text.height()),
                          0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK,
                          values);
    }
    setText(c, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, QByteArrayLiteral("Kalvix"));
    setText(c, m_window, m_tray.atom("_NET_WM_NAME"), m_tray.atom("UTF8_STRING"), QByteArrayLiteral("Kalvix"));
    setText(c, m_window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, QByteArrayLiteral("kalvix\0Kalvix\0"));
    const quint32 pid = static_cast<quint32>(QCoreApplication::applicationPid());
    setCardinals(c, m_window, m_tray.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, &pid, 1);
    const quint32 embedInfo[2] = {0, 1}; // XEmbed version 0, XEMBED_MAPPED: the tray maps it once embedded
    setCardinals(c, m_window, m_tray.atom("_XEMBED_INFO"), m_tray.atom("_XEMBED_INFO"), embedInfo, 2);
    writeSizeHints(); // before the request: trays size the slot from the hints they find then

    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_tray.owner();
    event.type = m_tray.atom("_NET_SYSTEM_TRAY_OPCODE");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 0; // SYSTEM_TRAY_REQUEST_DOCK
    event.data.data32[2] = m_window;
    xcb_send_event(c, 0, m_tray.owner(), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

void XEmbedStatusItem::destroyWindow()
{
    if (!m_window)
        return;
    xcb_connection_t* c = m_tray.connection();
    xcb_destroy_window(c, m_window);
    if (m_colormap)
        xcb_free_colormap(c, m_colormap);
    xcb_flush(c);
    m_window = m_colormap = 0;
    m_docked = false;
}

void XEmbedStatusItem::writeSizeHints()
{
    if (!m_window)
        return;
    const auto hints = sizeHints(m_text);
    setCardinals(m_tray.connection(),
                 m_window,
                 XCB_ATOM_WM_NORMAL_HINTS,
                 XCB_ATOM_WM_SIZE_HINTS,
                 hints.data(),
                 static_cast<quint32>(hints.size()));
    xcb_flush(m_tray.connection());
}

QImage XEmbedStatusItem::background(QSize size) const
{
    if (m_argb) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        return image;
    }
    // The tray's background as the server draws it behind the window (ParentRelative), read back so the
    // text can be laid over it.
    xcb_clear_area(m_tray.connection(), 0, m_window, 0, 0, 0, 0);
    QImage image = readX11Pixels(m_tray.connection(), m_window, QRect(QPoint(), size), QImage::Format_RGB32);
    if (image.isNull()) {
        image = QImage(size, QImage::Format_RGB32);
        image.fill(QColor(0x30, 0x30, 0x30)); // unreadable: a dark ground that light text reads on
    }
    return image;
}

std::optional<QColor> XEmbedStatusItem::groundBeside() const
{
    // The tray draws a transparent window over its own background, which Kalvix cannot read back: the
    // tray's pixels just beside the window tell it instead (the tray's padding between its icons).
    const QRect at = globalDeviceRect();
    if (at.isEmpty() || at.left() < 3)
        return std::nullopt;
    const QImage beside = readX11Pixels(
        m_tray.connection(), m_tray.root(), QRect(at.left() - 3, at.top(), 2, at.height()), QImage::Format_RGB32);
    if (beside.isNull())
        return std::nullopt;
    return beside.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}

ItemInk XEmbedStatusItem::inkOn(const QImage& background) const
{
    // The tray's own text colour where it says; else the colour that reads on its background, read back
    // (ParentRelative) or taken beside the window (a tray that composites); else its configuration's.
    if (const auto foreground = m_tray.foreground())
        return *foreground;
    std::optional<QColor> ground;
    if (!m_argb)
        ground = background.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
    else
        ground = groundBeside();
    if (ground)
        return inkOnGrounds({*ground});
    const QString process = m_tray.ownerProcess();
    // Read once and followed from then on: a change of the tray's look repaints at once, and a tick
    // reads no files.
    return m_inkWatcher->inkFor({process, lookForHost(process, qEnvironmentVariable("XDG_CURRENT_DESKTOP"))},
                                PanelFiles::fromEnvironment());
}

void XEmbedStatusItem::paint()
{
    if (!m_window || !m_docked || m_slot.isEmpty())
        return;
    QImage image = background(m_slot);
    const ItemInk ink = inkOn(image);
    QPainter p(&image);
    if (m_slot.width() < m_text.width() * kSquareSlot) {
        const int side = std::min(m_slot.width(), m_slot.height());
        p.drawImage((m_slot.width() - side) / 2,
                    (m_slot.height() - side) / 2,
                    renderSquareImage(squareFaceOf(m_title), m_font, side, ink));
    } else {
        const QFontMetricsF fm(m_deviceFont);
        const qreal textWidth = tabularTextWidth(m_title, m_deviceFont);
        const qreal baseline = (m_slot.height() - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
        paintTabularText(p, (m_slot.width() - textWidth) / 2, baseline, m_title, m_deviceFont, ink, m_slot.height());
    }
    p.end();
    writeX11Pixels(m_tray.connection(), m_window, m_depth, image);
}

QRect XEmbedStatusItem::globalDeviceRect() const
{
    xcb_connection_t* c = m_tray.connection();
    XcbReply<xcb_translate_coordinates_reply_t> at(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, m_window, m_tray.root(), 0, 0), nullptr));
    if (!at)
        return {};
    return QRect(QPoint(at->dst_x, at->dst_y), m_slot);
}

QRect XEmbedStatusItem::globalRect() const
{
    const QRect device = globalDeviceRect();
    if (device.isNull())
        return {};
    // Device pixels to Qt's logical ones: one scale for the whole screen.
    return QRect(QPoint(static_cast<int>(device.x() / m_scale), static_cast<int>(device.y() / m_scale)),
                 QSize(static_cast<int>(std::ceil(device.width() / m_scale)),
                       static_cast<int>(std::ceil(device.height() / m_scale))));
}

void XEmbedStatusItem::release(int button, int x, int y)
{
    // Only a release that ends a press on the item counts: the release of a press that closed the
    // popover (the popover takes that press) must not open it again, however long it was held.
    const bool pressedHere = m_pressed == button;
    m_pressed = 0;
    if (!pressedHere || x < 0 || y < 0 || x >= m_slot.width() || y >= m_slot.height())
        return;
    if (button == 1)
        Q_EMIT activated(globalRect());
    else if (button == 3)
        popupMenu(QCursor::pos());
}

void XEmbedStatusItem::resized(QSize slot)
{
    if (slot == m_slot)
        return;
    m_slot = slot;
    const int oldWidth = m_text.width();
    updateTextSize();
    if (m_text.width() != oldWidth)
        writeSizeHints(); // the text's own width, from the font that fits the slot's height
    paint();
}

void XEmbedStatusItem::reparented(quint32 parent)
{
    m_docked = parent != m_tray.root();
    if (!m_docked) { // the tray is gone and the server handed the window back: never show it loose
        xcb_unmap_window(m_tray.connection(), m_window);
        xcb_flush(m_tray.connection());
    }
}

bool XEmbedStatusItem::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !m_window)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_EXPOSE: {
        const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event);
        if (e->window != m_window)
            return false;
        if (e->count == 0)
            paint();
        return true;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (e->window != m_window)
            return false;
        resized(QSize(e->width, e->height));
        return true;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        if (e->window != m_window)
            return false;
        reparented(e->parent);
        return true;
    }
    case XCB_BUTTON_PRESS: {
        const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
        if (e->event != m_window)
            return false;
        m_toolTip->stop();
        QToolTip::hideText();
        m_pressed = e->detail;
        return true;
    }
    case XCB_BUTTON_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_button_release_event_t*>(event);
        if (e->event != m_window)
            return false;
        release(e->detail, e->event_x, e->event_y);
        return true;
    }
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_enter_notify_event_t*>(event);
        if (e->event != m_window)
            return false;
        if ((event->response_type & ~0x80) == XCB_ENTER_NOTIFY) {
            m_toolTip->start();
        } else {
            m_toolTip->stop();
            QToolTip::hideText();
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace kalvix

#include "app/PopoverWindow.h"

#include "app/PopoverPlacement.h"
#include "display/DesktopArea.h"
#include "display/SwayIpc.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace kalvix {
namespace {

constexpr auto kOutsideClickWindow = std::chrono::milliseconds(350);
constexpr int kFadeMs = 120;
// The compositor knows the window a moment after it is shown: asked again this often, this many times.
constexpr int kPlaceRetryMs = 25;
constexpr int kPlaceTries = 40;

bool onWaylandAlone()
{
    return QGuiApplication::platformName().startsWith(u"wayland");
}

// X11 through XWayland in a sway session: the X server knows the pointer only over X11 windows.
bool onSwayXWayland()
{
    return QGuiApplication::platformName() == u"xcb" && qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsSet("SWAYSOCK");
}

const QString kPointerProbeTitle = QStringLiteral("Kalvix pointer");

// Windows fade only where the platform sets window opacity; elsewhere Qt warns at every step.
bool canFade()
{
    return !onWaylandAlone() && QGuiApplication::platformName() != u"offscreen";
}

} // namespace

PopoverWindow::PopoverWindow(QWidget* parent)
    : QWidget(parent,
              onWaylandAlone() ? Qt::Tool | Qt::FramelessWindowHint
                               : Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_ownWindow(onWaylandAlone())
{
    setWindowTitle(QStringLiteral("Kalvix Calendar"));
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (canFade()) {
        m_fade = new QPropertyAnimation(this, "windowOpacity", this);
        m_fade->setDuration(kFadeMs);
        m_fade->setStartValue(0.0);
        m_fade->setEndValue(1.0);
    }
}

void PopoverWindow::setContent(QWidget* content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    layout()->addWidget(content);
}

void PopoverWindow::showAt(QRect item)
{
    if (item.isNull() && onSwayXWayland() && askSwayForPointer())
        return; // shown once sway has told where the pointer is
    // On Wayland alone Qt does not know the pointer: a missing anchor is left for the compositor to find.
    const QRect given = item;
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(item.isNull() ? pointer : item.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        showAt(item, QRect(), QRect());
        return;
    }
    const QRect available = availableArea(screen);
    if (item.isNull())
        item = menuAnchor(pointer, screen->geometry(), available);
    showAt(item, screen->geometry(), available);
    m_compositorAnchor = given; // read on a later turn of the loop
}

void PopoverWindow::showAt(QRect item, QRect screen, QRect available)
{
    m_anchor = item;
    m_screenRect = screen;
    m_available = available;
    m_room = screen.isEmpty() ? QRect() : popoverRoom(item, screen, available);
    // The content fits itself into the room before the window takes its size from it.
    Q_EMIT roomChanged(m_room.size());
    layout()->activate();
    adjustSize();
    placeAtAnchor();
    if (m_fade)
        setWindowOpacity(0.0);
    show();
    raise();
    if (!m_ownWindow)
        activateWindow();
    if (m_fade)
        m_fade->start();
    if (m_ownWindow) {
        m_compositorAnchor = item;
        QTimer::singleShot(0, this, [this] { placeOnCompositor(kPlaceTries); });
    }
}

void PopoverWindow::placeAtAnchor()
{
    if (m_ownWindow || m_screenRect.isEmpty())
        return;
    move(popoverPosition(m_anchor, sizeHint().expandedTo(size()), m_screenRect, m_available));
}

// A switch of layout while shown changes the width frame by frame: the popover stays centred on its
// item and on screen, instead of growing from its old left edge past the screen's.
void PopoverWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        placeAtAnchor();
}

void PopoverWindow::placeOnCompositor(int triesLeft)
{
    if (!isVisible())
        return;
    kalvix::SwayIpc sway;
    if (!sway.isConnected())
        return; // a compositor that takes no requests places the window itself
    const qint64 pid = QCoreApplication::applicationPid();
    const QString title = windowTitle();
    auto found = sway.find(pid, title);
    QRect anchor = m_compositorAnchor;
    if (found && anchor.isNull()) {
        // Only the compositor knows the pointer: it centres the window there, which tells where it is.
        sway.command(kalvix::SwayIpc::criteria(pid, title) + QStringLiteral(" floating enable, move position cursor"));
        found = sway.find(pid, title);
        if (found)
            anchor = menuAnchor(found->window.center(), found->output, found->workspace);
    }
    if (found && sway.command(kalvix::SwayIpc::moveCommand(
                     pid, title, popoverPosition(anchor, found->window.size(), found->output, found->workspace))))
        return;
    if (triesLeft > 1)
        QTimer::singleShot(kPlaceRetryMs, this, [this, triesLeft] { placeOnCompositor(triesLeft - 1); });
}

bool PopoverWindow::askSwayForPointer()
{
    if (!kalvix::SwayIpc().isConnected())
        return false;
    if (!m_pointerProbe) {
        m_pointerProbe = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        m_pointerProbe->setAttribute(Qt::WA_ShowWithoutActivating);
        m_pointerProbe->setWindowTitle(kPointerProbeTitle);
        m_pointerProbe->setFixedSize(1, 1);
        connect(this, &QObject::destroyed, m_pointerProbe, &QObject::deleteLater);
    }
    m_pointerProbe->show();
    QTimer::singleShot(0, this, [this] { findPointerOnSway(kPlaceTries); });
    return true;
}

void PopoverWindow::findPointerOnSway(int triesLeft)
{
    kalvix::SwayIpc sway;
    const qint64 pid = QCoreApplication::applicationPid();
    const QString criteria = kalvix::SwayIpc::criteria(pid, kPointerProbeTitle);
    std::optional<kalvix::SwayIpc::Placement> found;
    if (sway.find(pid, kPointerProbeTitle) &&
        sway.command(criteria + QStringLiteral(" floating enable, border none, move position cursor")))
        found = sway.find(pid, kPointerProbeTitle);
    if (!found && triesLeft > 1) {
        QTimer::singleShot(kPlaceRetryMs, this, [this, triesLeft] { findPointerOnSway(triesLeft - 1); });
        return;
    }
    m_pointerProbe->hide();
    // XWayland's screen coordinates are sway's layout coordinates; without an answer, X11's last idea
    // of the pointer is the best there is.
    const QPoint pointer = found ? found->window.center() : QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = found ? found->workspace : availableArea(screen);
    showAt(menuAnchor(pointer, screen->geometry(), available), screen->geometry(), available);
}

void PopoverWindow::closePopover()
{
    if (m_fade)
        m_fade->stop();
    m_pressedOutside = false;
    m_closing = true;
    hide();
    m_closing = false;
}

bool PopoverWindow::justClosedByOutsideClick() const
{
    return std::chrono::steady_clock::now() - m_lastOutsideClose < kOutsideClickWindow;
}

void PopoverWindow::closeAfterOutsideClick()
{
    closePopover();
    // A popup kept the whole click, so the item never saw it. A window of its own lost its focus to the
    // item's host, which reports the same click as an activation right after.
    if (m_ownWindow)
        m_lastOutsideClose = std::chrono::steady_clock::now();
}

void PopoverWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        closePopover();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::mousePressEvent(QMouseEvent* event)
{
    // A popup closes on a press outside (QWidget's own handling); this one waits for the release.
    if (!rect().contains(event->position().toPoint())) {
        m_pressedOutside = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PopoverWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressedOutside) {
        event->accept();
        closeAfterOutsideClick();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

bool PopoverWindow::event(QEvent* event)
{
    // A window of its own closes when the user turns to something else, as a popup does on a click.
    // Not while it is being closed on purpose: hiding a window takes its focus too.
    if (m_ownWindow && event->type() == QEvent::WindowDeactivate && isVisible() && !m_closing)
        closeAfterOutsideClick();
    return QWidget::event(event);
}

void PopoverWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Q_EMIT shown();
}

void PopoverWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Q_EMIT hidden();
}

} // namespace kalvix

#include "app/PopoverWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace kalvix {
namespace {
constexpr int kGap = 4;
constexpr auto kOutsideClickWindow = std::chrono::milliseconds(350);
} // namespace

PopoverWindow::PopoverWindow(QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , m_fade(new QPropertyAnimation(this, "windowOpacity", this))
{
    setWindowTitle(QStringLiteral("Kalvix Calendar"));
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_fade->setDuration(120);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
}

void PopoverWindow::setContent(QWidget* content)
{
    if (m_content)
        m_content->deleteLater();
    m_content = content;
    layout()->addWidget(content);
}

QPoint PopoverWindow::placement(QPoint anchor, QSize size, QRect available)
{
    int x = anchor.x() - size.width() / 2;
    const bool bottomPanel = anchor.y() > available.center().y();
    int y = bottomPanel ? anchor.y() - size.height() - kGap : anchor.y() + kGap;
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

void PopoverWindow::showAt(QPoint anchor)
{
    if (anchor.isNull())
        anchor = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    adjustSize();
    const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
    move(placement(anchor, sizeHint().expandedTo(size()), available));
    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    m_fade->start();
}

void PopoverWindow::closePopover()
{
    m_fade->stop();
    m_closingOnPurpose = true;
    hide();
    m_closingOnPurpose = false;
}

bool PopoverWindow::justClosedByOutsideClick() const
{
    return std::chrono::steady_clock::now() - m_lastHide < kOutsideClickWindow;
}

void PopoverWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        closePopover();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PopoverWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Q_EMIT shown();
}

void PopoverWindow::hideEvent(QHideEvent* event)
{
    if (!m_closingOnPurpose)
        m_lastHide = std::chrono::steady_clock::now();
    QWidget::hideEvent(event);
    Q_EMIT hidden();
}

} // namespace kalvix

#include "popover/PopoverRoot.h"

#include "context/AppContext.h"
#include "popover/CompactView.h"
#include "popover/SpringCurve.h"
#include "popover/StandardView.h"
#include "prefs/Prefs.h"
#include "ui/PreferenceBinding.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLayout>
#include <QShowEvent>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kalvix {
namespace {

int widthFor(bool compact)
{
    return compact ? PopoverRoot::kCompactWidth : PopoverRoot::kStandardWidth;
}

int lerp(int from, int to, qreal progress)
{
    return static_cast<int>(std::lround(from + (to - from) * progress));
}

void setOpacity(QWidget* widget, qreal opacity)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(std::clamp(opacity, 0.0, 1.0));
}

} // namespace

PopoverRoot::PopoverRoot(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_compactMode(new ui::Binding(context.prefs, Pref::compactMode, this))
    , m_animation(new QVariantAnimation(this))
{
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(SpringCurve::kDurationMs);
    m_animation->setEasingCurve(SpringCurve::easingCurve());
    connect(
        m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { step(value.toReal()); });
    connect(m_animation, &QVariantAnimation::finished, this, &PopoverRoot::finishSwitch);
    connect(m_compactMode, &ui::PreferenceBinding::changed, this, &PopoverRoot::switchLayout);

    m_compact = m_compactMode->value();
    m_current = makeLayout(m_compact);
    resizeToContent();
}

QWidget* PopoverRoot::makeLayout(bool compact)
{
    QWidget* layout = compact ? static_cast<QWidget*>(new CompactView(m_context, this))
                              : static_cast<QWidget*>(new StandardView(m_context, this));
    place(layout, widthFor(compact), width());
    return layout;
}

int PopoverRoot::naturalHeight(QWidget* layout, int width)
{
    if (layout->layout())
        layout->layout()->activate();
    return layout->hasHeightForWidth() ? layout->heightForWidth(width) : layout->sizeHint().height();
}

int PopoverRoot::fittedHeight(QWidget* layout, int width) const
{
    const int natural = naturalHeight(layout, width);
    return m_heightLimit > 0 ? std::min(natural, m_heightLimit) : natural;
}

// Top-aligned and centred, at the layout's own width and natural height (within the limit).
void PopoverRoot::place(QWidget* layout, int width, int rootWidth)
{
    layout->setGeometry((rootWidth - width) / 2, 0, width, fittedHeight(layout, width));
}

void PopoverRoot::setHeightLimit(int limit)
{
    limit = std::max(0, limit);
    if (limit == m_heightLimit)
        return;
    m_heightLimit = limit;
    if (m_leaving)
        step(m_animation->currentValue().toReal());
    else
        resizeToContent();
}

QSize PopoverRoot::sizeHint() const
{
    return m_size;
}

void PopoverRoot::resizeToContent()
{
    if (m_leaving)
        return; // the switch's animation sets the size until it ends
    const int width = widthFor(m_compact);
    m_size = QSize(width, fittedHeight(m_current, width));
    setFixedSize(m_size);
    place(m_current, width, width);
}

void PopoverRoot::switchLayout()
{
    const bool compact = m_compactMode->value();
    if (compact == m_compact)
        return;
    if (m_leaving)
        m_animation->setCurrentTime(m_animation->duration()); // a switch still running ends where it was going
    finishSwitch();
    m_compact = compact;
    if (!isVisible()) {
        delete m_current;
        m_current = makeLayout(compact);
        resizeToContent();
        return;
    }
    m_from = m_size;
    m_leaving = m_current;
    m_current = makeLayout(compact);
    m_current->show();
    m_current->raise();
    step(0);
    m_animation->start();
}

// One frame of the switch: width and height on their way, the old layout fading out and the new one in.
void PopoverRoot::step(qreal progress)
{
    if (!m_leaving)
        return;
    const int width = widthFor(m_compact);
    const QSize to(width, fittedHeight(m_current, width));
    m_size = QSize(lerp(m_from.width(), to.width(), progress), lerp(m_from.height(), to.height(), progress));
    setFixedSize(m_size);
    place(m_leaving, m_leaving->width(), m_size.width());
    place(m_current, width, m_size.width());
    setOpacity(m_leaving, 1 - progress);
    setOpacity(m_current, progress);
}

void PopoverRoot::finishSwitch()
{
    if (!m_leaving)
        return;
    QWidget* leaving = std::exchange(m_leaving, nullptr);
    m_animation->stop();
    const bool hadFocus = leaving->isAncestorOf(focusWidget()) || leaving->hasFocus();
    delete leaving;
    m_current->setGraphicsEffect(nullptr);
    resizeToContent();
    if (hadFocus) { // the focused button went with the old layout: the new one's first stop takes over
        QWidget* next = m_current->nextInFocusChain();
        while (next && next != m_current && m_current->isAncestorOf(next) && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        if (next && m_current->isAncestorOf(next))
            next->setFocus(Qt::OtherFocusReason);
    }
}

bool PopoverRoot::event(QEvent* event)
{
    // The layout's content changed size (the agenda appeared, a month with another number of weeks).
    if (event->type() == QEvent::LayoutRequest)
        resizeToContent();
    return QWidget::event(event);
}

void PopoverRoot::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    resizeToContent();
}

} // namespace kalvix

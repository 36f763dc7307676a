#include "popover/BigTimeView.h"

#include "platform/TitleImage.h"
#include "ui/AccessibleRole.h"
#include "ui/ColorRoles.h"
#include "ui/TextStyles.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kalvix {
namespace {

constexpr int kTimeSize = 64;
constexpr int kDayPeriodSize = 30;
constexpr qreal kSpacing = 8;

} // namespace

BigTimeView::BigTimeView(QWidget* parent)
    : QWidget(parent)
    , m_timeFont(ui::systemFont(kTimeSize, QFont::Bold))
    , m_periodFont(ui::systemFont(kDayPeriodSize, QFont::DemiBold))
{
    ui::setAccessibleRole(this, QAccessible::StaticText);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BigTimeView::setText(const BigClockText& text)
{
    if (text.time == m_text.time && text.dayPeriod == m_text.dayPeriod)
        return;
    const bool resized =
        platform::tabularTextWidth(text.time, m_timeFont) != platform::tabularTextWidth(m_text.time, m_timeFont) ||
        text.dayPeriod != m_text.dayPeriod;
    m_text = text;
    setAccessibleName(m_text.dayPeriod.isEmpty() ? m_text.time : m_text.time + u' ' + m_text.dayPeriod);
    if (resized)
        updateGeometry();
    update();
}

qreal BigTimeView::baseline() const
{
    return QFontMetricsF(m_timeFont).ascent();
}

QRectF BigTimeView::timeRect() const
{
    const QFontMetricsF fm(m_timeFont);
    return QRectF(0, 0, platform::tabularTextWidth(m_text.time, m_timeFont), fm.ascent() + fm.descent());
}

QRectF BigTimeView::dayPeriodRect() const
{
    if (m_text.dayPeriod.isEmpty())
        return {};
    const QFontMetricsF fm(m_periodFont);
    const qreal top = baseline() - fm.ascent();
    return QRectF(
        timeRect().right() + kSpacing, top, fm.horizontalAdvance(m_text.dayPeriod), fm.ascent() + fm.descent());
}

QSize BigTimeView::sizeHint() const
{
    const QRectF area = timeRect().united(dayPeriodRect());
    return QSize(static_cast<int>(std::ceil(area.right())), static_cast<int>(std::ceil(area.bottom())));
}

QSize BigTimeView::minimumSizeHint() const
{
    return sizeHint();
}

void BigTimeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(platform::tabularTextPath(0, baseline(), m_text.time, m_timeFont),
                     ui::roleColor(ui::ColorRole::primary, palette()));
    if (m_text.dayPeriod.isEmpty())
        return;
    // As an outline too, so both parts stand on exactly the same line (text drawing would snap its own).
    QPainterPath period;
    period.addText(QPointF(dayPeriodRect().left(), baseline()), m_periodFont, m_text.dayPeriod);
    painter.fillPath(period, ui::roleColor(ui::ColorRole::secondary, palette()));
}

} // namespace kalvix

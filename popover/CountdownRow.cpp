#include "popover/CountdownRow.h"

#include "countdowns/DaysUntilLabel.h"
#include "time/CivilCalendar.h"
#include "time/DateFormat.h"
#include "ui/AccessibleRole.h"
#include "ui/PaintCache.h"
#include "ui/Shapes.h"
#include "ui/SymbolView.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QPainter>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

constexpr int kHeight = 42;
constexpr int kSidePadding = 12;
constexpr int kCountdownRowSpacing = 10;
constexpr int kFlagFontSize = 13;
constexpr qreal kCornerRadius = 10;
constexpr qreal kCountdownOutlineOpacity = 0.06;
constexpr qreal kCountdownOutlineWidth = 1;

} // namespace

CountdownRow::CountdownRow(Countdown countdown, QWidget* parent)
    : QWidget(parent)
    , m_countdown(std::move(countdown))
    , m_title(new ui::TextLabel(
          m_countdown.title, ui::textStyleFont(TextStyle::callout, QFont::Medium), Ink::role(ColorRole::primary), this))
    , m_days(new ui::TextLabel({}, ui::textStyleFont(TextStyle::callout), Ink::role(ColorRole::secondary), this))
{
    ui::setAccessibleRole(this, QAccessible::ListItem);
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The count is never cut: the title gives way first.
    m_days->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
    layout->setSpacing(kCountdownRowSpacing);
    layout->addWidget(
        new ui::SymbolView(
            QStringLiteral("flag.fill"), ui::systemFont(kFlagFontSize), Ink::role(ColorRole::accent), this),
        0,
        Qt::AlignVCenter);
    layout->addWidget(m_title, 0, Qt::AlignVCenter);
    m_title->setVisible(!m_countdown.title.isEmpty()); // an empty title takes no room
    layout->addStretch(1);
    layout->addWidget(m_days, 0, Qt::AlignVCenter);
    // The row cuts a long title: its whole, with the full date, is there on hover and for screen readers.
    const QString date = formatSkeleton(m_countdown.date, QStringLiteral("EEEEdMMMMyyyyjmm"));
    setToolTip(m_countdown.title.isEmpty() ? date : m_countdown.title + u'\n' + date);
    setAccessibleDescription(date);
}

void CountdownRow::setNow(Instant now, const CivilCalendar& calendar)
{
    const QString days = daysUntilLabel(m_countdown.date, now, calendar);
    if (m_days->text() == days)
        return;
    m_days->setText(days);
    setAccessibleName(m_countdown.title.isEmpty() ? days : m_countdown.title + QStringLiteral(", ") + days);
}

void CountdownRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor fill = ui::roleColor(ColorRole::controlBackground, palette());
    const QColor outline = Ink::role(ColorRole::primary, kCountdownOutlineOpacity).resolve(palette());
    // Every row is the same card: drawn once, copied at each repaint (the faint ring is costly to draw).
    const QString key = QStringLiteral("countdown-card|%1|%2").arg(fill.rgba(), 0, 16).arg(outline.rgba(), 0, 16);
    ui::paintCached(painter, QRectF(rect()), key, [&](QPainter& p, const QRectF& card) {
        ui::fillRoundedRect(p, card, kCornerRadius, fill);
        ui::strokeRoundedRectInside(p, card, kCornerRadius, outline, kCountdownOutlineWidth);
    });
}

} // namespace kalvix

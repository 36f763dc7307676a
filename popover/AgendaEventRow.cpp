#include "popover/AgendaEventRow.h"

#include "calendar/EventLabels.h"
#include "popover/EventRow.h"
#include "ui/Shapes.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

namespace kalvix {
namespace {

constexpr int kAgendaRowSpacing = 6;
constexpr int kTextSpacing = 1;
constexpr QSize kAllDayMarker{5, 12};
constexpr qreal kAllDayRadius = 2;
constexpr QSize kTimedMarker{7, 7};

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

} // namespace

AgendaEventRow::AgendaEventRow(const DayEvent& event, QWidget* parent)
    : QWidget(parent)
    , m_event(event)
    , m_marker(new ui::ShapeView(event.isAllDay ? ui::ShapeView::Kind::roundedRect : ui::ShapeView::Kind::circle,
                                 event.isAllDay ? kAllDayMarker : kTimedMarker,
                                 Ink::custom(QColor(event.color.r, event.color.g, event.color.b, event.color.a)),
                                 kAllDayRadius,
                                 this))
    , m_title(
          new ui::TextLabel(event.title, ui::textStyleFont(TextStyle::callout), Ink::role(ColorRole::primary), this))
{
    auto* text = new QVBoxLayout;
    text->setContentsMargins(0, 0, 0, 0);
    text->setSpacing(kTextSpacing);
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    text->addWidget(m_title);
    if (!event.isAllDay) {
        m_time = new ui::TextLabel(
            timeRangeLabel(event), ui::textStyleFont(TextStyle::caption), Ink::role(ColorRole::secondary), this);
        m_time->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        text->addWidget(m_time);
    }

    // Aligned on the first text baseline: a shape has no text, so its bottom edge stands on the title's
    // baseline. Whichever of the two would start higher sets the row's top.
    const qreal baseline = QFontMetricsF(m_title->font()).ascent();
    const int markerTop = static_cast<int>(std::lround(baseline)) - m_marker->height();
    auto* markerColumn = new QVBoxLayout;
    markerColumn->setContentsMargins(0, std::max(0, markerTop), 0, 0);
    markerColumn->addWidget(m_marker);
    markerColumn->addStretch();
    text->setContentsMargins(0, std::max(0, -markerTop), 0, 0);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kAgendaRowSpacing);
    row->addLayout(markerColumn);
    row->addLayout(text, 1);
    describeEventRow(this, event);
}

} // namespace kalvix

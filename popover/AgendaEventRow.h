#pragma once
// One event of the Compact layout's agenda: a marker in the calendar's colour (a small rounded bar for an
// all-day event, a dot for a timed one) sitting on the title's baseline, the title on one line, and under
// it the time range for a timed event only.
#include "calendar/DayEvent.h"

#include <QWidget>

namespace kalvix {

namespace ui {
class ShapeView;
class TextLabel;
} // namespace ui

class AgendaEventRow final : public QWidget {
    Q_OBJECT
public:
    explicit AgendaEventRow(const DayEvent& event, QWidget* parent = nullptr);

    const DayEvent& event() const { return m_event; }
    ui::ShapeView* marker() const { return m_marker; }
    ui::TextLabel* titleLabel() const { return m_title; }
    ui::TextLabel* timeLabel() const { return m_time; } // null for an all-day event

private:
    DayEvent m_event;
    ui::ShapeView* m_marker;
    ui::TextLabel* m_title;
    ui::TextLabel* m_time = nullptr;
};

} // namespace kalvix

#pragma once
// One event of Up Next: a bar and a calendar icon in the event's calendar colour, the title (one line, cut
// at the end) over its time range, and at the right a relative label ("in 25m", "Tomorrow", "Now"), in the
// accent colour while the event runs and dimmer otherwise. A long title gives way; the relative label keeps
// its place at the right, its gap to the text column never below the spacer's 8 and the row's spacing on
// either side of it. No click action, no hover, no padding of its own.
#include "calendar/DayEvent.h"

#include <QWidget>

namespace kalvix {

namespace ui {
class TextLabel;
}

// Gives an event's row its whole text where the row cuts it: a tooltip, and for screen readers a list
// item named by the title and described by the rest.
void describeEventRow(QWidget* row, const DayEvent& event);

class EventRow final : public QWidget {
    Q_OBJECT
public:
    EventRow(const DayEvent& event, Instant now, QWidget* parent = nullptr);

    const DayEvent& event() const { return m_event; }
    // The clock moved: the relative label and its colour follow. Repaints only what changed.
    void setNow(Instant now);

    // Whether the event runs at `now` (start <= now < end).
    static bool isRunning(const DayEvent& event, Instant now);

    ui::TextLabel* titleLabel() const { return m_title; }
    ui::TextLabel* timeLabel() const { return m_time; }
    ui::TextLabel* relativeLabel() const { return m_relative; }

private:
    DayEvent m_event;
    ui::TextLabel* m_title;
    ui::TextLabel* m_time;
    ui::TextLabel* m_relative;
    bool m_running = false;
};

} // namespace kalvix

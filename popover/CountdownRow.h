#pragma once
// One pinned date in the countdown list: a flag, the title on one line and the live day count at the far
// end, on a rounded control-coloured card with a faint outline. A long title is cut short; the day count
// is always shown whole. Its accessible name reads both ("Anna's birthday, in 12 days").
#include "countdowns/Countdown.h"

#include <QWidget>

namespace kalvix {

class CivilCalendar;

namespace ui {
class TextLabel;
}

class CountdownRow final : public QWidget {
    Q_OBJECT
public:
    explicit CountdownRow(Countdown countdown, QWidget* parent = nullptr);

    // The day count as of `now`, counted in `calendar`.
    void setNow(Instant now, const CivilCalendar& calendar);

    const Countdown& countdown() const { return m_countdown; }
    ui::TextLabel* titleLabel() const { return m_title; }
    ui::TextLabel* daysLabel() const { return m_days; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Countdown m_countdown;
    ui::TextLabel* m_title;
    ui::TextLabel* m_days;
};

} // namespace kalvix

#pragma once
// The month grid's decisions, apart from any widget: which days the grid shows for a month, in which order
// the weekday letters go, how each day's cell looks, and where month navigation and the arrow keys lead.
// All in the user's current calendar (system zone, locale's first weekday), read by the caller and passed in.
//
// Weekday numbers here are the calendar's: 1 = Sunday, 2 = Monday, ... 7 = Saturday (ICU's numbering and
// the locale data's). CivilCalendar (Qt) counts 1 = Monday ... 7 = Sunday; toSundayBased() converts.
#include "calendar/MonthDots.h"
#include "time/CivilCalendar.h"
#include "time/Instant.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace kalvix {

// What one cell of the grid shows.
struct DayCellState {
    Instant day;       // local midnight
    int dayNumber = 0; // day of the month
    bool inDisplayedMonth = false;
    bool isToday = false;
    bool isSelected = false;
    DayColors dots;

    friend bool operator==(const DayCellState&, const DayCellState&) = default;
};

struct MonthGrid {
    // 1 = Monday .. 7 = Sunday to 1 = Sunday .. 7 = Saturday.
    static int toSundayBased(int mondayBasedWeekday);

    // The seven column letters starting at `firstWeekday`, from the locale's letters given Sunday first.
    static QStringList weekdaySymbols(const QStringList& sundayFirst, int firstWeekday);

    // The days of the grid for the month holding `displayedMonth`: whole weeks from the week of the 1st to
    // the week of the last day (4, 5 or 6 rows), each a local midnight. Empty when the calendar has no
    // such month.
    static QList<Instant> gridDays(Instant displayedMonth, int firstWeekday, const CivilCalendar& calendar);

    // How many days of the previous month lead the grid of `displayedMonth` (0..6).
    static int leadingDays(Instant displayedMonth, int firstWeekday, const CivilCalendar& calendar);

    static QList<DayCellState> cells(const QList<Instant>& days,
                                     Instant displayedMonth,
                                     Instant now,
                                     std::optional<Instant> selectedDay,
                                     const MonthDotMap& dots,
                                     const CivilCalendar& calendar);

    // `month` moved by `months` (the day clamped to a shorter month's last). Nothing when the calendar
    // cannot tell.
    static std::optional<Instant> shift(Instant month, int months, const CivilCalendar& calendar);

    // The start of the day `days` days after the one holding `day`.
    static std::optional<Instant> stepDays(Instant day, int days, const CivilCalendar& calendar);

    // Whether two instants lie in the same month of the same year.
    static bool sameMonth(Instant a, Instant b, const CivilCalendar& calendar);
};

} // namespace kalvix

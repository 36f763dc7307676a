#pragma once
// The next events and the agenda, computed from the store's occurrences of the coming 14 days.
//
// upNext: the first 4 occurrences that have not ended at `now`, by start (stable for equal starts).
// agenda: the first 30 of them grouped by the local day of max(start, now), at most 6 days in
// ascending order, each day with its all-day events first and each kind in start order.
// The four limits are independent of each other.
#include "calendar/AgendaDay.h"
#include "calendar/DayEvent.h"

#include <QList>

namespace kalvix {

class CalendarStore;
class CivilCalendar;

struct UpcomingEvents {
    static constexpr int kWindowDays = 14;
    static constexpr int kUpNextLimit = 4;
    static constexpr int kAgendaEventLimit = 30;
    static constexpr int kAgendaDayLimit = 6;

    QList<DayEvent> upNext;
    QList<AgendaDay> agenda;

    // Queries the store once for [now, now + 14 calendar days).
    static UpcomingEvents compute(const CalendarStore& store, Instant now, const CivilCalendar& calendar);
    // The same from occurrences already queried (taken by value: they are filtered and sorted in place).
    static UpcomingEvents
    fromOccurrences(std::vector<CalendarOccurrence> occurrences, Instant now, const CivilCalendar& calendar);
};

} // namespace kalvix

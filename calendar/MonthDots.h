#pragma once
// The coloured dots of the days around a month: for each local day that some occurrence touches, up to
// three pairwise different calendar colours in the order the store returned the occurrences.
//
// The query covers the month from 7 calendar days before its first day to 14 after its end; an
// occurrence marks every day it covers, also outside that window, except that a pathological span is
// marked no further than a year beyond the window (no grid shows those days).
#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"
#include "time/Instant.h"

#include <QList>
#include <QMap>

#include <optional>

namespace kalvix {

using DayColors = QList<CalendarColor>;
using MonthDotMap = QMap<Instant, DayColors>;

struct MonthDots {
    static constexpr int kMaxColors = 3;
    static constexpr int kDaysBefore = 7;
    static constexpr int kDaysAfter = 14;

    // The query window of the month that holds `month`, or nothing when the calendar has no such month.
    static std::optional<Interval> window(Instant month, const CivilCalendar& calendar);
    // Nothing when the calendar cannot give the month: the published map then stays as it is.
    static std::optional<MonthDotMap> compute(const CalendarStore& store, Instant month, const CivilCalendar& calendar);
    static MonthDotMap
    fromOccurrences(const std::vector<OccurrenceSpan>& occurrences, Interval window, const CivilCalendar& calendar);
};

} // namespace kalvix

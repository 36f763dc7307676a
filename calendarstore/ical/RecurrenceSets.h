#pragma once
// Small helpers shared by the parts of RecurrenceIterator.
#include "calendarstore/ical/RecurrenceRule.h"
#include "time/CivilDays.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kalvix::ical::recurrence {

using Frequency = RecurrenceRule::Frequency;

inline constexpr qint64 kLastDay = 2932896; // 9999-12-31

inline bool contains(const std::vector<int>& list, int value)
{
    return std::binary_search(list.begin(), list.end(), value);
}

// A value or its negative form counted from the end (-1 is the last of `size`).
inline bool containsEither(const std::vector<int>& list, int value, int size)
{
    return contains(list, value) || contains(list, value - size - 1);
}

inline bool subDaily(Frequency f)
{
    return f == Frequency::hourly || f == Frequency::minutely || f == Frequency::secondly;
}

inline qint64 unitSeconds(Frequency f)
{
    return f == Frequency::hourly ? 3600 : f == Frequency::minutely ? 60 : 1;
}

inline qint64 weekStartOf(qint64 day, int weekStart)
{
    return day - floorMod(weekdayOfDay(day) - weekStart, 7);
}

// Week number of a day within its week-numbering year (week 1 holds 4 January), and the number of
// weeks of that year.
inline std::pair<int, int> weekNumberOf(qint64 day, int weekStart, int year)
{
    auto firstWeek = [&](qint64 y) { return weekStartOf(daysFromCivil(y, 1, 4), weekStart); };
    qint64 from = firstWeek(year);
    qint64 to = firstWeek(year + 1);
    if (day < from) {
        to = from;
        from = firstWeek(year - 1);
    } else if (day >= to) {
        from = to;
        to = firstWeek(year + 2);
    }
    return {static_cast<int>((weekStartOf(day, weekStart) - from) / 7 + 1), static_cast<int>((to - from) / 7)};
}

} // namespace kalvix::ical::recurrence

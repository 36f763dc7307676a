#include "calendar/MonthDots.h"

#include "platform/CivilCalendar.h"

#include <algorithm>

namespace kalvix {
namespace {

std::optional<Instant> nextDayStart(const CivilCalendar& calendar, Instant dayStart)
{
    // From the day's start plus one calendar day, then back to that day's start: a day that starts
    // after a midnight gap starts later than the same wall-clock time of its neighbours.
    const auto later = calendar.addDays(dayStart, 1);
    if (!later)
        return std::nullopt;
    return calendar.startOfDay(*later);
}

// The starts of the days around the window, so that most day lookups are a binary search instead of a
// zone conversion. Instants outside the table take the calendar's own (slower) path.
class DayTable {
public:
    DayTable(const CivilCalendar& calendar, Interval window)
        : m_calendar(calendar)
    {
        const auto before = calendar.addDays(window.start, -1);
        auto day = before ? calendar.startOfDay(*before) : std::nullopt;
        const auto last = calendar.addDays(window.end, 1);
        while (day && last && *day <= *last) {
            m_starts.push_back(*day);
            day = nextDayStart(calendar, *day);
        }
    }

    std::optional<Instant> dayOf(Instant t) const
    {
        if (m_starts.size() >= 2 && t >= m_starts.front() && t < m_starts.back()) {
            auto it = std::upper_bound(m_starts.begin(), m_starts.end(), t);
            return *(it - 1);
        }
        return m_calendar.startOfDay(t);
    }

    std::optional<Instant> next(Instant dayStart) const
    {
        if (m_starts.size() >= 2 && dayStart >= m_starts.front() && dayStart < m_starts.back()) {
            auto it = std::upper_bound(m_starts.begin(), m_starts.end(), dayStart);
            return *it;
        }
        return nextDayStart(m_calendar, dayStart);
    }

private:
    const CivilCalendar& m_calendar;
    std::vector<Instant> m_starts;
};

} // namespace

std::optional<Interval> MonthDots::window(Instant month, const CivilCalendar& calendar)
{
    const auto interval = calendar.monthInterval(month);
    if (!interval)
        return std::nullopt;
    const auto start = calendar.addDays(interval->start, -kDaysBefore);
    const auto end = calendar.addDays(interval->end, kDaysAfter);
    if (!start || !end)
        return std::nullopt;
    return Interval{*start, *end};
}

std::optional<MonthDotMap> MonthDots::compute(const CalendarStore& store, Instant month, const CivilCalendar& calendar)
{
    const auto range = window(month, calendar);
    if (!range)
        return std::nullopt;
    return fromOccurrences(store.occurrences(range->start, range->end), *range, calendar);
}

MonthDotMap MonthDots::fromOccurrences(const std::vector<CalendarOccurrence>& occurrences,
                                       Interval window,
                                       const CivilCalendar& calendar)
{
    const DayTable days(calendar, window);
    const Instant markFrom = window.start - 366 * 86400.0;
    const Instant markUntil = window.end + 366 * 86400.0;

    MonthDotMap dots;
    for (const CalendarOccurrence& o : occurrences) {
        const Instant lastInstant = o.isAllDay ? o.end - 1.0 : o.end;
        auto day = days.dayOf(std::max(o.start, markFrom));
        const auto lastDay = days.dayOf(std::min(lastInstant, markUntil));
        if (!day || !lastDay)
            continue;
        while (day && *day <= *lastDay) {
            DayColors& colors = dots[*day];
            if (colors.size() < kMaxColors && !colors.contains(o.color))
                colors.append(o.color);
            day = days.next(*day);
        }
    }
    return dots;
}

} // namespace kalvix

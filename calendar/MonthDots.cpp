#include "calendar/MonthDots.h"

#include "time/CivilCalendar.h"

#include <algorithm>

namespace kalvix {
namespace {

// The start of the first day after the one that starts at `dayStart`: always later, or nothing. A date
// that a zone skipped whole starts where the date after it starts, so two dates on are enough.
std::optional<Instant> nextDayStart(const CivilCalendar& calendar, Instant dayStart)
{
    const auto date = calendar.dateOf(dayStart);
    for (int n = 1; date && n <= 2; ++n) {
        const auto next = date->plusDays(n);
        const auto start = next ? calendar.startOfDay(*next) : std::nullopt;
        if (start && *start > dayStart)
            return start;
    }
    return std::nullopt;
}

// The starts of the days around the window, so that most day lookups are a binary search instead of a
// zone conversion. Instants outside the table take the calendar's own (slower) path.
class DayTable {
public:
    DayTable(const CivilCalendar& calendar, Interval window)
        : m_calendar(calendar)
    {
        // Counted over the dates from the day before the window to the day after it, so the loop ends
        // whatever the zone's clock does; a skipped date adds no entry of its own.
        const auto first = calendar.dateOf(window.start);
        const auto days = calendar.daysBetween(window.start, window.end);
        if (!first || !days)
            return;
        std::optional<CivilDate> date = first->plusDays(-1);
        for (int i = 0; date && i < std::min(*days + 3, kMaxDays); ++i, date = date->plusDays(1)) {
            const auto start = calendar.startOfDay(*date);
            if (start && (m_starts.empty() || *start > m_starts.back()))
                m_starts.push_back(*start);
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

    // Where the day that holds `t` is in the table, when it is.
    std::optional<std::size_t> indexOf(Instant t) const
    {
        if (m_starts.size() < 2 || t < m_starts.front() || !(t < m_starts.back()))
            return std::nullopt;
        return static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), t) - m_starts.begin() - 1);
    }
    std::size_t size() const { return m_starts.size(); }
    Instant at(std::size_t index) const { return m_starts[index]; }

    // The start of the day after the one that starts at `dayStart`: always later, or nothing.
    std::optional<Instant> next(Instant dayStart) const
    {
        if (m_starts.size() >= 2 && dayStart >= m_starts.front() && dayStart < m_starts.back()) {
            auto it = std::upper_bound(m_starts.begin(), m_starts.end(), dayStart);
            return *it;
        }
        return nextDayStart(m_calendar, dayStart);
    }

private:
    static constexpr int kMaxDays = 1000; // a month's window is 45 days; a larger one is looked up slowly

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
    return fromOccurrences(store.spans(range->start, range->end), *range, calendar);
}

MonthDotMap MonthDots::fromOccurrences(const std::vector<OccurrenceSpan>& occurrences,
                                       Interval window,
                                       const CivilCalendar& calendar)
{
    const DayTable days(calendar, window);
    const Instant markFrom = window.start - 366 * 86400.0;
    const Instant markUntil = window.end + 366 * 86400.0;

    // Days of the table are counted in a list by position (the map is made at the end); days past
    // the table (rare: long events) go to the map directly.
    std::vector<DayColors> tableDays(days.size());
    MonthDotMap dots;
    auto mark = [](DayColors& colors, const CalendarColor& color) {
        if (colors.size() < kMaxColors && !colors.contains(color))
            colors.append(color);
    };
    for (const OccurrenceSpan& o : occurrences) {
        const Instant lastInstant = o.isAllDay ? o.end - 1.0 : o.end;
        const Instant from = std::max(o.start, markFrom);
        const Instant to = std::min(lastInstant, markUntil);
        const auto first = days.indexOf(from);
        const auto last = days.indexOf(to);
        if (first && last) {
            for (std::size_t i = *first; i <= *last; ++i)
                mark(tableDays[i], o.color);
            continue;
        }
        auto day = days.dayOf(from);
        const auto lastDay = days.dayOf(to);
        if (!day || !lastDay)
            continue;
        // Each step moves to a later day start (see DayTable::next), so this ends at lastDay.
        while (day && *day <= *lastDay) {
            auto index = days.indexOf(*day);
            mark(index ? tableDays[*index] : dots[*day], o.color);
            day = days.next(*day);
        }
    }
    // A day is either in the table or past it, so no day is in both.
    for (std::size_t i = 0; i < tableDays.size(); ++i) {
        if (!tableDays[i].isEmpty())
            dots.insert(days.at(i), std::move(tableDays[i]));
    }
    return dots;
}

} // namespace kalvix

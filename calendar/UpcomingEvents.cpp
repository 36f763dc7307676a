#include "calendar/UpcomingEvents.h"

#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"

#include <algorithm>
#include <map>

namespace kalvix {

UpcomingEvents UpcomingEvents::compute(const CalendarStore& store, Instant now, const CivilCalendar& calendar)
{
    // A clock outside any calendar still gets a window of 14 whole days rather than none.
    const Instant windowEnd = calendar.addDays(now, kWindowDays).value_or(now + kWindowDays * 86400.0);
    // Only the first kAgendaEventLimit that have not ended are used, and a day may hold a million: the
    // store makes only as many as asked for. Some of those may end at `now` exactly (the query lets a
    // zero-length one at its start in) and be dropped; then more are asked for.
    for (std::size_t wanted = kAgendaEventLimit;; wanted *= 2) {
        std::vector<CalendarOccurrence> found = store.firstOccurrences(now, windowEnd, wanted);
        const bool all = found.size() < wanted;
        const auto ended =
            std::count_if(found.begin(), found.end(), [now](const CalendarOccurrence& o) { return !(o.end > now); });
        if (all || found.size() - static_cast<std::size_t>(ended) >= std::size_t(kAgendaEventLimit))
            return fromOccurrences(std::move(found), now, calendar);
    }
}

UpcomingEvents
UpcomingEvents::fromOccurrences(std::vector<CalendarOccurrence> occurrences, Instant now, const CivilCalendar& calendar)
{
    std::erase_if(occurrences, [now](const CalendarOccurrence& o) { return !(o.end > now); });
    std::stable_sort(occurrences.begin(),
                     occurrences.end(),
                     [](const CalendarOccurrence& a, const CalendarOccurrence& b) { return a.start < b.start; });

    // Only the first 30 are ever used, so only they are converted (a conversion formats the id).
    const auto used = std::min<std::size_t>(occurrences.size(), kAgendaEventLimit);
    QList<DayEvent> events;
    events.reserve(static_cast<qsizetype>(used));
    for (std::size_t i = 0; i < used; ++i)
        events.append(DayEvent::fromOccurrence(occurrences[i]));

    UpcomingEvents result;
    result.upNext = events.mid(0, kUpNextLimit);

    std::map<Instant, QList<DayEvent>> groups;
    for (const DayEvent& event : std::as_const(events)) {
        const auto day = calendar.startOfDay(std::max(event.start, now));
        if (day)
            groups[*day].append(event);
    }
    for (auto& [day, dayEvents] : groups) {
        if (result.agenda.size() == kAgendaDayLimit)
            break;
        std::stable_sort(dayEvents.begin(), dayEvents.end(), [](const DayEvent& a, const DayEvent& b) {
            if (a.isAllDay != b.isAllDay)
                return a.isAllDay;
            return a.start < b.start;
        });
        result.agenda.append(AgendaDay{day, std::move(dayEvents)});
    }
    return result;
}

} // namespace kalvix

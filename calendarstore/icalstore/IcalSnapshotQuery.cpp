// Queries of the loaded index: indexed occurrences, and rule occurrences outside the load window from
// the month blocks or a direct expansion.
#include "calendarstore/icalstore/IcalSnapshot.h"

#include "calendarstore/ical/IcalExpansion.h"
#include "time/CivilDays.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace kalvix::ical {
namespace {

bool overlaps(double start, double end, Interval range)
{
    return start < range.end.seconds && (end > range.start.seconds || (start == end && start >= range.start.seconds));
}

} // namespace

CalendarOccurrence Snapshot::toOccurrence(const Hit& hit) const
{
    const ParsedCalendar& parsed = m_files[hit.file]->parsed;
    const EventInfo& info = parsed.events[hit.occurrence.event];
    const CalendarInfo& calendar = m_calendars[m_fileCalendar[hit.file]];
    std::optional<QString> identifier;
    if (info.uid.present())
        identifier = calendar.path + QLatin1Char('#') + *parsed.string(info.uid);
    return CalendarOccurrence{Instant{hit.occurrence.start},
                              Instant{hit.occurrence.end},
                              info.isAllDay,
                              parsed.string(info.title),
                              std::move(identifier),
                              m_fileColors[hit.file],
                              calendar.name};
}

bool Snapshot::before(const Hit& a, const Hit& b)
{
    return std::tie(a.occurrence.start, a.file, a.occurrence.event, a.occurrence.end) <
           std::tie(b.occurrence.start, b.file, b.occurrence.event, b.occurrence.end);
}

// The index and the month blocks are kept in query order, so a query merges runs rather than sorting
// all it found.
std::vector<Snapshot::Hit> Snapshot::hits(Instant start, Instant end) const
{
    if (!(start < end) || !start.isCivil() || !end.isCivil())
        return {};
    const Interval range{start, end};
    std::vector<Hit> indexed;
    std::vector<Hit> expanded;
    std::vector<Hit> other;
    appendIndexed(range, indexed, other);
    if (!m_rules.empty())
        appendExpanded(range, expanded, other);
    std::sort(other.begin(), other.end(), before);
    std::vector<Hit> runs(indexed.size() + expanded.size());
    std::merge(indexed.begin(), indexed.end(), expanded.begin(), expanded.end(), runs.begin(), before);
    std::vector<Hit> found(runs.size() + other.size());
    std::merge(runs.begin(), runs.end(), other.begin(), other.end(), found.begin(), before);
    return found;
}

std::vector<CalendarOccurrence> Snapshot::occurrences(Instant start, Instant end) const
{
    return firstOccurrences(start, end, std::numeric_limits<std::size_t>::max());
}

std::vector<CalendarOccurrence> Snapshot::firstOccurrences(Instant start, Instant end, std::size_t count) const
{
    const std::vector<Hit> found = hits(start, end);
    std::vector<CalendarOccurrence> result;
    result.reserve(std::min(found.size(), count));
    for (std::size_t i = 0; i < found.size() && i < count; ++i)
        result.push_back(toOccurrence(found[i]));
    return result;
}

std::vector<OccurrenceSpan> Snapshot::spans(Instant start, Instant end) const
{
    const std::vector<Hit> found = hits(start, end);
    std::vector<OccurrenceSpan> result;
    result.reserve(found.size());
    for (const Hit& hit : found) {
        const EventInfo& info = m_files[hit.file]->parsed.events[hit.occurrence.event];
        result.push_back(
            {Instant{hit.occurrence.start}, Instant{hit.occurrence.end}, info.isAllDay, m_fileColors[hit.file]});
    }
    return result;
}

void Snapshot::appendIndexed(Interval range, std::vector<Hit>& sorted, std::vector<Hit>& other) const
{
    const double from = range.start.seconds - m_maxShortLength;
    auto it = std::partition_point(
        m_shortIndex.begin(), m_shortIndex.end(), [from](const IndexEntry& e) { return e.start < from; });
    for (; it != m_shortIndex.end() && it->start < range.end.seconds; ++it) {
        const Occurrence& o = at(*it);
        if (overlaps(o.start, o.end, range))
            sorted.push_back({o, it->file});
    }
    for (const IndexEntry& e : m_longIndex) {
        const Occurrence& o = at(e);
        if (overlaps(o.start, o.end, range))
            other.push_back({o, e.file});
    }
}

// Rule occurrences that start outside the window. Short rules: from the months that hold the starts
// that can reach the range; a query over more months than are kept expands them directly.
void Snapshot::appendExpanded(Interval range, std::vector<Hit>& sorted, std::vector<Hit>& other) const
{
    const Interval window = m_window;
    auto outsideWindow = [&](double s) { return s < window.start.seconds || s >= window.end.seconds; };
    const std::vector<int> months = monthsFor(range);
    const bool direct = static_cast<int>(months.size()) > m_cachedMonths;
    if (!direct) {
        for (const auto& block : blocks(months)) {
            for (const Hit& e : block->entries) {
                if (outsideWindow(e.occurrence.start) && overlaps(e.occurrence.start, e.occurrence.end, range))
                    sorted.push_back(e);
            }
        }
        if (!m_anyLongRule)
            return;
    }
    std::vector<double> lastStarts;
    if (direct) {
        const std::lock_guard lock(m_months.mutex);
        lastStarts = m_months.shortLastStarts;
    }
    std::vector<Occurrence> expanded;
    for (const FileRules& rules : m_rules) {
        const FileData& file = *m_files[rules.file];
        expanded.clear();
        for (std::uint32_t r : rules.longRules) {
            if (auto overlapping = expandRule(file.parsed.rules[r], file.zones.get(), range, m_floating))
                expanded.insert(expanded.end(), overlapping->begin(), overlapping->end());
        }
        if (direct) {
            const Interval reach{Instant{range.start.seconds - m_maxShortRuleLength}, range.end};
            expandRulesStartingIn(file.parsed.rules,
                                  rules.shortRules,
                                  std::span<double>(lastStarts).subspan(rules.firstShort, rules.shortRules.size()),
                                  file.zones.get(),
                                  reach,
                                  m_floating,
                                  expanded);
        }
        for (const Occurrence& o : expanded) {
            if (outsideWindow(o.start) && overlaps(o.start, o.end, range))
                other.push_back({o, rules.file});
        }
    }
}

// The months (in UTC) that hold the rule starts that can reach the range, less those the load window
// covers whole.
std::vector<int> Snapshot::monthsFor(Interval range) const
{
    const int firstMonth = utcMonthOf(range.start.seconds - m_maxShortRuleLength);
    int lastMonth = utcMonthOf(range.end.seconds);
    if (utcMonthStart(lastMonth) >= range.end.seconds)
        --lastMonth; // starts lie before `end`
    std::vector<int> months;
    for (int m = firstMonth; m <= lastMonth; ++m) {
        if (utcMonthStart(m) < m_window.start.seconds || utcMonthStart(m + 1) > m_window.end.seconds)
            months.push_back(m);
    }
    return months;
}

} // namespace kalvix::ical

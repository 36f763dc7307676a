// Queries of the loaded index: indexed occurrences, and rule occurrences outside the load window from
// the month blocks or a direct expansion.
#include "platform/IcalSnapshot.h"

#include "platform/IcalExpansion.h"
#include "platform/ParallelFor.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kalvix::ical {
namespace {

bool overlaps(double start, double end, Interval range)
{
    return start < range.end.seconds && (end > range.start.seconds || (start == end && start >= range.start.seconds));
}

// Months in UTC, counted from January 1970: the blocks in which recurring events are expanded.
int monthOf(double seconds)
{
    const QDate d = QDate(1970, 1, 1).addDays(static_cast<qint64>(std::floor(seconds / 86400.0)));
    return (d.year() - 1970) * 12 + d.month() - 1;
}

double monthStart(int month)
{
    const int year = 1970 + (month >= 0 ? month / 12 : (month - 11) / 12);
    const int m = month - (year - 1970) * 12 + 1;
    return static_cast<double>(QDate(1970, 1, 1).daysTo(QDate(year, m, 1))) * 86400.0;
}

} // namespace

CalendarOccurrence Snapshot::toOccurrence(const Hit& hit) const
{
    const ParsedCalendar& parsed = m_files[hit.file]->parsed;
    const EventInfo& info = parsed.events[hit.occurrence.event];
    std::optional<QString> identifier;
    if (info.uid.present())
        identifier = m_calendars[m_fileCalendar[hit.file]].path + QLatin1Char('#') + *parsed.string(info.uid);
    return CalendarOccurrence{Instant{hit.occurrence.start},
                              Instant{hit.occurrence.end},
                              info.isAllDay,
                              parsed.string(info.title),
                              std::move(identifier),
                              m_fileColors[hit.file]};
}

std::vector<CalendarOccurrence> Snapshot::occurrences(Instant start, Instant end) const
{
    if (!(start < end) || !start.isCivil() || !end.isCivil())
        return {};
    const Interval range{start, end};
    std::vector<Hit> hits;
    appendIndexed(range, hits);
    if (!m_rules.empty())
        appendExpanded(range, hits);
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        return std::tie(a.occurrence.start, a.file, a.occurrence.event, a.occurrence.end) <
               std::tie(b.occurrence.start, b.file, b.occurrence.event, b.occurrence.end);
    });
    std::vector<CalendarOccurrence> result;
    result.reserve(hits.size());
    for (const Hit& hit : hits)
        result.push_back(toOccurrence(hit));
    return result;
}

void Snapshot::appendIndexed(Interval range, std::vector<Hit>& out) const
{
    const double from = range.start.seconds - m_maxShortLength;
    auto it = std::partition_point(
        m_shortIndex.begin(), m_shortIndex.end(), [from](const IndexEntry& e) { return e.start < from; });
    for (; it != m_shortIndex.end() && it->start < range.end.seconds; ++it) {
        const Occurrence& o = at(*it);
        if (overlaps(o.start, o.end, range))
            out.push_back({o, it->file});
    }
    for (const IndexEntry& e : m_longIndex) {
        const Occurrence& o = at(e);
        if (overlaps(o.start, o.end, range))
            out.push_back({o, e.file});
    }
}

// Rule occurrences that start outside the window. Short rules: from the months that hold the starts
// that can reach the range; a query over more months than are kept expands them directly.
void Snapshot::appendExpanded(Interval range, std::vector<Hit>& out) const
{
    const Interval window = m_window;
    auto outsideWindow = [&](double s) { return s < window.start.seconds || s >= window.end.seconds; };
    const int firstMonth = monthOf(range.start.seconds - m_maxShortRuleLength);
    int lastMonth = monthOf(range.end.seconds);
    if (monthStart(lastMonth) >= range.end.seconds)
        --lastMonth; // starts lie before `end`
    std::vector<int> months;
    for (int m = firstMonth; m <= lastMonth; ++m) {
        if (monthStart(m) < window.start.seconds || monthStart(m + 1) > window.end.seconds)
            months.push_back(m);
    }
    const bool direct = static_cast<int>(months.size()) > m_cachedMonths;
    if (!direct) {
        ensureBlocks(months);
        for (int m : months) {
            for (const Hit& e : m_blocks.at(m).entries) {
                if (outsideWindow(e.occurrence.start) && overlaps(e.occurrence.start, e.occurrence.end, range))
                    out.push_back(e);
            }
        }
    }
    if (!direct && !m_anyLongRule)
        return;
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
            std::vector<double> lastStarts(m_shortLastStarts.begin() + std::ptrdiff_t(rules.firstShort),
                                           m_shortLastStarts.begin() +
                                               std::ptrdiff_t(rules.firstShort + rules.shortRules.size()));
            expandRulesStartingIn(
                file.parsed.rules, rules.shortRules, lastStarts, file.zones.get(), reach, m_floating, expanded);
        }
        for (const Occurrence& o : expanded) {
            if (outsideWindow(o.start) && overlaps(o.start, o.end, range))
                out.push_back({o, rules.file});
        }
    }
}

Snapshot::Block Snapshot::expandMonth(int month, std::vector<double>& lastStarts) const
{
    Block block;
    const Interval range{Instant{monthStart(month)}, Instant{monthStart(month + 1)}};
    std::vector<Occurrence> expanded;
    for (const FileRules& r : m_rules) {
        const FileData& file = *m_files[r.file];
        expanded.clear();
        expandRulesStartingIn(file.parsed.rules,
                              r.shortRules,
                              std::span<double>(lastStarts).subspan(r.firstShort, r.shortRules.size()),
                              file.zones.get(),
                              range,
                              m_floating,
                              expanded);
        for (const Occurrence& o : expanded)
            block.entries.push_back({o, r.file});
    }
    block.entries.shrink_to_fit();
    return block;
}

void Snapshot::ensureBlocks(const std::vector<int>& months) const
{
    const std::uint64_t use = ++m_uses;
    std::vector<int> missing;
    for (int m : months) {
        auto it = m_blocks.find(m);
        if (it == m_blocks.end())
            missing.push_back(m);
        else
            it->second.lastUse = use;
    }
    if (missing.empty())
        return;
    // Every month is the same whichever thread expands it; what one learns about where rules end is
    // merged afterwards.
    std::vector<Block> made(missing.size());
    std::vector<std::vector<double>> learned(missing.size(), m_shortLastStarts);
    parallelFor(missing.size(), [&](std::size_t k) { made[k] = expandMonth(missing[k], learned[k]); });
    for (std::size_t k = 0; k < missing.size(); ++k) {
        for (std::size_t i = 0; i < m_shortLastStarts.size(); ++i)
            m_shortLastStarts[i] = std::min(m_shortLastStarts[i], learned[k][i]);
        made[k].lastUse = use;
        m_blocks.insert_or_assign(missing[k], std::move(made[k]));
    }
    // Keep the most recently used months, never one this query needs.
    while (static_cast<int>(m_blocks.size()) > std::max(m_cachedMonths, static_cast<int>(months.size()))) {
        auto oldest = std::min_element(m_blocks.begin(), m_blocks.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        m_blocks.erase(oldest);
    }
}

} // namespace kalvix::ical

// The months of recurring events expanded on demand: by a query that needs them, or ahead of it by a
// worker. A month being expanded is in flight: a query that needs it waits for it rather than
// expanding it twice.
#include "calendarstore/icalstore/IcalSnapshot.h"

#include "calendarstore/ical/IcalExpansion.h"
#include "calendarstore/ical/ParallelFor.h"
#include "time/CivilDays.h"

#include <algorithm>

namespace kalvix::ical {

std::vector<int> Snapshot::monthsToExpand(Instant start, Instant end) const
{
    if (m_rules.empty() || !(start < end) || !start.isCivil() || !end.isCivil())
        return {};
    std::vector<int> months = monthsFor(Interval{start, end});
    if (static_cast<int>(months.size()) > m_cachedMonths)
        return {};
    const std::lock_guard lock(m_months.mutex);
    std::erase_if(months, [&](int m) { return m_months.blocks.count(m) || m_months.inFlight.count(m); });
    return months;
}

void Snapshot::prefetch(const std::vector<int>& months) const
{
    std::vector<int> missing;
    {
        const std::lock_guard lock(m_months.mutex);
        for (int m : months) {
            if (!m_months.blocks.count(m) && m_months.inFlight.insert(m).second)
                missing.push_back(m);
        }
    }
    // One after the other: the main thread keeps a core to itself.
    expandAndKeep(missing, false);
}

std::vector<std::shared_ptr<const Snapshot::Block>> Snapshot::blocks(const std::vector<int>& months) const
{
    std::unique_lock lock(m_months.mutex);
    for (;;) {
        std::vector<int> missing;
        for (int m : months) {
            if (!m_months.blocks.count(m) && m_months.inFlight.insert(m).second)
                missing.push_back(m);
        }
        lock.unlock();
        expandAndKeep(missing, true);
        lock.lock();
        m_months.done.wait(lock, [&] {
            return std::none_of(months.begin(), months.end(), [&](int m) { return m_months.inFlight.count(m) > 0; });
        });
        // Another query may have let one go meanwhile: then round again.
        if (std::all_of(months.begin(), months.end(), [&](int m) { return m_months.blocks.count(m) > 0; }))
            break;
    }
    const std::uint64_t use = ++m_months.uses;
    std::vector<std::shared_ptr<const Block>> found;
    for (int m : months) {
        m_months.lastUse[m] = use;
        found.push_back(m_months.blocks.at(m));
    }
    evict(months);
    return found;
}

void Snapshot::expandAndKeep(const std::vector<int>& months, bool parallel) const
{
    if (months.empty())
        return;
    // Every month is the same whichever thread expands it; what one learns about where rules end is
    // merged afterwards.
    std::vector<double> known;
    {
        const std::lock_guard lock(m_months.mutex);
        known = m_months.shortLastStarts;
    }
    std::vector<std::shared_ptr<const Block>> made(months.size());
    std::vector<std::vector<double>> learned(months.size(), known);
    auto expand = [&](std::size_t k) { made[k] = std::make_shared<const Block>(expandMonth(months[k], learned[k])); };
    if (parallel) {
        parallelFor(months.size(), expand);
    } else {
        for (std::size_t k = 0; k < months.size(); ++k)
            expand(k);
    }
    {
        const std::lock_guard lock(m_months.mutex);
        const std::uint64_t use = ++m_months.uses;
        for (std::size_t k = 0; k < months.size(); ++k) {
            auto& starts = m_months.shortLastStarts;
            for (std::size_t i = 0; i < starts.size(); ++i)
                starts[i] = std::min(starts[i], learned[k][i]);
            m_months.blocks[months[k]] = std::move(made[k]);
            m_months.lastUse[months[k]] = use;
            m_months.inFlight.erase(months[k]);
        }
    }
    m_months.done.notify_all();
}

Snapshot::Block Snapshot::expandMonth(int month, std::vector<double>& lastStarts) const
{
    Block block;
    const Interval range{Instant{utcMonthStart(month)}, Instant{utcMonthStart(month + 1)}};
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
    std::sort(block.entries.begin(), block.entries.end(), before);
    block.entries.shrink_to_fit();
    return block;
}

// Keeps the most recently used months, never one of `keep`; called with the lock held.
void Snapshot::evict(const std::vector<int>& keep) const
{
    const auto limit = static_cast<std::size_t>(std::max(m_cachedMonths, static_cast<int>(keep.size())));
    while (m_months.blocks.size() > limit) {
        auto oldest = m_months.blocks.end();
        for (auto it = m_months.blocks.begin(); it != m_months.blocks.end(); ++it) {
            if (std::find(keep.begin(), keep.end(), it->first) != keep.end())
                continue;
            if (oldest == m_months.blocks.end() || m_months.lastUse[it->first] < m_months.lastUse[oldest->first])
                oldest = it;
        }
        if (oldest == m_months.blocks.end())
            return;
        m_months.lastUse.erase(oldest->first);
        m_months.blocks.erase(oldest);
    }
}

} // namespace kalvix::ical

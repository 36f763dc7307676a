#include "time/ZoneRules.h"

#include <QDateTime>

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <optional>

namespace kalvix {
namespace {

constexpr qint64 kTableFrom = -2208988800; // 1900-01-01 00:00 UTC
constexpr qint64 kTableTo = 7258118400;    // 2200-01-01 00:00 UTC
// Wider than any offset the database has ever held (about 16 hours), so the instants that can show a
// given wall time all lie within this reach of it.
constexpr qint64 kReach = 2 * 86400;
// Zones kept at once; a program uses a handful (the system zone and the world clocks).
constexpr std::size_t kZonesKept = 64;

QDateTime utcAt(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

const ZoneTransition* firstAfter(const std::vector<ZoneTransition>& table, qint64 t)
{
    const auto it =
        std::upper_bound(table.begin(), table.end(), t, [](qint64 v, const ZoneTransition& z) { return v < z.at; });
    return table.data() + (it - table.begin());
}

} // namespace

ZoneRules::ZoneRules(const QTimeZone& zone)
    : m_zone(zone)
    , m_tableFrom(kTableFrom)
    , m_tableTo(kTableTo)
{
    m_initial = m_zone.offsetFromUtc(utcAt(m_tableFrom));
    m_table = walk(m_tableFrom, m_tableTo);
}

std::shared_ptr<const ZoneRules> ZoneRules::of(const QTimeZone& zone)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const ZoneRules>> cache;
    const QByteArray key = zone.isValid() ? zone.id() : QByteArray();
    {
        const std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end())
            return it->second;
    }
    // Built outside the lock: a first use of one zone never waits for another's table.
    auto rules = std::make_shared<const ZoneRules>(zone);
    const std::lock_guard lock(mutex);
    if (cache.size() >= kZonesKept)
        cache.clear(); // holders keep their own reference
    return cache.emplace(key, std::move(rules)).first->second;
}

std::vector<ZoneTransition> ZoneRules::walk(qint64 from, qint64 to) const
{
    std::vector<ZoneTransition> out;
    if (!m_zone.isValid())
        return out;
    int before = m_zone.offsetFromUtc(utcAt(from));
    qint64 cursor = from;
    while (cursor < to) {
        QTimeZone::OffsetData next = m_zone.nextTransition(utcAt(cursor));
        if (!next.atUtc.isValid()) // the Qt 6.4 gap at the last listed transition (see the header)
            next = m_zone.nextTransition(utcAt(cursor + 1));
        if (!next.atUtc.isValid())
            break;
        const qint64 at = next.atUtc.toSecsSinceEpoch();
        if (at <= cursor || at >= to)
            break; // also ends a walk that would not advance
        if (next.offsetFromUtc != before)
            out.push_back({at, before, next.offsetFromUtc});
        before = next.offsetFromUtc;
        cursor = at;
    }
    return out;
}

std::vector<ZoneTransition> ZoneRules::transitions(qint64 from, qint64 to) const
{
    if (!inTable(from, to))
        return walk(from, to);
    return std::vector<ZoneTransition>(firstAfter(m_table, from), firstAfter(m_table, to - 1));
}

int ZoneRules::offsetAt(qint64 utc) const
{
    if (!inTable(utc, utc))
        return m_zone.offsetFromUtc(utcAt(utc));
    const ZoneTransition* next = firstAfter(m_table, utc);
    return next == m_table.data() ? m_initial : (next - 1)->after;
}

ZoneRules::Mapping ZoneRules::map(qint64 wall) const
{
    const qint64 from = wall - kReach;
    const qint64 to = wall + kReach;
    if (inTable(from, to)) {
        const ZoneTransition* begin = firstAfter(m_table, from);
        const int initial = begin == m_table.data() ? m_initial : (begin - 1)->after;
        return scan(wall, from, initial, begin, firstAfter(m_table, to - 1));
    }
    const std::vector<ZoneTransition> near = walk(from, to);
    const int initial = m_zone.isValid() ? m_zone.offsetFromUtc(utcAt(from)) : 0;
    return scan(wall, from, initial, near.data(), near.data() + near.size());
}

// The stretches between transitions in time order; `from` shows a wall time a day or more before `wall`.
ZoneRules::Mapping
ZoneRules::scan(qint64 wall, qint64 from, int initial, const ZoneTransition* begin, const ZoneTransition* end)
{
    qint64 pieceStart = from;
    int offset = initial;
    int offsetBefore = initial;
    std::optional<Mapping> gap;
    for (const ZoneTransition* t = begin;; ++t) {
        const qint64 pieceEnd = t == end ? std::numeric_limits<qint64>::max() - kReach : t->at;
        const bool reaches = pieceEnd + offset > wall;
        if (reaches && pieceStart + offset <= wall) {
            const qint64 instant = wall - offset;
            return gap ? Mapping{instant, gap->firstAtOrAfter, true} : Mapping{instant, instant, true};
        }
        // The first stretch that reaches past `wall` but starts after it: `wall` fell into the gap
        // before it. A later stretch could still show it (a fall-back soon after), so go on looking.
        if (reaches && !gap)
            gap = Mapping{wall - offsetBefore, pieceStart, false};
        if (t == end)
            return *gap;
        pieceStart = t->at;
        offsetBefore = offset;
        offset = t->after;
    }
}

} // namespace kalvix

#include "calendarstore/ical/IcalZones.h"

#include "calendarstore/ical/SharedCache.h"
#include "time/CivilDays.h"
#include "time/ZoneRules.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kalvix::ical {
namespace {

constexpr qint64 kCycleSeconds = kDaysPerCycle * kSecondsPerDay;
constexpr qint64 kYearSeconds = 366 * kSecondsPerDay;

qint64 yearStart(int year)
{
    return daysFromCivil(year, 1, 1) * kSecondsPerDay;
}

// The system zone's transitions from 1800, as kalvix::ZoneRules reads them from the tz database, up
// to one cycle past 2200: the database lists no change of rule that late, so from then on the zone
// repeats every 400 years and the table answers for any later year.
std::shared_ptr<const ZoneTable> buildSystemTable(const QTimeZone& zone)
{
    const auto rules = kalvix::ZoneRules::of(zone);
    const qint64 from = yearStart(1800);
    const qint64 tableFrom = yearStart(1900); // the span ZoneRules keeps as a table; the rest it walks
    const qint64 cycleStart = yearStart(2200);
    const qint64 until = cycleStart + kCycleSeconds + 2 * kYearSeconds;
    std::vector<ZoneTable::Transition> transitions;
    // transitions(a, b) gives a < at < b: the spans below meet without a gap or an overlap.
    for (const auto& [a, b] : {std::pair{from, tableFrom + 1}, {tableFrom, cycleStart}, {cycleStart - 1, until}}) {
        for (const ZoneTransition& t : rules->transitions(a, b))
            transitions.push_back({t.at, t.before, t.after});
    }
    return std::make_shared<const ZoneTable>(rules->offsetAt(from), std::move(transitions), cycleStart);
}

} // namespace

ZoneTable::ZoneTable(int initialOffset,
                     std::vector<Transition> transitions,
                     std::optional<qint64> cycleStart,
                     bool partial)
    : m_initial(initialOffset)
    , m_cycleStart(cycleStart)
    , m_partial(partial)
{
    m_entries.reserve(transitions.size());
    for (const Transition& t : transitions)
        m_entries.push_back({t, t.atUtc + std::max(t.before, t.after)});
}

qint64 ZoneTable::cyclesBack(qint64& seconds) const
{
    if (!m_cycleStart || seconds < *m_cycleStart + kCycleSeconds + kYearSeconds)
        return 0;
    const qint64 cycles = (seconds - *m_cycleStart - kYearSeconds) / kCycleSeconds;
    seconds -= cycles * kCycleSeconds;
    return cycles * kCycleSeconds;
}

qint64 ZoneTable::toInstant(qint64 wall) const
{
    const qint64 moved = cyclesBack(wall);
    auto it = std::partition_point(
        m_entries.begin(), m_entries.end(), [wall](const Entry& e) { return e.wallThreshold <= wall; });
    const int offset = it == m_entries.end() ? (m_entries.empty() ? m_initial : m_entries.back().transition.after)
                                             : it->transition.before;
    return wall - offset + moved;
}

qint64 ZoneTable::toWall(qint64 instant) const
{
    const qint64 moved = cyclesBack(instant);
    auto it = std::partition_point(
        m_entries.begin(), m_entries.end(), [instant](const Entry& e) { return e.transition.atUtc <= instant; });
    const int offset = it == m_entries.begin() ? m_initial : (it - 1)->transition.after;
    return instant + offset + moved;
}

std::shared_ptr<const ZoneTable> ZoneTable::system(const QTimeZone& zone)
{
    static SharedCache<QByteArray, ZoneTable> cache(1024); // more than the tz database has zones
    return cache.get(zone.id(), [&zone](const QByteArray&) { return buildSystemTable(zone); });
}

bool ZoneSet::add(const QByteArray& tzid, QByteArray lines)
{
    if (tzid.isEmpty() || m_lines.contains(tzid))
        return true; // nothing can name it, or the first of that name is kept
    if (m_lines.size() >= kMaxZones)
        return false;
    m_lines.insert(tzid, std::move(lines));
    return true;
}

int ZoneSet::unreadable() const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(
        std::count_if(m_tables.cbegin(), m_tables.cend(), [](const auto& t) { return !t || t->partial(); }));
}

std::shared_ptr<const ZoneTable> ZoneSet::table(const QByteArray& tzid) const
{
    const auto lines = m_lines.constFind(tzid);
    if (lines == m_lines.constEnd())
        return nullptr;
    const std::lock_guard lock(m_mutex);
    auto it = m_tables.constFind(tzid);
    if (it == m_tables.constEnd())
        it = m_tables.insert(tzid, ZoneTable::fromVTimezone(*lines));
    return *it;
}

std::optional<QByteArray> systemZoneName(const QByteArray& tzid)
{
    thread_local QHash<QByteArray, std::optional<QByteArray>> cache;
    auto it = cache.constFind(tzid);
    if (it != cache.constEnd())
        return *it;
    std::optional<QByteArray> found;
    if (QTimeZone::isTimeZoneIdAvailable(tzid)) {
        found = tzid;
    } else {
        // Vendor prefixes: "/mozilla.org/20050126_1/America/New_York",
        // "/freeassociation.sourceforge.net/Tzfile/Europe/London": try each tail after a slash.
        for (qsizetype at = tzid.indexOf('/'); at >= 0 && !found; at = tzid.indexOf('/', at + 1)) {
            const QByteArray tail = tzid.mid(at + 1);
            if (tail.contains('/') && QTimeZone::isTimeZoneIdAvailable(tail))
                found = tail;
        }
        if (!found) {
            const QByteArray windows = QTimeZone::windowsIdToDefaultIanaId(tzid);
            if (!windows.isEmpty() && QTimeZone::isTimeZoneIdAvailable(windows))
                found = windows;
        }
    }
    if (cache.size() > 4096)
        cache.clear(); // a file of made-up names does not grow the cache for ever
    cache.insert(tzid, found);
    return found;
}

ZoneContext::ZoneContext(const ZoneSet* zones, const QTimeZone& floating)
    : m_zones(zones)
    , m_floating(ZoneTable::system(floating.isValid() ? floating : QTimeZone::utc()))
{
}

ZoneRef ZoneContext::resolve(QByteArrayView tzid)
{
    if (tzid.isEmpty())
        return {};
    const QByteArray id = tzid.toByteArray();
    if (auto name = systemZoneName(id))
        return ZoneRef{ZoneRef::Kind::named, *name};
    if (m_zones && m_zones->contains(id) && table(ZoneRef{ZoneRef::Kind::embedded, id}))
        return ZoneRef{ZoneRef::Kind::embedded, id};
    return {}; // unknown: floating, read in the system zone
}

const ZoneTable* ZoneContext::table(const ZoneRef& zone)
{
    const QByteArray key = (zone.kind == ZoneRef::Kind::named ? "n" : "e") + zone.id;
    auto it = m_cache.find(key);
    if (it == m_cache.end()) {
        std::shared_ptr<const ZoneTable> made;
        if (zone.kind == ZoneRef::Kind::named)
            made = ZoneTable::system(QTimeZone(zone.id));
        else if (m_zones)
            made = m_zones->table(zone.id);
        it = m_cache.emplace(key, std::move(made)).first;
    }
    return it->second.get();
}

double ZoneContext::toInstant(const WallTime& w, const ZoneRef& zone)
{
    const qint64 wall = wallSeconds(w);
    if (zone.kind == ZoneRef::Kind::utc)
        return static_cast<double>(wall);
    const ZoneTable* t = zone.kind == ZoneRef::Kind::floating ? nullptr : table(zone);
    return static_cast<double>((t ? t : m_floating.get())->toInstant(wall));
}

WallTime ZoneContext::toWall(double instant, const ZoneRef& zone)
{
    const auto seconds = static_cast<qint64>(std::floor(instant));
    if (zone.kind == ZoneRef::Kind::utc)
        return fromWallSeconds(seconds);
    const ZoneTable* t = zone.kind == ZoneRef::Kind::floating ? nullptr : table(zone);
    return fromWallSeconds((t ? t : m_floating.get())->toWall(seconds));
}

double ZoneContext::dayStart(CivilDate date)
{
    return static_cast<double>(m_floating->toInstant(wallSeconds(WallTime{date, {}})));
}

CivilDate ZoneContext::floatingDate(double instant)
{
    return fromWallSeconds(m_floating->toWall(static_cast<qint64>(std::floor(instant)))).date;
}

} // namespace kalvix::ical

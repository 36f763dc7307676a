#include "platform/IcalZones.h"

#include "platform/WallSeconds.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace kalvix::ical {
namespace {

constexpr qint64 kCycleSeconds = kDaysPerCycle * kSecondsPerDay;
constexpr qint64 kYearSeconds = 366 * kSecondsPerDay;

qint64 yearStart(int year)
{
    return daysFromCivil(year, 1, 1) * kSecondsPerDay;
}

// The system zone's transitions from 1800, with those past the database's explicit list (Qt lists
// them up to 2037) continued from its closing rule for one more cycle.
std::shared_ptr<const ZoneTable> buildSystemTable(const QTimeZone& zone)
{
    const QDateTime from(QDate(1800, 1, 1), QTime(0, 0), QTimeZone::utc());
    std::vector<ZoneTable::Transition> transitions;
    int offset = zone.offsetFromUtc(from);
    const int initial = offset;
    auto add = [&](const QTimeZone::OffsetData& t) {
        if (t.offsetFromUtc != offset)
            transitions.push_back({t.atUtc.toSecsSinceEpoch(), offset, t.offsetFromUtc});
        offset = t.offsetFromUtc;
    };
    const auto listed = zone.transitions(from, QDateTime(QDate(2200, 1, 1), QTime(0, 0), QTimeZone::utc()));
    for (const auto& t : listed)
        add(t);
    QDateTime last = listed.isEmpty() ? from : listed.last().atUtc;
    const qint64 cycleStart = yearStart(last.date().year() + 1);
    const qint64 until = cycleStart + kCycleSeconds + 2 * kYearSeconds;
    while (last.toSecsSinceEpoch() < until) {
        // Asked at a transition's own instant, Qt 6.4 finds no next one past its listed range.
        const auto next = zone.nextTransition(last.addSecs(1));
        if (!next.atUtc.isValid() || next.atUtc <= last)
            break;
        add(next);
        last = next.atUtc;
    }
    return std::make_shared<const ZoneTable>(initial, std::move(transitions), cycleStart);
}

} // namespace

ZoneTable::ZoneTable(int initialOffset, std::vector<Transition> transitions, std::optional<qint64> cycleStart)
    : m_initial(initialOffset)
    , m_cycleStart(cycleStart)
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
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const ZoneTable>> cache;
    const QByteArray id = zone.id();
    {
        const std::lock_guard lock(mutex);
        if (auto it = cache.find(id); it != cache.end())
            return it->second;
    }
    auto table = buildSystemTable(zone); // outside the lock: another thread may build the same, harmlessly
    const std::lock_guard lock(mutex);
    return cache.emplace(id, std::move(table)).first->second;
}

void ZoneSet::add(const QByteArray& tzid, QByteArray lines)
{
    if (!tzid.isEmpty() && !m_lines.contains(tzid) && m_lines.size() < kMaxZones)
        m_lines.insert(tzid, std::move(lines));
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

#include "platform/IcalZones.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace kalvix::ical {

qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

qint64 wallSeconds(const WallTime& w)
{
    return daysFromCivil(w.date.year, static_cast<unsigned>(w.date.month), static_cast<unsigned>(w.date.day)) * 86400 +
           w.time.hour * 3600 + w.time.minute * 60 + w.time.second;
}

WallTime fromWallSeconds(qint64 s)
{
    qint64 days = s / 86400;
    qint64 rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const QDate d = QDate(1970, 1, 1).addDays(days);
    return WallTime{
        CivilDate{d.year(), d.month(), d.day()},
        CivilTime{static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60)}};
}

CivilDate addDays(CivilDate date, int days)
{
    return fromWallSeconds(wallSeconds(WallTime{date, {}}) + qint64(days) * 86400).date;
}

// A zone's offsets between 1900 and 2200 as a transition table, so that the hundreds of thousands of
// wall-clock times of a load convert without a QDateTime each. Gap and overlap follow CivilCalendar:
// a time in a gap moves forward by the gap's length, a time in an overlap takes the earlier instant;
// both are "the offset in force before the transition".
class ZoneTable {
public:
    explicit ZoneTable(const QTimeZone& zone)
        : m_zone(zone)
    {
        const QDateTime from(QDate(1900, 1, 1), QTime(0, 0), QTimeZone::utc());
        const QDateTime to(QDate(2200, 1, 1), QTime(0, 0), QTimeZone::utc());
        m_from = from.toSecsSinceEpoch();
        m_to = to.toSecsSinceEpoch();
        int before = zone.offsetFromUtc(from);
        m_initial = before;
        for (const auto& t : zone.transitions(from, to)) {
            const int after = t.offsetFromUtc;
            if (after == before)
                continue;
            const qint64 at = t.atUtc.toSecsSinceEpoch();
            m_transitions.push_back({at, before, after, at + std::max(before, after)});
            before = after;
        }
        m_final = before;
    }

    double toInstant(qint64 wall) const
    {
        if (wall < m_from + 2 * 86400 || wall > m_to - 2 * 86400) {
            const WallTime w = fromWallSeconds(wall);
            const auto t = CivilCalendar(m_zone).instantOf(w.date, w.time);
            return t ? t->seconds : static_cast<double>(wall);
        }
        auto it = std::partition_point(m_transitions.begin(), m_transitions.end(), [wall](const Transition& t) {
            return t.wallThreshold <= wall;
        });
        const int offset = it == m_transitions.end() ? m_final : it->before;
        return static_cast<double>(wall - offset);
    }

    qint64 toWall(double instant) const
    {
        const auto s = static_cast<qint64>(std::floor(instant));
        if (s < m_from || s > m_to)
            return s + m_zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(s, QTimeZone::utc()));
        auto it = std::partition_point(
            m_transitions.begin(), m_transitions.end(), [s](const Transition& t) { return t.atUtc <= s; });
        const int offset = it == m_transitions.begin() ? m_initial : (it - 1)->after;
        return s + offset;
    }

private:
    struct Transition {
        qint64 atUtc;
        int before;
        int after;
        qint64 wallThreshold; // wall times from here on map with `after`
    };
    QTimeZone m_zone;
    qint64 m_from = 0;
    qint64 m_to = 0;
    int m_initial = 0;
    int m_final = 0;
    std::vector<Transition> m_transitions;
};

namespace {

const ZoneTable& zoneTable(const QTimeZone& zone)
{
    // Per thread: tables are immutable once built, but the cache itself is not shared.
    thread_local std::unordered_map<std::string, std::unique_ptr<ZoneTable>> cache;
    const std::string key = zone.id().toStdString();
    auto& slot = cache[key];
    if (!slot)
        slot = std::make_unique<ZoneTable>(zone);
    return *slot;
}

} // namespace

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
    cache.insert(tzid, found);
    return found;
}

ZoneContext::ZoneContext(const QHash<QByteArray, QByteArray>& zones, const QTimeZone& floating)
    : m_zones(zones)
    , m_floating(zoneTable(floating.isValid() ? floating : QTimeZone::utc()))
{
}

ZoneRef ZoneContext::resolve(const char* tzid)
{
    if (!tzid || !*tzid)
        return {};
    const QByteArray id(tzid);
    if (auto name = systemZoneName(id))
        return ZoneRef{ZoneRef::Kind::named, *name};
    if (embedded(id))
        return ZoneRef{ZoneRef::Kind::embedded, id};
    return {}; // unknown: floating, read in the system zone
}

double ZoneContext::toInstant(const WallTime& w, const ZoneRef& zone)
{
    switch (zone.kind) {
    case ZoneRef::Kind::utc:
        return static_cast<double>(wallSeconds(w));
    case ZoneRef::Kind::named:
        return table(zone.id).toInstant(wallSeconds(w));
    case ZoneRef::Kind::embedded:
        if (icaltimezone* z = embedded(zone.id)) {
            icaltimetype t = icaltime_null_time();
            t.year = w.date.year;
            t.month = w.date.month;
            t.day = w.date.day;
            t.hour = w.time.hour;
            t.minute = w.time.minute;
            t.second = w.time.second;
            return static_cast<double>(icaltime_as_timet_with_zone(t, z));
        }
        break;
    case ZoneRef::Kind::floating:
        break;
    }
    return m_floating.toInstant(wallSeconds(w));
}

WallTime ZoneContext::toWall(double instant, const ZoneRef& zone)
{
    switch (zone.kind) {
    case ZoneRef::Kind::utc:
        return fromWallSeconds(static_cast<qint64>(std::floor(instant)));
    case ZoneRef::Kind::named:
        return fromWallSeconds(table(zone.id).toWall(instant));
    case ZoneRef::Kind::embedded:
        if (icaltimezone* z = embedded(zone.id)) {
            const icaltimetype t = icaltime_from_timet_with_zone(static_cast<time_t>(std::floor(instant)), 0, z);
            return WallTime{{t.year, t.month, t.day}, {t.hour, t.minute, t.second}};
        }
        break;
    case ZoneRef::Kind::floating:
        break;
    }
    return fromWallSeconds(m_floating.toWall(instant));
}

double ZoneContext::dayStart(CivilDate date)
{
    return m_floating.toInstant(wallSeconds(WallTime{date, {}}));
}

CivilDate ZoneContext::floatingDate(double instant)
{
    return fromWallSeconds(m_floating.toWall(instant)).date;
}

const ZoneTable& ZoneContext::table(const QByteArray& id)
{
    auto it = m_named.find(id);
    if (it != m_named.end())
        return *it->second;
    const ZoneTable& t = zoneTable(QTimeZone(id));
    m_named.emplace(id, &t);
    return t;
}

icaltimezone* ZoneContext::embedded(const QByteArray& tzid)
{
    auto it = m_embedded.find(tzid);
    if (it != m_embedded.end())
        return it->second.get();
    std::unique_ptr<icaltimezone, ZoneDeleter> zone;
    const auto text = m_zones.constFind(tzid);
    if (text != m_zones.constEnd()) {
        icalcomponent* comp = icalparser_parse_string(text->constData());
        if (comp && icalcomponent_isa(comp) == ICAL_VTIMEZONE_COMPONENT) {
            zone.reset(icaltimezone_new());
            if (!icaltimezone_set_component(zone.get(), comp)) {
                icalcomponent_free(comp);
                zone.reset();
            }
        } else if (comp) {
            icalcomponent_free(comp);
        }
    }
    icaltimezone* raw = zone.get();
    m_embedded.emplace(tzid, std::move(zone));
    return raw;
}

} // namespace kalvix::ical

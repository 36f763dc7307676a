#include "platform/IcalReader.h"

#include <libical/ical.h>

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace kalvix::ical {
namespace {

// ---- civil seconds -----------------------------------------------------------------------------

qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

// Wall-clock time written as if it were UTC: seconds since 1970-01-01 00:00 of the same wall clock.
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

// ---- fast zone conversion ----------------------------------------------------------------------

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

struct ZoneDeleter {
    void operator()(icaltimezone* z) const { icaltimezone_free(z, 1); }
};

// Resolves TZIDs and converts between wall-clock times and instants for one reading or expansion.
// Owns the libical zones it builds from the file's VTIMEZONEs; not shared between threads.
class ZoneContext {
public:
    ZoneContext(const QHash<QByteArray, QByteArray>& zones, const QTimeZone& floating)
        : m_zones(zones)
        , m_floating(zoneTable(floating.isValid() ? floating : QTimeZone::utc()))
    {
    }

    ZoneRef resolve(const char* tzid)
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

    double toInstant(const WallTime& w, const ZoneRef& zone)
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

    WallTime toWall(double instant, const ZoneRef& zone)
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

    double dayStart(CivilDate date) { return m_floating.toInstant(wallSeconds(WallTime{date, {}})); }
    CivilDate floatingDate(double instant) { return fromWallSeconds(m_floating.toWall(instant)).date; }

private:
    const ZoneTable& table(const QByteArray& id)
    {
        auto it = m_named.find(id);
        if (it != m_named.end())
            return *it->second;
        const ZoneTable& t = zoneTable(QTimeZone(id));
        m_named.emplace(id, &t);
        return t;
    }

    icaltimezone* embedded(const QByteArray& tzid)
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

    const QHash<QByteArray, QByteArray>& m_zones;
    const ZoneTable& m_floating;
    std::map<QByteArray, const ZoneTable*> m_named;
    std::map<QByteArray, std::unique_ptr<icaltimezone, ZoneDeleter>> m_embedded;
};

// ---- reading properties ------------------------------------------------------------------------

bool validWall(const icaltimetype& t)
{
    if (icaltime_is_null_time(t) || !QDate::isValid(t.year, t.month, t.day) || t.year < 1 || t.year > 9999)
        return false;
    if (t.is_date)
        return true;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second <= 60;
}

WallTime wallOf(const icaltimetype& t)
{
    if (t.is_date)
        return WallTime{{t.year, t.month, t.day}, {}};
    return WallTime{{t.year, t.month, t.day}, {t.hour, t.minute, std::min(t.second, 59)}};
}

const char* tzidOf(icalproperty* p)
{
    icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    return param ? icalparameter_get_tzid(param) : nullptr;
}

ZoneRef zoneOf(icalproperty* p, const icaltimetype& t, ZoneContext& zones, const ZoneRef& fallback)
{
    if (icaltime_is_utc(t))
        return ZoneRef{ZoneRef::Kind::utc, {}};
    if (const char* tzid = tzidOf(p))
        return zones.resolve(tzid);
    return fallback;
}

std::optional<QString> textOf(icalcomponent* event, icalproperty_kind kind)
{
    icalproperty* p = icalcomponent_get_first_property(event, kind);
    if (!p)
        return std::nullopt;
    const char* text = icalproperty_get_value_as_string(p);
    if (!text)
        return std::nullopt;
    return QString::fromUtf8(text);
}

struct Reader {
    const ReadOptions& options;
    ZoneContext zones;
    ParsedCalendar out;

    double instantOf(const WallTime& w, const ZoneRef& zone, bool isDate)
    {
        return isDate ? zones.dayStart(w.date) : zones.toInstant(w, zone);
    }

    void readEvent(icalcomponent* event)
    {
        icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        if (!dtstart) {
            ++out.skipped;
            return;
        }
        const icaltimetype start = icalproperty_get_dtstart(dtstart);
        if (!validWall(start)) {
            ++out.skipped;
            return;
        }
        RecurringRule rule;
        rule.isAllDay = start.is_date != 0;
        rule.start = wallOf(start);
        rule.zone = rule.isAllDay ? ZoneRef{} : zoneOf(dtstart, start, zones, ZoneRef{});
        const double startInstant = instantOf(rule.start, rule.zone, rule.isAllDay);
        readLength(event, rule, startInstant);

        EventInfo info;
        info.title = textOf(event, ICAL_SUMMARY_PROPERTY);
        info.uid = textOf(event, ICAL_UID_PROPERTY);
        if (info.uid && info.uid->isEmpty())
            info.uid.reset();
        info.isAllDay = rule.isAllDay;
        const auto index = static_cast<std::uint32_t>(out.events.size());
        rule.event = index;

        if (icalproperty* rid = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY)) {
            // An override of one occurrence: shown as itself; its master must not show the original.
            const icaltimetype t = icalproperty_get_recurrenceid(rid);
            if (info.uid && validWall(t)) {
                const ZoneRef ridZone = t.is_date ? ZoneRef{} : zoneOf(rid, t, zones, rule.zone);
                out.overrides.emplace_back(*info.uid, instantOf(wallOf(t), ridZone, t.is_date != 0));
            }
            out.events.push_back(std::move(info));
            out.occurrences.push_back({startInstant, endOf(rule, startInstant), index, false});
            return;
        }

        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
            if (const char* text = icalproperty_get_value_as_string(p))
                rule.rules.emplace_back(text);
        }
        bool hasRdate = false;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
            const icaldatetimeperiodtype d = icalproperty_get_rdate(p);
            const icaltimetype t = icaltime_is_null_time(d.time) ? d.period.start : d.time;
            if (!validWall(t))
                continue;
            hasRdate = true;
            const ZoneRef z = rule.isAllDay || t.is_date ? ZoneRef{} : zoneOf(p, t, zones, rule.zone);
            rule.extraStarts.push_back(instantOf(wallOf(t), z, rule.isAllDay || t.is_date));
        }
        if (rule.rules.empty() && !hasRdate) {
            out.events.push_back(std::move(info));
            out.occurrences.push_back({startInstant, endOf(rule, startInstant), index, false});
            return;
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
            const icaltimetype t = icalproperty_get_exdate(p);
            if (!validWall(t))
                continue;
            if (t.is_date && !rule.isAllDay)
                rule.excludedDates.push_back(wallOf(t).date);
            else
                rule.excludedStarts.push_back(
                    instantOf(wallOf(t), rule.isAllDay ? ZoneRef{} : zoneOf(p, t, zones, rule.zone), rule.isAllDay));
        }
        double lastStart = kUnknownLastStart;
        auto expanded = expandWith(rule, zones, options.window, &lastStart);
        if (!expanded) {
            ++out.skipped;
            return;
        }
        rule.firstStart = startInstant;
        for (double extra : rule.extraStarts)
            rule.firstStart = std::min(rule.firstStart, extra);
        rule.lastStart = lastStart;
        out.events.push_back(std::move(info));
        // Only those starting in the window: one that starts before belongs to an earlier stretch and is
        // found when that stretch is expanded, so no occurrence is counted twice.
        for (const Occurrence& o : *expanded) {
            if (o.start >= options.window.start.seconds)
                out.occurrences.push_back(o);
        }
        out.rules.push_back(std::move(rule));
    }

    void readLength(icalcomponent* event, RecurringRule& rule, double startInstant)
    {
        icalproperty* dtend = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
        icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
        if (dtend) {
            const icaltimetype end = icalproperty_get_dtend(dtend);
            if (validWall(end)) {
                if (rule.isAllDay) {
                    // DTEND is exclusive; one that is not after DTSTART leaves the event one day long.
                    const qint64 days = QDate(rule.start.date.year, rule.start.date.month, rule.start.date.day)
                                            .daysTo(QDate(end.year, end.month, end.day));
                    rule.durationDays = static_cast<int>(std::clamp<qint64>(days, 1, 366 * 100));
                } else {
                    const ZoneRef z = end.is_date ? ZoneRef{} : zoneOf(dtend, end, zones, rule.zone);
                    const double endInstant = instantOf(wallOf(end), z, end.is_date != 0);
                    rule.durationSeconds = std::max(0.0, endInstant - startInstant);
                }
                return;
            }
        }
        if (duration) {
            const icaldurationtype d = icalproperty_get_duration(duration);
            if (!icaldurationtype_is_bad_duration(d) && !d.is_neg) {
                const qint64 days = qint64(d.weeks) * 7 + d.days;
                const qint64 seconds = qint64(d.hours) * 3600 + qint64(d.minutes) * 60 + d.seconds;
                if (rule.isAllDay) {
                    rule.durationDays =
                        static_cast<int>(std::clamp<qint64>(days + (seconds + 86399) / 86400, 1, 36600));
                } else {
                    // Days are nominal: the same wall-clock time that many days later.
                    WallTime endWall = rule.start;
                    endWall.date = addDays(rule.start.date, static_cast<int>(std::min<qint64>(days, 36600)));
                    const double endInstant = zones.toInstant(endWall, rule.zone) + static_cast<double>(seconds);
                    rule.durationSeconds = std::max(0.0, endInstant - startInstant);
                }
                return;
            }
        }
        rule.durationDays = 1;
        rule.durationSeconds = 0;
    }

    double endOf(const RecurringRule& rule, double start)
    {
        if (!rule.isAllDay)
            return start + rule.durationSeconds;
        return zones.dayStart(addDays(zones.floatingDate(start), rule.durationDays));
    }

    static std::optional<std::vector<Occurrence>>
    expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, double* lastStart = nullptr);
};

// ---- expansion ---------------------------------------------------------------------------------

icaltimetype icalTime(const WallTime& w, bool isDate)
{
    icaltimetype t = icaltime_null_time();
    t.year = w.date.year;
    t.month = w.date.month;
    t.day = w.date.day;
    if (isDate) {
        t.is_date = 1;
    } else {
        t.hour = w.time.hour;
        t.minute = w.time.minute;
        t.second = w.time.second;
    }
    return t;
}

struct RuleIterator {
    icalrecur_iterator* it = nullptr;
    ~RuleIterator()
    {
        if (it)
            icalrecur_iterator_free(it);
    }
};

std::optional<std::vector<Occurrence>>
Reader::expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, double* lastStart)
{
    std::vector<Occurrence> out;
    // The latest start met, or of which every later occurrence was skipped by starting late; it bounds
    // the rule's starts when every RRULE ran to its end.
    double latest = -std::numeric_limits<double>::infinity();
    bool ranOut = true;
    const double length = lengthBound(rule);
    auto endOf = [&](const WallTime& w, double start) {
        return rule.isAllDay ? zones.dayStart(addDays(w.date, rule.durationDays)) : start + rule.durationSeconds;
    };
    auto excluded = [&](const WallTime& w, double start) {
        return std::find(rule.excludedStarts.begin(), rule.excludedStarts.end(), start) != rule.excludedStarts.end() ||
               std::find(rule.excludedDates.begin(), rule.excludedDates.end(), w.date) != rule.excludedDates.end();
    };
    // True while the occurrence does not start past the range.
    auto offer = [&](const WallTime& w) {
        const double start = rule.isAllDay ? zones.dayStart(w.date) : zones.toInstant(w, rule.zone);
        latest = std::max(latest, start);
        if (start >= range.end.seconds)
            return false;
        const double end = endOf(w, start);
        const bool overlaps = end > range.start.seconds || (end == start && start >= range.start.seconds);
        if (overlaps && !excluded(w, start))
            out.push_back({start, end, rule.event, true});
        return true;
    };

    offer(rule.start);
    for (double extra : rule.extraStarts)
        offer(rule.isAllDay ? WallTime{zones.floatingDate(extra), {}} : zones.toWall(extra, rule.zone));

    for (const QByteArray& text : rule.rules) {
        icalrecurrencetype recur = icalrecurrencetype_from_string(text.constData());
        if (recur.freq == ICAL_NO_RECURRENCE)
            return std::nullopt;
        if (!icaltime_is_null_time(recur.until)) {
            // Compare UNTIL in the event's own wall-clock time: libical compares the fields as they are.
            WallTime until = wallOf(recur.until);
            if (icaltime_is_utc(recur.until) && !rule.isAllDay && rule.zone.kind != ZoneRef::Kind::utc)
                until = zones.toWall(static_cast<double>(wallSeconds(until)), rule.zone);
            else if (recur.until.is_date && !rule.isAllDay)
                until.time = CivilTime{23, 59, 59};
            recur.until = icalTime(until, rule.isAllDay);
        }
        RuleIterator iter;
        iter.it = icalrecur_iterator_new(recur, icalTime(rule.start, rule.isAllDay));
        if (!iter.it)
            return std::nullopt;
        if (recur.count == 0) {
            // Without COUNT the iteration may begin near the range instead of at DTSTART.
            const WallTime from = zones.toWall(range.start.seconds - length - 2 * 86400.0, rule.zone);
            if (wallSeconds(from) > wallSeconds(rule.start)) {
                icalrecur_iterator_set_start(iter.it, icalTime(from, rule.isAllDay));
                latest = std::max(latest, range.start.seconds); // later than any start passed over
            }
        }
        int steps = 0;
        bool ended = false;
        for (icaltimetype t = icalrecur_iterator_next(iter.it);; t = icalrecur_iterator_next(iter.it)) {
            if (icaltime_is_null_time(t)) {
                ended = true;
                break;
            }
            if (++steps > kMaxIterationsPerRule || static_cast<int>(out.size()) > kMaxOccurrencesPerRule)
                return std::nullopt;
            if (!validWall(t) || !offer(wallOf(t)))
                break;
        }
        ranOut = ranOut && ended;
    }
    if (lastStart)
        *lastStart = ranOut ? latest : kUnknownLastStart;
    std::sort(out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
    out.erase(std::unique(
                  out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) { return a.start == b.start; }),
              out.end());
    if (static_cast<int>(out.size()) > kMaxOccurrencesPerRule)
        return std::nullopt;
    return out;
}

void collectEvents(icalcomponent* comp, Reader& reader, int depth)
{
    if (!comp || depth > 2)
        return;
    if (icalcomponent_isa(comp) == ICAL_VEVENT_COMPONENT) {
        reader.readEvent(comp);
        return;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(comp, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(comp, ICAL_ANY_COMPONENT))
        collectEvents(c, reader, depth + 1);
}

// ---- splitting ---------------------------------------------------------------------------------

bool startsWithNoCase(QByteArrayView line, QByteArrayView prefix)
{
    return line.size() >= prefix.size() && line.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

QString unescapeText(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return QString::fromUtf8(out);
}

std::optional<CalendarColor> colorFromText(QStringView text)
{
    if (auto c = CalendarColor::fromName(text))
        return c;
    // CSS colour names (RFC 7986 COLOR): the common ones.
    static const std::pair<const char*, CalendarColor> names[] = {
        {"black", {0, 0, 0, 255}},        {"white", {255, 255, 255, 255}},    {"red", {255, 0, 0, 255}},
        {"green", {0, 128, 0, 255}},      {"blue", {0, 0, 255, 255}},         {"yellow", {255, 255, 0, 255}},
        {"orange", {255, 165, 0, 255}},   {"purple", {128, 0, 128, 255}},     {"gray", {128, 128, 128, 255}},
        {"grey", {128, 128, 128, 255}},   {"pink", {255, 192, 203, 255}},     {"brown", {165, 42, 42, 255}},
        {"teal", {0, 128, 128, 255}},     {"navy", {0, 0, 128, 255}},         {"olive", {128, 128, 0, 255}},
        {"maroon", {128, 0, 0, 255}},     {"lime", {0, 255, 0, 255}},         {"aqua", {0, 255, 255, 255}},
        {"cyan", {0, 255, 255, 255}},     {"fuchsia", {255, 0, 255, 255}},    {"magenta", {255, 0, 255, 255}},
        {"silver", {192, 192, 192, 255}}, {"turquoise", {64, 224, 208, 255}}, {"violet", {238, 130, 238, 255}},
    };
    const QString lower = text.trimmed().toString().toLower();
    for (const auto& [name, color] : names) {
        if (lower == QLatin1String(name))
            return color;
    }
    return std::nullopt;
}

void readCalendarProperty(QByteArrayView line, CalendarText& out)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    QByteArrayView name = line.first(colon);
    if (const qsizetype semi = name.indexOf(';'); semi >= 0)
        name = name.first(semi);
    const QByteArrayView value = line.sliced(colon + 1);
    if (name.compare("X-WR-CALNAME", Qt::CaseInsensitive) == 0 && out.name.isEmpty()) {
        out.name = unescapeText(value).trimmed();
    } else if (name.compare("COLOR", Qt::CaseInsensitive) == 0 ||
               name.compare("X-APPLE-CALENDAR-COLOR", Qt::CaseInsensitive) == 0) {
        if (!out.color)
            out.color = colorFromText(QString::fromUtf8(value));
    }
}

QByteArray zoneIdOf(QByteArrayView vtimezone)
{
    qsizetype at = 0;
    while (at < vtimezone.size()) {
        qsizetype end = vtimezone.indexOf('\n', at);
        if (end < 0)
            end = vtimezone.size();
        QByteArrayView line = vtimezone.sliced(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (startsWithNoCase(line, "TZID")) {
            const qsizetype colon = line.indexOf(':');
            if (colon >= 0)
                return line.sliced(colon + 1).trimmed().toByteArray();
        }
        at = end + 1;
    }
    return {};
}

} // namespace

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        icalerror_set_errors_are_fatal(0);
        icalerror_set_error_state(ICAL_PARSE_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_BADARG_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_USAGE_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_INTERNAL_ERROR, ICAL_ERROR_NONFATAL);
        icaltimezone_get_utc_timezone(); // built once here, before any thread asks for it
    });
}

CalendarText splitCalendarText(const QByteArray& text, int componentsPerChunk)
{
    static const QByteArray kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix//EN\r\n";
    static const QByteArray kTail = "END:VCALENDAR\r\n";
    CalendarText out;
    QByteArray chunk;
    int inChunk = 0;
    auto flush = [&] {
        if (inChunk > 0)
            out.chunks.push_back(kHead + chunk + kTail);
        chunk.clear();
        inChunk = 0;
    };

    std::vector<QByteArray> stack; // names of the open components
    bool inCalendar = false;
    qsizetype componentStart = -1;
    bool componentBroken = false;
    QByteArray property; // an unfolded calendar-level property line

    const QByteArrayView all(text);
    qsizetype at = 0;
    while (at < all.size()) {
        qsizetype end = all.indexOf('\n', at);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        QByteArrayView line = all.sliced(at, (end < 0 ? all.size() : end) - at);
        if (line.endsWith('\r'))
            line.chop(1);
        const std::size_t calendarLevel = inCalendar ? 1 : 0;

        if (stack.size() == calendarLevel && inCalendar && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            property += line.sliced(1);
            at = next;
            continue;
        }
        if (!property.isEmpty()) {
            readCalendarProperty(property, out);
            property.clear();
        }

        if (startsWithNoCase(line, "BEGIN:")) {
            const QByteArray name = line.sliced(6).trimmed().toByteArray().toUpper();
            if (stack.empty() && name == "VCALENDAR") {
                inCalendar = true;
                stack.push_back(name);
            } else {
                if (stack.size() == (inCalendar ? 1u : 0u)) {
                    componentStart = at;
                    componentBroken = false;
                }
                stack.push_back(name);
            }
        } else if (startsWithNoCase(line, "END:")) {
            const QByteArray name = line.sliced(4).trimmed().toByteArray().toUpper();
            auto open = std::find(stack.rbegin(), stack.rend(), name);
            if (open != stack.rend()) {
                if (open != stack.rbegin())
                    componentBroken = true; // inner components left open: the component is damaged
                stack.erase((open + 1).base(), stack.end());
                if (name == "VCALENDAR" && stack.empty()) {
                    inCalendar = false;
                } else if (stack.size() == (inCalendar ? 1u : 0u) && componentStart >= 0) {
                    QByteArray component = all.sliced(componentStart, next - componentStart).toByteArray();
                    if (!component.endsWith('\n'))
                        component += "\r\n";
                    if (componentBroken) {
                        ++out.truncated;
                    } else if (name == "VTIMEZONE") {
                        const QByteArray id = zoneIdOf(component);
                        if (!id.isEmpty() && !out.zones.contains(id))
                            out.zones.insert(id, component);
                    } else if (name == "VEVENT") {
                        chunk += component;
                        if (++inChunk >= componentsPerChunk)
                            flush();
                    }
                    componentStart = -1;
                }
            }
        } else if (stack.size() == 1 && inCalendar) {
            property = line.toByteArray();
        }
        at = next;
    }
    if (!property.isEmpty())
        readCalendarProperty(property, out);
    if (componentStart >= 0)
        ++out.truncated;
    flush();
    return out;
}

ParsedCalendar
parseChunk(const QByteArray& chunk, const QHash<QByteArray, QByteArray>& zones, const ReadOptions& options)
{
    initialise();
    Reader reader{options, ZoneContext(zones, options.floating), {}};
    icalcomponent* root = icalparser_parse_string(chunk.constData());
    if (!root)
        return {};
    collectEvents(root, reader, 0);
    icalcomponent_free(root);
    return std::move(reader.out);
}

void append(ParsedCalendar& into, ParsedCalendar&& part)
{
    const auto offset = static_cast<std::uint32_t>(into.events.size());
    into.events.insert(
        into.events.end(), std::make_move_iterator(part.events.begin()), std::make_move_iterator(part.events.end()));
    for (Occurrence o : part.occurrences) {
        o.event += offset;
        into.occurrences.push_back(o);
    }
    for (RecurringRule& rule : part.rules) {
        rule.event += offset;
        into.rules.push_back(std::move(rule));
    }
    into.overrides.insert(into.overrides.end(), part.overrides.begin(), part.overrides.end());
    into.skipped += part.skipped;
}

void applyOverrides(ParsedCalendar& calendar)
{
    if (calendar.overrides.empty())
        return;
    QHash<QString, std::vector<double>> byUid;
    for (const auto& [uid, start] : calendar.overrides)
        byUid[uid].push_back(start);
    auto overridden = [&](std::uint32_t event, double start) {
        const auto& uid = calendar.events[event].uid;
        if (!uid)
            return false;
        auto it = byUid.constFind(*uid);
        return it != byUid.constEnd() && std::find(it->begin(), it->end(), start) != it->end();
    };
    std::erase_if(calendar.occurrences,
                  [&](const Occurrence& o) { return o.fromRule && overridden(o.event, o.start); });
    for (RecurringRule& rule : calendar.rules) {
        const auto& uid = calendar.events[rule.event].uid;
        if (!uid)
            continue;
        auto it = byUid.constFind(*uid);
        if (it != byUid.constEnd())
            rule.excludedStarts.insert(rule.excludedStarts.end(), it->begin(), it->end());
    }
}

ParsedCalendar readCalendar(const QByteArray& text, const ReadOptions& options, CalendarText* header)
{
    CalendarText split = splitCalendarText(text, options.chunkEvents);
    ParsedCalendar all;
    all.skipped = split.truncated;
    for (const QByteArray& chunk : split.chunks)
        append(all, parseChunk(chunk, split.zones, options));
    applyOverrides(all);
    if (header)
        *header = std::move(split);
    return all;
}

double lengthBound(const RecurringRule& rule)
{
    return rule.isAllDay ? rule.durationDays * 86400.0 + 7200.0 : rule.durationSeconds;
}

void expandRulesStartingIn(const std::vector<RecurringRule>& rules,
                           const std::vector<std::uint32_t>& which,
                           std::span<double> lastStarts,
                           const QHash<QByteArray, QByteArray>& zones,
                           Interval range,
                           const QTimeZone& floating,
                           std::vector<Occurrence>& out)
{
    initialise();
    std::optional<ZoneContext> context; // built on first need: most rules of a far range are over
    for (std::size_t k = 0; k < which.size(); ++k) {
        const RecurringRule& rule = rules[which[k]];
        if (rule.firstStart >= range.end.seconds || lastStarts[k] < range.start.seconds)
            continue;
        if (!context)
            context.emplace(zones, floating);
        double last = kUnknownLastStart;
        const auto expanded = Reader::expandWith(rule, *context, range, &last);
        if (!expanded)
            continue;
        lastStarts[k] = std::min(lastStarts[k], last);
        for (const Occurrence& o : *expanded) {
            if (o.start >= range.start.seconds)
                out.push_back(o);
        }
    }
}

std::optional<std::vector<Occurrence>> expandRule(const RecurringRule& rule,
                                                  const QHash<QByteArray, QByteArray>& zones,
                                                  Interval range,
                                                  const QTimeZone& floating)
{
    initialise();
    ZoneContext context(zones, floating);
    return Reader::expandWith(rule, context, range);
}

} // namespace kalvix::ical

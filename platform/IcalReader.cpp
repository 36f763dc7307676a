#include "platform/IcalReader.h"

#include "platform/IcalExpansion.h"
#include "platform/IcalValues.h"
#include "platform/IcalZones.h"

#include <libical/ical.h>

#include <QDate>

#include <algorithm>
#include <mutex>

namespace kalvix::ical {
namespace {

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
};

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

} // namespace kalvix::ical

#include "calendarstore/ical/IcalEventReader.h"

#include "calendarstore/ical/IcalValues.h"
#include "calendarstore/ical/RecurrenceRule.h"
#include "time/CivilDays.h"

#include <algorithm>

namespace kalvix::ical {

// The properties of one VEVENT that Kalvix reads (its own, not those of its VALARMs).
struct EventReader::Lines {
    std::optional<ContentLine> dtstart;
    std::optional<ContentLine> dtend;
    std::optional<ContentLine> duration;
    std::optional<ContentLine> summary;
    std::optional<ContentLine> uid;
    std::optional<ContentLine> recurrenceId;
    std::optional<ContentLine> sequence;
    std::optional<ContentLine> stamp;
    std::vector<ContentLine> rrules;
    std::vector<ContentLine> rdates;
    std::vector<ContentLine> exdates;

    void take(ContentLine&& line)
    {
        auto once = [&](std::optional<ContentLine>& slot) {
            if (!slot)
                slot = std::move(line);
        };
        if (line.is("DTSTART"))
            once(dtstart);
        else if (line.is("DTEND"))
            once(dtend);
        else if (line.is("DURATION"))
            once(duration);
        else if (line.is("SUMMARY"))
            once(summary);
        else if (line.is("UID"))
            once(uid);
        else if (line.is("RECURRENCE-ID"))
            once(recurrenceId);
        else if (line.is("SEQUENCE"))
            once(sequence);
        else if (line.is("DTSTAMP"))
            once(stamp);
        else if (line.is("RRULE"))
            rrules.push_back(std::move(line));
        else if (line.is("RDATE"))
            rdates.push_back(std::move(line));
        else if (line.is("EXDATE"))
            exdates.push_back(std::move(line));
    }
};

namespace {

// A SEQUENCE that is not a number counts as none (0); one past the int range as its limit.
std::int32_t sequenceOf(const std::optional<ContentLine>& line)
{
    if (!line)
        return 0;
    const QByteArrayView text = line->value.trimmed();
    if (text.isEmpty() || text.size() > 12)
        return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? static_cast<std::int32_t>(std::clamp<qint64>(value, 0, std::numeric_limits<std::int32_t>::max())) : 0;
}

} // namespace

EventReader::EventReader(QByteArrayView text, const ReadOptions& options, const ZoneSet* zones)
    : m_text(text)
    , m_zones(zones, options.floating)
{
}

void EventReader::read(qsizetype from, qsizetype to)
{
    Lines lines;
    LineReader reader(m_text.sliced(from, to - from));
    ContentLine line;
    int depth = 0;
    while (reader.next(line)) {
        if (line.is("BEGIN"))
            ++depth;
        else if (line.is("END"))
            depth = std::max(0, depth - 1);
        else if (depth == 0)
            lines.take(std::move(line));
    }
    readEvent(lines);
}

void EventReader::readEvent(const Lines& lines)
{
    const auto start = lines.dtstart ? parseDateTime(lines.dtstart->value) : std::nullopt;
    if (!start) {
        ++m_out.skipped;
        return;
    }
    RecurringRule rule;
    rule.isAllDay = start->isDate;
    rule.start = start->wall;
    rule.zone = rule.isAllDay ? ZoneRef{} : zoneOf(*lines.dtstart, start->utc, ZoneRef{});
    const double startInstant = instantOf(rule.start, rule.zone, rule.isAllDay);
    readLength(lines, rule, startInstant);

    EventInfo info;
    info.title = lines.summary ? keep(lines.summary->value) : TextRef{};
    info.uid = lines.uid ? keep(lines.uid->value.trimmed()) : TextRef{};
    if (info.uid.size == 0)
        info.uid = TextRef{};
    info.isAllDay = rule.isAllDay;
    const auto index = static_cast<std::uint32_t>(m_out.events.size());
    m_out.events.push_back(info);
    rule.event = index;

    Revision revision;
    revision.sequence = sequenceOf(lines.sequence);
    if (const auto stamp = lines.stamp ? parseDateTime(lines.stamp->value) : std::nullopt)
        revision.stamp = wallSeconds(stamp->wall); // UTC by the standard; read as written otherwise
    const std::size_t overrides = m_out.overrides.size();

    if (lines.recurrenceId) {
        readOverride(lines, rule, startInstant, index);
        if (m_out.overrides.size() > overrides)
            revision.role = Revision::Role::override;
    } else if (info.uid.present()) {
        revision.role = Revision::Role::master;
    }
    m_out.revisions.push_back(revision);
    if (!lines.recurrenceId && readRecurrence(lines, rule)) {
        readExclusions(lines, rule);
        rule.firstStart = startInstant;
        for (const ExtraStart& extra : rule.extraStarts)
            rule.firstStart = std::min(rule.firstStart, extra.start);
        m_out.rules.push_back(std::move(rule));
        return;
    }
    m_out.occurrences.push_back({startInstant, endOf(rule, startInstant), index});
}

void EventReader::readLength(const Lines& lines, RecurringRule& rule, double startInstant)
{
    rule.durationDays = 1;
    rule.durationSeconds = 0;
    if (const auto end = lines.dtend ? parseDateTime(lines.dtend->value) : std::nullopt) {
        if (rule.isAllDay) {
            // DTEND is exclusive; one that is not after DTSTART leaves the event one day long.
            const qint64 days = daysFromCivil(end->wall.date.year, end->wall.date.month, end->wall.date.day) -
                                daysFromCivil(rule.start.date.year, rule.start.date.month, rule.start.date.day);
            rule.durationDays = static_cast<int>(std::clamp<qint64>(days, 1, 366 * 100));
        } else {
            const ZoneRef z = end->isDate ? ZoneRef{} : zoneOf(*lines.dtend, end->utc, rule.zone);
            rule.durationSeconds = std::max(0.0, instantOf(end->wall, z, end->isDate) - startInstant);
        }
        return;
    }
    const auto d = lines.duration ? parseDuration(lines.duration->value) : std::nullopt;
    if (!d || d->negative)
        return;
    if (rule.isAllDay) {
        rule.durationDays = static_cast<int>(std::clamp<qint64>(d->days + (d->seconds + 86399) / 86400, 1, 36600));
    } else {
        // Days are nominal: the same wall-clock time that many days later.
        WallTime endWall = rule.start;
        endWall.date = addDays(rule.start.date, std::min<qint64>(d->days, 36600));
        const double endInstant = m_zones.toInstant(endWall, rule.zone) + static_cast<double>(d->seconds);
        rule.durationSeconds = std::max(0.0, endInstant - startInstant);
    }
}

// RRULEs and RDATEs; false when the event does not recur.
bool EventReader::readRecurrence(const Lines& lines, RecurringRule& rule)
{
    for (const ContentLine& line : lines.rrules) {
        const auto parsed = RecurrenceRule::parse(line.value);
        const bool subDaily = parsed && (parsed->frequency == RecurrenceRule::Frequency::hourly ||
                                         parsed->frequency == RecurrenceRule::Frequency::minutely ||
                                         parsed->frequency == RecurrenceRule::Frequency::secondly);
        if (parsed && !(rule.isAllDay && subDaily))
            rule.rules.push_back(line.value.trimmed().toByteArray());
    }
    for (const ContentLine& line : lines.rdates) {
        const auto value = line.param("VALUE");
        const bool periods = value && equalsNoCase(value->trimmed(), "PERIOD");
        for (QByteArrayView item : splitItems(line.value, ','))
            readExtraStart(line, item, periods, rule);
    }
    return !rule.rules.empty() || !rule.extraStarts.empty();
}

// One RDATE: a date, a date-time, or a period with its own length (an all-day event keeps its own).
void EventReader::readExtraStart(const ContentLine& line, QByteArrayView item, bool period, RecurringRule& rule)
{
    std::optional<DateTimeValue> t;
    if (period) {
        const auto p = parsePeriod(item);
        if (!p)
            return;
        if (!rule.isAllDay) {
            const ZoneRef z = zoneOf(line, p->start.utc, rule.zone);
            const double start = instantOf(p->start.wall, z, false);
            double end = start;
            if (p->end)
                end = instantOf(p->end->wall, p->end->utc ? ZoneRef{ZoneRef::Kind::utc, {}} : z, p->end->isDate);
            else if (p->duration && !p->duration->negative)
                end = start + static_cast<double>(p->duration->days * 86400 + p->duration->seconds);
            rule.extraStarts.push_back({start, std::max(0.0, end - start)});
            return;
        }
        t = p->start;
    } else {
        t = parseDateTime(item);
    }
    if (!t)
        return;
    const bool asDate = rule.isAllDay || t->isDate;
    const ZoneRef z = asDate ? ZoneRef{} : zoneOf(line, t->utc, rule.zone);
    rule.extraStarts.push_back({instantOf(t->wall, z, asDate), -1});
}

// A floating series excluded in UTC: the author wrote the wall-clock times of the occurrences (as
// mainstream readers take them), which are the same instants only where the reader's zone is UTC.
void EventReader::readExclusions(const Lines& lines, RecurringRule& rule)
{
    const bool floatingSeries = !rule.isAllDay && rule.zone.kind == ZoneRef::Kind::floating;
    for (const ContentLine& line : lines.exdates) {
        for (QByteArrayView item : splitItems(line.value, ',')) {
            const auto t = parseDateTime(item);
            if (!t)
                continue;
            if (t->isDate && !rule.isAllDay)
                rule.excludedDates.push_back(t->wall.date);
            else if (rule.isAllDay || (floatingSeries && t->utc))
                rule.excludedStarts.push_back(instantOf(t->wall, ZoneRef{}, rule.isAllDay));
            else
                rule.excludedStarts.push_back(instantOf(t->wall, zoneOf(line, t->utc, rule.zone), false));
        }
    }
}

// An override of one occurrence (or, with RANGE=THISANDFUTURE, of the rest of the series): shown as
// itself; its series must not show the original.
void EventReader::readOverride(const Lines& lines, const RecurringRule& event, double startInstant, std::uint32_t index)
{
    const auto id = parseDateTime(lines.recurrenceId->value);
    if (!id || !m_out.events[index].uid.present())
        return;
    Override o;
    o.uid = m_out.events[index].uid;
    const ZoneRef zone = id->isDate ? ZoneRef{} : zoneOf(*lines.recurrenceId, id->utc, event.zone);
    o.originalStart = instantOf(id->wall, zone, id->isDate);
    o.originalDate = id->wall.date;
    o.originalIsDate = id->isDate;
    const auto range = lines.recurrenceId->param("RANGE");
    o.thisAndFuture = range && equalsNoCase(range->trimmed(), "THISANDFUTURE");
    o.event = index;
    o.start = startInstant;
    o.isAllDay = event.isAllDay;
    o.startDate = event.start.date;
    o.durationSeconds = event.durationSeconds;
    o.durationDays = event.durationDays;
    m_out.overrides.push_back(o);
}

TextRef EventReader::keep(QByteArrayView escapedText)
{
    const QByteArray text = unescapeTextUtf8(escapedText);
    TextRef ref{static_cast<std::uint32_t>(m_out.text.size()), static_cast<std::uint32_t>(text.size())};
    m_out.text.append(text);
    return ref;
}

ZoneRef EventReader::zoneOf(const ContentLine& line, bool utc, const ZoneRef& fallback)
{
    if (utc)
        return ZoneRef{ZoneRef::Kind::utc, {}};
    if (const auto tzid = line.param("TZID"))
        return m_zones.resolve(*tzid);
    return fallback;
}

double EventReader::instantOf(const WallTime& w, const ZoneRef& zone, bool isDate)
{
    return isDate ? m_zones.dayStart(w.date) : m_zones.toInstant(w, zone);
}

double EventReader::endOf(const RecurringRule& rule, double start)
{
    if (!rule.isAllDay)
        return start + rule.durationSeconds;
    return m_zones.dayStart(addDays(rule.start.date, rule.durationDays));
}

} // namespace kalvix::ical

#include "calendarstore/ical/IcalReader.h"

#include "calendarstore/ical/IcalEventReader.h"
#include "calendarstore/ical/IcalExpansion.h"
#include "calendarstore/ical/IcalScan.h"
#include "calendarstore/ical/IcalZones.h"
#include "calendarstore/ical/ParallelFor.h"
#include "time/CivilDays.h"

#include <QHash>

#include <algorithm>
#include <tuple>

namespace kalvix::ical {
namespace {

constexpr std::size_t kEventsPerPart = 2000;
constexpr std::size_t kRulesPerPart = 500;

// Appends `part`, shifting its text and event indices.
void append(ParsedCalendar& into, ParsedCalendar&& part)
{
    const auto events = static_cast<std::uint32_t>(into.events.size());
    const auto text = static_cast<std::uint32_t>(into.text.size());
    into.text.append(part.text);
    auto shift = [&](TextRef& ref) {
        if (ref.present())
            ref.at += text;
    };
    for (EventInfo info : part.events) {
        shift(info.title);
        shift(info.uid);
        into.events.push_back(info);
    }
    for (Occurrence o : part.occurrences) {
        o.event += events;
        into.occurrences.push_back(o);
    }
    for (RecurringRule& rule : part.rules) {
        rule.event += events;
        into.rules.push_back(std::move(rule));
    }
    for (Override o : part.overrides) {
        o.event += events;
        shift(o.uid);
        into.overrides.push_back(o);
    }
    into.revisions.insert(into.revisions.end(), part.revisions.begin(), part.revisions.end());
    into.skipped += part.skipped;
}

// The events in parts that threads read side by side, when there are enough of them.
ParsedCalendar readEvents(QByteArrayView text, const CalendarText& header, const ReadOptions& options)
{
    const auto& spans = header.events;
    const std::size_t parts = std::max<std::size_t>(1, (spans.size() + kEventsPerPart - 1) / kEventsPerPart);
    std::vector<ParsedCalendar> read(parts);
    parallelFor(parts, [&](std::size_t part) {
        if (options.cancelled && options.cancelled->load())
            return;
        EventReader reader(text, options, header.zones.get());
        const std::size_t end = std::min(spans.size(), (part + 1) * kEventsPerPart);
        for (std::size_t i = part * kEventsPerPart; i < end; ++i)
            reader.read(spans[i].first, spans[i].second);
        read[part] = std::move(reader.result());
    });
    ParsedCalendar all = std::move(read[0]);
    std::size_t events = all.events.size();
    std::size_t occurrences = all.occurrences.size();
    qsizetype bytes = all.text.size();
    for (std::size_t part = 1; part < parts; ++part) {
        events += read[part].events.size();
        occurrences += read[part].occurrences.size();
        bytes += read[part].text.size();
    }
    all.events.reserve(events);
    all.revisions.reserve(events);
    all.occurrences.reserve(occurrences);
    all.text.reserve(bytes);
    for (std::size_t part = 1; part < parts; ++part) {
        append(all, std::move(read[part]));
        read[part] = ParsedCalendar{}; // its memory goes as soon as it is copied
    }
    return all;
}

QByteArrayView viewOf(const ParsedCalendar& calendar, TextRef ref)
{
    return QByteArrayView(calendar.text).sliced(ref.at, ref.size);
}

// Whether event `b` is a later revision than event `a`.
bool later(const ParsedCalendar& calendar, std::uint32_t a, std::uint32_t b)
{
    const Revision& ra = calendar.revisions[a];
    const Revision& rb = calendar.revisions[b];
    return std::tie(rb.sequence, rb.stamp, b) > std::tie(ra.sequence, ra.stamp, a);
}

// One event per UID, one override per occurrence: the older revisions are left out and counted.
void chooseRevisions(ParsedCalendar& calendar)
{
    std::vector<bool> superseded;
    auto supersede = [&](std::uint32_t event) {
        if (superseded.empty())
            superseded.resize(calendar.events.size());
        superseded[event] = true;
        ++calendar.skipped;
        ++calendar.dropped;
    };
    if (calendar.events.size() > 1) {
        QHash<QByteArrayView, std::uint32_t> masters;
        masters.reserve(static_cast<qsizetype>(calendar.events.size()));
        for (std::uint32_t e = 0; e < calendar.events.size(); ++e) {
            if (calendar.revisions[e].role != Revision::Role::master)
                continue;
            const auto it = masters.find(viewOf(calendar, calendar.events[e].uid));
            if (it == masters.end()) {
                masters.insert(viewOf(calendar, calendar.events[e].uid), e);
                continue;
            }
            const bool newer = later(calendar, *it, e);
            supersede(newer ? *it : e);
            if (newer)
                *it = e;
        }
    }
    if (calendar.overrides.size() > 1) {
        // Keyed by UID and the occurrence named: its date when written as a date, else its instant.
        QHash<QByteArray, std::uint32_t> occurrences;
        for (const Override& o : calendar.overrides) {
            QByteArray key = viewOf(calendar, o.uid).toByteArray();
            if (o.originalIsDate)
                key.append("\nD").append(
                    QByteArray::number(daysFromCivil(o.originalDate.year, o.originalDate.month, o.originalDate.day)));
            else
                key.append("\nT").append(QByteArray::number(o.originalStart, 'f', 0));
            const auto it = occurrences.find(key);
            if (it == occurrences.end()) {
                occurrences.insert(key, o.event);
                continue;
            }
            const bool newer = later(calendar, *it, o.event);
            supersede(newer ? *it : o.event);
            if (newer)
                *it = o.event;
        }
    }
    calendar.revisions = {};
    if (superseded.empty())
        return;
    std::erase_if(calendar.occurrences, [&](const Occurrence& o) { return superseded[o.event]; });
    std::erase_if(calendar.rules, [&](const RecurringRule& r) { return superseded[r.event]; });
    std::erase_if(calendar.overrides, [&](const Override& o) { return superseded[o.event]; });
}

void addChange(RecurringRule& rule, const Override& o, ZoneContext& zones)
{
    FutureChange change;
    change.event = o.event;
    if (rule.isAllDay) {
        const CivilDate original = o.originalDate;
        change.from = zones.dayStart(original);
        change.shiftDays = static_cast<int>(daysFromCivil(o.startDate.year, o.startDate.month, o.startDate.day) -
                                            daysFromCivil(original.year, original.month, original.day));
        change.durationDays = o.isAllDay ? o.durationDays : std::max(1, int((o.durationSeconds + 86399) / 86400));
    } else {
        change.from = o.originalStart;
        change.shiftSeconds = o.start - o.originalStart;
        change.durationSeconds = o.isAllDay ? o.durationDays * 86400.0 : o.durationSeconds;
    }
    rule.futures.push_back(change);
}

// Each override takes its occurrence out of its series; a THISANDFUTURE one moves the rest too.
void applyOverrides(ParsedCalendar& calendar, ZoneContext& zones)
{
    QHash<QByteArrayView, std::vector<std::size_t>> series;
    for (std::size_t r = 0; r < calendar.rules.size(); ++r) {
        const TextRef uid = calendar.events[calendar.rules[r].event].uid;
        if (uid.present())
            series[viewOf(calendar, uid)].push_back(r);
    }
    for (const Override& o : calendar.overrides) {
        const auto it = series.constFind(viewOf(calendar, o.uid));
        if (it == series.constEnd())
            continue;
        for (std::size_t r : *it) {
            RecurringRule& rule = calendar.rules[r];
            // A series and its override of different kinds meet by date.
            if (rule.isAllDay || o.originalIsDate)
                rule.excludedDates.push_back(o.originalDate);
            else
                rule.excludedStarts.push_back(o.originalStart);
            if (o.thisAndFuture)
                addChange(rule, o, zones);
        }
    }
    for (RecurringRule& rule : calendar.rules) {
        std::stable_sort(
            rule.futures.begin(), rule.futures.end(), [](const auto& a, const auto& b) { return a.from < b.from; });
        for (const FutureChange& f : rule.futures) {
            const double shift = rule.isAllDay ? f.shiftDays * 86400.0 - 7200 : f.shiftSeconds;
            rule.firstStart = std::min(rule.firstStart, f.from + std::min(0.0, shift));
        }
    }
}

// Expands every rule over the window; a rule that cannot be is dropped and counted.
void expandAtLoad(ParsedCalendar& calendar, const CalendarText& header, const ReadOptions& options)
{
    WorkBudget budget(options.fileSteps);
    const std::size_t count = calendar.rules.size();
    std::vector<std::optional<Expansion>> expanded(count);
    const std::size_t parts = (count + kRulesPerPart - 1) / kRulesPerPart;
    parallelFor(parts, [&](std::size_t part) {
        ZoneContext zones(header.zones.get(), options.floating);
        for (std::size_t r = part * kRulesPerPart; r < std::min(count, (part + 1) * kRulesPerPart); ++r) {
            const bool cancelled = options.cancelled && options.cancelled->load();
            const std::int64_t steps = cancelled ? 0 : budget.available(options.ruleSteps);
            if (steps > 0)
                expanded[r] = expandWith(calendar.rules[r], zones, options.window, steps);
            budget.spend(expanded[r] ? expanded[r]->steps : steps);
        }
    });
    std::vector<RecurringRule> kept;
    kept.reserve(count);
    for (std::size_t r = 0; r < count; ++r) {
        if (!expanded[r]) {
            ++calendar.skipped;
            ++calendar.dropped;
            continue;
        }
        calendar.rules[r].lastStart = expanded[r]->lastStart;
        // Only those starting in the window: one that starts before belongs to an earlier stretch and is
        // found when that stretch is expanded, so no occurrence is counted twice.
        for (const Occurrence& o : expanded[r]->occurrences) {
            if (o.start >= options.window.start.seconds)
                calendar.occurrences.push_back(o);
        }
        kept.push_back(std::move(calendar.rules[r]));
    }
    calendar.rules = std::move(kept);
}

} // namespace

std::optional<QString> ParsedCalendar::string(TextRef ref) const
{
    if (!ref.present())
        return std::nullopt;
    return QString::fromUtf8(text.constData() + ref.at, ref.size);
}

ParsedCalendar readCalendar(QByteArrayView text, const ReadOptions& options, CalendarText* header)
{
    CalendarText scanned = scanCalendar(text);
    ParsedCalendar calendar = readEvents(text, scanned, options);
    calendar.skipped += scanned.skipped;
    if (scanned.zones)
        calendar.skipped += scanned.zones->unreadable();
    chooseRevisions(calendar);
    ZoneContext zones(scanned.zones.get(), options.floating);
    applyOverrides(calendar, zones);
    expandAtLoad(calendar, scanned, options);
    // By start, then by place in the file: with equal starts, the order of the file.
    std::sort(calendar.occurrences.begin(), calendar.occurrences.end(), [](const Occurrence& a, const Occurrence& b) {
        return std::tie(a.start, a.event) < std::tie(b.start, b.event);
    });
    calendar.text.squeeze();
    calendar.events.shrink_to_fit();
    calendar.occurrences.shrink_to_fit();
    if (header)
        *header = std::move(scanned);
    return calendar;
}

} // namespace kalvix::ical

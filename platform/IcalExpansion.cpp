#include "platform/IcalExpansion.h"

#include "platform/IcalReader.h"
#include "platform/IcalValues.h"
#include "platform/IcalZones.h"

#include <algorithm>
#include <limits>

namespace kalvix::ical {

std::optional<std::vector<Occurrence>>
expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, double* lastStart)
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
        const auto expanded = expandWith(rule, *context, range, &last);
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
    return expandWith(rule, context, range);
}

} // namespace kalvix::ical

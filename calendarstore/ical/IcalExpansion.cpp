#include "calendarstore/ical/IcalExpansion.h"

#include "calendarstore/ical/IcalZones.h"
#include "calendarstore/ical/RecurrenceRule.h"
#include "time/CivilDays.h"

#include <algorithm>
#include <limits>

namespace kalvix::ical {
namespace {

constexpr double kDstSlack = 7200; // an all-day occurrence may be this much longer across a DST change

bool overlaps(double start, double end, Interval range)
{
    return start < range.end.seconds && (end > range.start.seconds || (start == end && start >= range.start.seconds));
}

double shiftOf(const RecurringRule& rule, const FutureChange& f)
{
    return rule.isAllDay ? f.shiftDays * 86400.0 : f.shiftSeconds;
}

// How much earlier than its original start a THISANDFUTURE override can move an occurrence.
double reachAhead(const RecurringRule& rule)
{
    double reach = 0;
    for (const FutureChange& f : rule.futures)
        reach = std::max(reach, -shiftOf(rule, f) + (rule.isAllDay ? kDstSlack : 0));
    return reach;
}

// How much later than its original start a THISANDFUTURE override can move an occurrence.
double reachBehind(const RecurringRule& rule)
{
    double reach = 0;
    for (const FutureChange& f : rule.futures)
        reach = std::max(reach, shiftOf(rule, f) + (rule.isAllDay ? kDstSlack : 0));
    return reach;
}

class Expander {
public:
    Expander(const RecurringRule& rule, ZoneContext& zones, Interval range, std::int64_t steps)
        : m_rule(rule)
        , m_zones(zones)
        , m_range(range)
        , m_steps(steps)
        , m_ahead(reachAhead(rule))
        , m_behind(reachBehind(rule))
    {
    }

    std::optional<Expansion> run()
    {
        offer(m_rule.start, -1);
        for (const ExtraStart& extra : m_rule.extraStarts) {
            offer(m_rule.isAllDay ? WallTime{m_zones.floatingDate(extra.start), {}}
                                  : m_zones.toWall(extra.start, m_rule.zone),
                  extra.length);
        }
        for (const QByteArray& text : m_rule.rules) {
            const auto parsed = RecurrenceRule::parse(text);
            if (!parsed || !runRule(*parsed))
                return std::nullopt;
        }
        auto& out = m_result.occurrences;
        if (m_tooMany || static_cast<int>(out.size()) > kMaxOccurrencesPerRule)
            return std::nullopt;
        std::sort(out.begin(), out.end(), [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
        out.erase(std::unique(out.begin(),
                              out.end(),
                              [](const Occurrence& a, const Occurrence& b) { return a.start == b.start; }),
                  out.end());
        m_result.lastStart = m_ranOut ? m_latest : kUnknownLastStart;
        return std::move(m_result);
    }

private:
    std::optional<WallTime> untilOf(const RecurrenceRule& parsed)
    {
        if (!parsed.until)
            return std::nullopt;
        // Compare UNTIL in the event's own wall-clock time.
        WallTime until = *parsed.until;
        if (parsed.untilIsUtc && !m_rule.isAllDay && m_rule.zone.kind != ZoneRef::Kind::utc)
            until = m_zones.toWall(static_cast<double>(wallSeconds(until)), m_rule.zone);
        else if (parsed.untilIsDate && !m_rule.isAllDay)
            until.time = CivilTime{23, 59, 59};
        return until;
    }

    // False when the rule cannot be followed within the budget.
    bool runRule(const RecurrenceRule& parsed)
    {
        RecurrenceIterator it(parsed, m_rule.start, m_rule.isAllDay, untilOf(parsed));
        it.setBudget(m_steps);
        if (!parsed.count) {
            // Without COUNT the iteration may begin near the range instead of at DTSTART.
            const double back = lengthBound(m_rule) + 2 * 86400.0;
            const WallTime from = m_zones.toWall(m_range.start.seconds - back, m_rule.zone);
            if (wallSeconds(from) > wallSeconds(m_rule.start)) {
                it.skipTo(from);
                m_latest = std::max(m_latest, m_range.start.seconds); // later than any start passed over
            }
        }
        bool ended = false;
        while (!m_tooMany) {
            const auto w = it.next();
            if (!w) {
                ended = !it.outOfBudget();
                break;
            }
            if (!offer(*w, -1))
                break;
        }
        m_result.steps += m_steps - it.budgetLeft();
        m_steps = it.budgetLeft();
        m_ranOut = m_ranOut && ended;
        return !it.outOfBudget();
    }

    const FutureChange* futureFor(double original) const
    {
        const FutureChange* found = nullptr;
        for (const FutureChange& f : m_rule.futures) {
            if (f.from <= original)
                found = &f;
        }
        return found;
    }

    bool excluded(const WallTime& w, double original) const
    {
        const auto& starts = m_rule.excludedStarts;
        const auto& dates = m_rule.excludedDates;
        return std::find(starts.begin(), starts.end(), original) != starts.end() ||
               std::find(dates.begin(), dates.end(), w.date) != dates.end();
    }

    // Adds the occurrence that begins at `w` when it is not excluded and overlaps the range; false
    // once the rule's occurrences lie past the range.
    bool offer(const WallTime& w, double ownLength)
    {
        const double original = m_rule.isAllDay ? m_zones.dayStart(w.date) : m_zones.toInstant(w, m_rule.zone);
        m_latest = std::max(m_latest, original + m_behind);
        if (original >= m_range.end.seconds + m_ahead)
            return false;
        Occurrence o{original, original, m_rule.event};
        if (const FutureChange* f = futureFor(original)) {
            o.event = f->event;
            if (m_rule.isAllDay) {
                const CivilDate day = addDays(w.date, f->shiftDays);
                o.start = m_zones.dayStart(day);
                o.end = m_zones.dayStart(addDays(day, f->durationDays));
            } else {
                o.start = original + f->shiftSeconds;
                o.end = o.start + f->durationSeconds;
            }
        } else if (m_rule.isAllDay) {
            o.end = m_zones.dayStart(addDays(w.date, m_rule.durationDays));
        } else {
            o.end = o.start + (ownLength >= 0 ? ownLength : m_rule.durationSeconds);
        }
        if (!excluded(w, original) && overlaps(o.start, o.end, m_range)) {
            m_result.occurrences.push_back(o);
            m_tooMany = static_cast<int>(m_result.occurrences.size()) > 2 * kMaxOccurrencesPerRule;
        }
        return true;
    }

    const RecurringRule& m_rule;
    ZoneContext& m_zones;
    Interval m_range;
    std::int64_t m_steps;
    double m_ahead;  // how much earlier than its original start an occurrence may start
    double m_behind; // how much later
    double m_latest = -std::numeric_limits<double>::infinity();
    bool m_ranOut = true;
    bool m_tooMany = false;
    Expansion m_result;
};

} // namespace

std::optional<Expansion> expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, std::int64_t steps)
{
    return Expander(rule, zones, range, steps).run();
}

std::optional<std::vector<Occurrence>>
expandRule(const RecurringRule& rule, const ZoneSet* zones, Interval range, const QTimeZone& floating)
{
    ZoneContext context(zones, floating);
    auto expanded = expandWith(rule, context, range, kRuleSteps);
    if (!expanded)
        return std::nullopt;
    return std::move(expanded->occurrences);
}

double lengthBound(const RecurringRule& rule)
{
    auto lengthOf = [&](double seconds, int days) { return rule.isAllDay ? days * 86400.0 + kDstSlack : seconds; };
    double length = lengthOf(rule.durationSeconds, rule.durationDays);
    for (const ExtraStart& extra : rule.extraStarts)
        length = std::max(length, extra.length);
    for (const FutureChange& f : rule.futures)
        length = std::max(length, lengthOf(f.durationSeconds, f.durationDays));
    return length + reachBehind(rule);
}

void expandRulesStartingIn(const std::vector<RecurringRule>& rules,
                           const std::vector<std::uint32_t>& which,
                           std::span<double> lastStarts,
                           const ZoneSet* zones,
                           Interval range,
                           const QTimeZone& floating,
                           std::vector<Occurrence>& out)
{
    std::optional<ZoneContext> context; // built on first need: most rules of a far range are over
    for (std::size_t k = 0; k < which.size(); ++k) {
        const RecurringRule& rule = rules[which[k]];
        if (rule.firstStart >= range.end.seconds || lastStarts[k] < range.start.seconds)
            continue;
        if (!context)
            context.emplace(zones, floating);
        const auto expanded = expandWith(rule, *context, range, kRuleSteps);
        if (!expanded)
            continue;
        lastStarts[k] = std::min(lastStarts[k], expanded->lastStart);
        for (const Occurrence& o : expanded->occurrences) {
            if (o.start >= range.start.seconds)
                out.push_back(o);
        }
    }
}

} // namespace kalvix::ical

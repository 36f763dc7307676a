#pragma once
// Expanding recurring events: DTSTART, RRULE and RDATE occurrences in the event's wall-clock time,
// less EXDATEs and overridden occurrences, with the series moved from each THISANDFUTURE override on,
// over any interval.
#include "calendarstore/ical/IcalRecords.h"

#include <optional>
#include <span>
#include <vector>

namespace kalvix::ical {

class ZoneContext;

struct Expansion {
    std::vector<Occurrence> occurrences; // overlapping the range, by start
    // The rule's last start when every RRULE ran to its end, else kUnknownLastStart.
    double lastStart = kUnknownLastStart;
    std::int64_t steps = 0; // work done
};

// Nothing when the rule cannot be expanded over the range within `steps` of work, or would give
// more than kMaxOccurrencesPerRule occurrences.
std::optional<Expansion> expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, std::int64_t steps);

// As expandWith, with the zones of one file and a budget for one rule.
std::optional<std::vector<Occurrence>>
expandRule(const RecurringRule& rule, const ZoneSet* zones, Interval range, const QTimeZone& floating);

// How far an occurrence of the rule can reach past its own start (its longest length, all-day ones
// an hour longer across a DST change, plus the furthest a THISANDFUTURE override moves it ahead).
double lengthBound(const RecurringRule& rule);

// Appends to `out` the occurrences that start within [range.start, range.end) of the rules `which`
// (indices into `rules`, all of one file with its `zones`). Expanding adjacent ranges this way gives
// every occurrence exactly once. Rules that cannot be expanded add nothing. `lastStarts` (one per
// entry of `which`, at first each rule's lastStart) skips rules that are over before the range and
// learns where a rule ends when an expansion runs it to its end.
void expandRulesStartingIn(const std::vector<RecurringRule>& rules,
                           const std::vector<std::uint32_t>& which,
                           std::span<double> lastStarts,
                           const ZoneSet* zones,
                           Interval range,
                           const QTimeZone& floating,
                           std::vector<Occurrence>& out);

inline constexpr std::int64_t kRuleSteps = 2000000; // one rule's budget in one expansion

} // namespace kalvix::ical

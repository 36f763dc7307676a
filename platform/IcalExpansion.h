#pragma once
// Expanding recurring events: RRULE and RDATE occurrences in the event's wall-clock time, less EXDATE
// and overridden ones, over any interval; libical iterates the rules.
#include "platform/IcalRecords.h"

#include <optional>
#include <span>
#include <vector>

namespace kalvix::ical {

class ZoneContext;

// Occurrences of one rule overlapping [range.start, range.end), or nothing when the rule is bad.
// `lastStart`, when given, learns the rule's last start when every RRULE ran to its end (else
// kUnknownLastStart).
std::optional<std::vector<Occurrence>>
expandWith(const RecurringRule& rule, ZoneContext& zones, Interval range, double* lastStart = nullptr);

// As expandWith, with the zones of one file.
std::optional<std::vector<Occurrence>> expandRule(const RecurringRule& rule,
                                                  const QHash<QByteArray, QByteArray>& zones,
                                                  Interval range,
                                                  const QTimeZone& floating);

// The longest an occurrence of the rule can be, in seconds (all-day ones may gain an hour at a DST change).
double lengthBound(const RecurringRule& rule);

// Appends to `out` the occurrences that start within [range.start, range.end) of the rules `which`
// (indices into `rules`, all of one file with its `zones`). Expanding adjacent ranges this way gives
// every occurrence exactly once. Rules that cannot be expanded add nothing. `lastStarts` (one per
// entry of `which`, at first each rule's lastStart) skips rules that are over before the range and
// learns where a rule ends when an expansion runs it to its end.
void expandRulesStartingIn(const std::vector<RecurringRule>& rules,
                           const std::vector<std::uint32_t>& which,
                           std::span<double> lastStarts,
                           const QHash<QByteArray, QByteArray>& zones,
                           Interval range,
                           const QTimeZone& floating,
                           std::vector<Occurrence>& out);

} // namespace kalvix::ical

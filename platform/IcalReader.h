#pragma once
// Reading iCalendar text into compact records: the private half of IcalCalendarStore, also driven by
// the fuzz target and the benchmark. No libical type appears here; libical trees live only inside one
// call and are freed before it returns, so calls on different threads never share a tree.
//
// Times: a TZID is taken as a tz-database name when the system knows it (also behind a vendor prefix
// such as "/mozilla.org/.../Europe/London", or as a Windows zone name), else from the file's own
// VTIMEZONE, else as floating. Floating times and DATE values are read in the zone given to the
// reader (the system zone at load). Recurrences iterate in the event's wall-clock time, so a weekly
// 09:00 stays 09:00 across DST changes.
//
// Bad input is skipped per component: an event with a missing or impossible DTSTART, an unparseable
// rule, or a rule that would give more than kMaxOccurrencesPerRule occurrences in the window (or need
// more than kMaxIterationsPerRule steps) is dropped and counted; the rest of the file still reads.
#include "platform/IcalRecords.h"
#include "platform/IcalText.h"

namespace kalvix::ical {

// Reads one chunk made by splitCalendarText.
ParsedCalendar
parseChunk(const QByteArray& chunk, const QHash<QByteArray, QByteArray>& zones, const ReadOptions& options);
// Appends `part`, shifting its event indices.
// Drops the rule occurrences that an override replaces and records the overrides in the rules, so
// later expansions honour them too.
void append(ParsedCalendar& into, ParsedCalendar&& part);
void applyOverrides(ParsedCalendar& calendar);
// Everything in one call: split, parse every chunk, append and apply overrides.
ParsedCalendar readCalendar(const QByteArray& text, const ReadOptions& options, CalendarText* header = nullptr);

// libical's global settings (errors not fatal); called before any other use, idempotent.
void initialise();

} // namespace kalvix::ical

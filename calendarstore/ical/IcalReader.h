#pragma once
// Reading one calendar file's text into compact records: the private half of IcalCalendarStore, also
// driven by the fuzz target and the benchmark. Nothing here keeps a pointer into the text.
//
// Times: a TZID is taken as a tz-database name when the system knows it (also behind a vendor prefix
// such as "/mozilla.org/.../Europe/London", or as a Windows zone name), else from the file's own
// VTIMEZONE, else as floating. Floating times and DATE values are read in the zone given to the
// reader (the system zone at load). Every zone conversion uses the system tz database or the file's
// VTIMEZONE, for any year. Recurrences iterate in the event's wall-clock time, so a weekly 09:00
// stays 09:00 across DST changes.
//
// One UID is one event: of the events without a RECURRENCE-ID that share a UID (older and newer
// revisions, as calendar servers and mail clients leave them), the highest SEQUENCE is kept, then the
// latest DTSTAMP, then the last in the text; so for overrides of one occurrence. The others are left
// out and counted as skipped. Overrides belong to the UID, not to one revision of its series.
//
// Lenient readings, as mainstream readers do: a VTIMEZONE observance whose onset is a date begins at
// that date's midnight; a floating series excluded by UTC EXDATEs loses the occurrences at those
// wall-clock times. A VTIMEZONE that an event names and that cannot be read whole is counted as
// skipped (the times in one that cannot be read at all are read as floating).
//
// Overrides (RECURRENCE-ID) replace the occurrence of their series with the same UID that they name:
// by instant, or by date when the series or the RECURRENCE-ID is a date (mail clients write
// date-times for all-day series). RANGE=THISANDFUTURE moves the rest of the series as the override
// moved its own occurrence, with the override's length and title.
//
// Bad input is skipped per event and counted (see IcalScan.h and IcalEventReader.h); a rule that
// cannot be expanded within the file's work budget, or gives more than kMaxOccurrencesPerRule
// occurrences in the window, is dropped and counted. The rest of the file still reads.
#include "calendarstore/ical/IcalRecords.h"

#include <QByteArrayView>

namespace kalvix::ical {

// Reads the text, matches overrides with their series and expands the rules over the window.
// `header`, when given, receives the calendar's name, colour and zones.
ParsedCalendar readCalendar(QByteArrayView text, const ReadOptions& options, CalendarText* header = nullptr);

} // namespace kalvix::ical

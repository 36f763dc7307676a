#pragma once
// The first pass over a calendar file: where its events are, its VTIMEZONEs, and the calendar's own
// name and colour. Linear in the size of the text, whatever its shape.
//
// Components are found leniently, as mainstream readers find them: with or without a VCALENDAR
// around them, in nested VCALENDARs, and past damage. A component whose END is missing or misspelt
// ends where the next top-level component (VEVENT, VTODO, VJOURNAL, VFREEBUSY, VTIMEZONE, VCALENDAR)
// begins; an END that matches nothing open is passed over. An event that does not end properly, that
// nests components deeper than kMaxDepth, that holds a NUL byte, or whose properties Kalvix reads are
// longer than kMaxLineBytes, is skipped and counted; the rest of the file is still read.
#include "calendarstore/ical/IcalRecords.h"

#include <QByteArrayView>

namespace kalvix::ical {

inline constexpr int kMaxDepth = 16;

CalendarText scanCalendar(QByteArrayView text);

} // namespace kalvix::ical

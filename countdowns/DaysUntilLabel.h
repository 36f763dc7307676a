#pragma once
// The day count of a countdown row: "Today", "Tomorrow", "yesterday", "in N days", "N days ago".
//
// Days are counted as calendar dates in the user's calendar and the system zone read at each call, so a
// 23- or 25-hour day across a DST change is one day and the time of day never matters. A date or now
// outside the calendar has no day count and reads "Today". The texts are fixed English, digits plain.
#include "time/Instant.h"

#include <QString>

namespace kalvix {

class CivilCalendar;

QString daysUntilLabel(Instant date, Instant now);
// The same in a given calendar, for callers that label many rows against one zone.
QString daysUntilLabel(Instant date, Instant now, const CivilCalendar& calendar);

} // namespace kalvix

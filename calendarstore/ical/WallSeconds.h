#pragma once
// Wall-clock times as plain numbers: days since 1970-01-01 and "wall seconds", the seconds since
// 1970-01-01 00:00 of the same wall clock as if it were UTC. Proleptic Gregorian, any year.
#include "calendarstore/ical/IcalRecords.h"

#include <QtGlobal>

namespace kalvix::ical {

inline constexpr qint64 kSecondsPerDay = 86400;
// 400 Gregorian years: after them dates fall on the same weekdays again, and every rule repeats.
inline constexpr qint64 kDaysPerCycle = 146097;

qint64 daysFromCivil(qint64 year, int month, int day);
CivilDate civilFromDays(qint64 days);
qint64 wallSeconds(const WallTime& w);
WallTime fromWallSeconds(qint64 seconds);
CivilDate addDays(CivilDate date, qint64 days);
// 1 = Monday .. 7 = Sunday.
int weekdayOfDay(qint64 days);
bool isLeapYear(qint64 year);
int daysInMonth(qint64 year, int month);
// Months in UTC, counted from January 1970 (negative before).
int utcMonthOf(double seconds);
double utcMonthStart(int month);
// Floor division and the matching remainder, for negative numbers too.
qint64 floorDiv(qint64 a, qint64 b);
qint64 floorMod(qint64 a, qint64 b);

} // namespace kalvix::ical

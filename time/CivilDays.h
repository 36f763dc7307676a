#pragma once
// Civil dates and wall-clock times as plain numbers, with no zone: the proleptic Gregorian calendar,
// days counted from 1970-01-01 and "wall seconds", the seconds since 1970-01-01 00:00 of a wall clock
// as if it were UTC.
//
// Years are astronomical, as ISO 8601 and iCalendar count them: year 0 is the year before 1 (1 BC),
// and -1 the year before that. Every CivilDate in Kalvix holds its year so.
#include <QtGlobal>

#include <optional>

namespace kalvix {

struct CivilDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    // The date n days later (earlier for negative n); nothing for a date that is not in the calendar.
    std::optional<CivilDate> plusDays(int n) const;
    friend constexpr auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

struct CivilTime {
    int hour = 0; // 0..23
    int minute = 0;
    int second = 0;
    friend constexpr bool operator==(const CivilTime&, const CivilTime&) = default;
};

// A date and a time on one wall clock, without its zone.
struct WallTime {
    CivilDate date;
    CivilTime time;
};

inline constexpr qint64 kSecondsPerDay = 86400;
// 400 Gregorian years: after them dates fall on the same weekdays again, and every rule repeats.
inline constexpr qint64 kDaysPerCycle = 146097;
// The years a date may have: far wider than any calendar needs, narrow enough that no sum overflows.
inline constexpr int kMaxCivilYear = 1000000;

// Floor division and the matching remainder, for negative numbers too.
qint64 floorDiv(qint64 a, qint64 b);
qint64 floorMod(qint64 a, qint64 b);

bool isLeapYear(qint64 year);
int daysInMonth(qint64 year, int month);
// Whether the date is in the calendar and within ±kMaxCivilYear.
bool isValidDate(CivilDate date);
bool isClockTime(CivilTime time);

// Day numbers: 0 is 1970-01-01. daysFromCivil takes any fields (a day past the month's end runs on);
// dayNumber checks the date first.
qint64 daysFromCivil(qint64 year, int month, int day);
std::optional<qint64> dayNumber(CivilDate date);
CivilDate civilFromDays(qint64 days);
CivilDate addDays(CivilDate date, qint64 days);
// 1 = Monday .. 7 = Sunday.
int weekdayOfDay(qint64 days);
// 1 for 1 January.
int dayOfYear(CivilDate date);

qint64 wallSeconds(const WallTime& w);
WallTime fromWallSeconds(qint64 seconds);

// Months in UTC, counted from January 1970 (negative before).
int utcMonthOf(double seconds);
double utcMonthStart(int month);

} // namespace kalvix

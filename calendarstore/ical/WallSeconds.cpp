#include "calendarstore/ical/WallSeconds.h"

#include <cmath>

namespace kalvix::ical {

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

qint64 floorMod(qint64 a, qint64 b)
{
    return a - floorDiv(a, b) * b;
}

// Howard Hinnant's days_from_civil and civil_from_days.
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = floorDiv(year, 400);
    const qint64 yoe = year - era * 400;
    const qint64 doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * kDaysPerCycle + doe - 719468;
}

CivilDate civilFromDays(qint64 days)
{
    days += 719468;
    const qint64 era = floorDiv(days, kDaysPerCycle);
    const qint64 doe = days - era * kDaysPerCycle;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate{static_cast<int>(yoe + era * 400 + (month <= 2)), month, day};
}

qint64 wallSeconds(const WallTime& w)
{
    return daysFromCivil(w.date.year, w.date.month, w.date.day) * kSecondsPerDay + w.time.hour * 3600 +
           w.time.minute * 60 + w.time.second;
}

WallTime fromWallSeconds(qint64 seconds)
{
    const qint64 days = floorDiv(seconds, kSecondsPerDay);
    const auto rest = static_cast<int>(seconds - days * kSecondsPerDay);
    return WallTime{civilFromDays(days), CivilTime{rest / 3600, rest / 60 % 60, rest % 60}};
}

CivilDate addDays(CivilDate date, qint64 days)
{
    return civilFromDays(daysFromCivil(date.year, date.month, date.day) + days);
}

int weekdayOfDay(qint64 days)
{
    return static_cast<int>(floorMod(days + 3, 7)) + 1; // 1970-01-01 was a Thursday
}

bool isLeapYear(qint64 year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(qint64 year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

int utcMonthOf(double seconds)
{
    const CivilDate d = civilFromDays(floorDiv(static_cast<qint64>(std::floor(seconds)), kSecondsPerDay));
    return (d.year - 1970) * 12 + d.month - 1;
}

double utcMonthStart(int month)
{
    return static_cast<double>(daysFromCivil(1970 + floorDiv(month, 12), static_cast<int>(floorMod(month, 12)) + 1, 1) *
                               kSecondsPerDay);
}

} // namespace kalvix::ical

#include "time/CivilDays.h"

#include <cmath>

namespace kalvix {

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

qint64 floorMod(qint64 a, qint64 b)
{
    return a - floorDiv(a, b) * b;
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

bool isValidDate(CivilDate date)
{
    return date.year >= -kMaxCivilYear && date.year <= kMaxCivilYear && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

bool isClockTime(CivilTime t)
{
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

// Howard Hinnant's days_from_civil and civil_from_days: exact for every date an Instant can hold, and
// free of QDate's repeated splitting of a Julian day into its parts (the hot path of every conversion).
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = floorDiv(year, 400);
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysPerCycle + dayOfEra - 719468;
}

std::optional<qint64> dayNumber(CivilDate date)
{
    if (!isValidDate(date))
        return std::nullopt;
    return daysFromCivil(date.year, date.month, date.day);
}

CivilDate civilFromDays(qint64 days)
{
    days += 719468;
    const qint64 era = floorDiv(days, kDaysPerCycle);
    const qint64 dayOfEra = days - era * kDaysPerCycle;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate{static_cast<int>(yearOfEra + era * 400 + (month <= 2)), month, day};
}

CivilDate addDays(CivilDate date, qint64 days)
{
    return civilFromDays(daysFromCivil(date.year, date.month, date.day) + days);
}

std::optional<CivilDate> CivilDate::plusDays(int n) const
{
    const auto d = dayNumber(*this);
    if (!d)
        return std::nullopt;
    const CivilDate result = civilFromDays(*d + n);
    if (!isValidDate(result))
        return std::nullopt;
    return result;
}

int weekdayOfDay(qint64 days)
{
    return static_cast<int>(floorMod(days + 3, 7)) + 1; // 1970-01-01 was a Thursday
}

int dayOfYear(CivilDate date)
{
    return static_cast<int>(daysFromCivil(date.year, date.month, date.day) - daysFromCivil(date.year, 1, 1)) + 1;
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

} // namespace kalvix

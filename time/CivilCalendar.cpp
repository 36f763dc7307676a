#include "time/CivilCalendar.h"

#include "time/SystemZone.h"
#include "time/ZoneRules.h"

#include <algorithm>
#include <cmath>

namespace kalvix {
namespace {

constexpr qint64 kSecondsPerDay = 86400;

// Local days and seconds are counted from 1970-01-01 00:00 on the zone's clock, as instants are in UTC.
qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// Proleptic Gregorian dates numbered as QDate numbers them: no year 0, the year before 1 is -1.
int astronomical(int year)
{
    return year < 0 ? year + 1 : year;
}

bool isLeap(int year)
{
    const int y = astronomical(year);
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

int daysIn(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// Howard Hinnant's days_from_civil and civil_from_days: exact for every date an Instant can hold, and
// free of QDate's repeated splitting of a Julian day into its parts (the hot path of every conversion).
std::optional<qint64> dayOf(CivilDate date)
{
    if (date.year == 0 || date.year < -1000000 || date.year > 1000000 || date.month < 1 || date.month > 12 ||
        date.day < 1 || date.day > daysIn(date.year, date.month))
        return std::nullopt;
    const qint64 y = astronomical(date.year) - (date.month <= 2 ? 1 : 0);
    const qint64 era = floorDiv(y, 400);
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate dateOfDay(qint64 day)
{
    const qint64 z = day + 719468;
    const qint64 era = floorDiv(z, 146097);
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    const int dayOfMonth = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const auto year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return CivilDate{year <= 0 ? year - 1 : year, month, dayOfMonth};
}

bool isClockTime(CivilTime t)
{
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

// The same day n months later, clamped to the last day of a shorter month (31 January + 1 = 28/29 February).
std::optional<CivilDate> plusMonths(CivilDate date, int months)
{
    const qint64 index = static_cast<qint64>(astronomical(date.year)) * 12 + (date.month - 1) + months;
    const qint64 year = floorDiv(index, 12);
    if (year < -1000000 || year > 1000000)
        return std::nullopt;
    const int y = year <= 0 ? static_cast<int>(year) - 1 : static_cast<int>(year);
    const int m = static_cast<int>(index - year * 12) + 1;
    return CivilDate{y, m, std::min(date.day, daysIn(y, m))};
}

// Where a wall time lies; nothing for wall times outside the years any Instant may hold.
std::optional<platform::ZoneRules::Mapping> mapped(const platform::ZoneRules& rules, qint64 wall)
{
    if (std::abs(static_cast<double>(wall)) > Instant::kCivilLimit + kSecondsPerDay)
        return std::nullopt;
    return rules.map(wall);
}

// The fraction of a second that civil arithmetic carries through unchanged.
double fractionOf(Instant t)
{
    return t.seconds - std::floor(t.seconds);
}

} // namespace

std::optional<CivilDate> CivilDate::plusDays(int n) const
{
    const auto d = dayOf(*this);
    if (!d)
        return std::nullopt;
    const CivilDate result = dateOfDay(*d + n);
    if (!dayOf(result))
        return std::nullopt; // past the million years either side that dates are kept to
    return result;
}

CivilCalendar::CivilCalendar(QTimeZone zone)
    : m_zone(zone.isValid() ? std::move(zone) : QTimeZone::utc())
    , m_rules(platform::ZoneRules::of(m_zone))
{
}

CivilCalendar CivilCalendar::current()
{
    return CivilCalendar(platform::systemZone());
}

CivilCalendar CivilCalendar::utc()
{
    return CivilCalendar(QTimeZone::utc());
}

std::optional<qint64> CivilCalendar::wallSeconds(Instant t) const
{
    if (!t.isCivil())
        return std::nullopt;
    const auto utc = static_cast<qint64>(std::floor(t.seconds));
    return utc + m_rules->offsetAt(utc);
}

std::optional<CivilDate> CivilCalendar::dateOf(Instant t) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    return dateOfDay(floorDiv(*wall, kSecondsPerDay));
}

std::optional<CivilTime> CivilCalendar::timeOf(Instant t) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    const auto second = static_cast<int>(*wall - floorDiv(*wall, kSecondsPerDay) * kSecondsPerDay);
    return CivilTime{second / 3600, second / 60 % 60, second % 60};
}

std::optional<int> CivilCalendar::weekdayOf(Instant t) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    const qint64 fromThursday = floorDiv(*wall, kSecondsPerDay) + 3; // 1970-01-01 was a Thursday
    return static_cast<int>(fromThursday - floorDiv(fromThursday, 7) * 7) + 1;
}

std::optional<int> CivilCalendar::dayOfYear(Instant t) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    const qint64 day = floorDiv(*wall, kSecondsPerDay);
    return static_cast<int>(day - *dayOf(CivilDate{dateOfDay(day).year, 1, 1})) + 1;
}

std::optional<int> CivilCalendar::offsetAt(Instant t) const
{
    if (!t.isCivil())
        return std::nullopt;
    return m_rules->offsetAt(static_cast<qint64>(std::floor(t.seconds)));
}

std::optional<Instant> CivilCalendar::startOfDay(Instant t) const
{
    const auto date = dateOf(t);
    if (!date)
        return std::nullopt;
    return startOfDay(*date);
}

std::optional<Instant> CivilCalendar::startOfDay(CivilDate date) const
{
    const auto day = dayOf(date);
    if (!day)
        return std::nullopt;
    // The first instant whose wall time is at or after midnight: midnight itself (the earlier one when
    // it happens twice), or the end of a gap that swallows it.
    const auto m = mapped(*m_rules, *day * kSecondsPerDay);
    if (!m)
        return std::nullopt;
    return Instant{static_cast<double>(m->firstAtOrAfter)};
}

std::optional<Instant> CivilCalendar::instantOf(CivilDate date, CivilTime time) const
{
    const auto day = dayOf(date);
    if (!day || !isClockTime(time))
        return std::nullopt;
    const qint64 wall = *day * kSecondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
    const auto m = mapped(*m_rules, wall);
    if (!m)
        return std::nullopt;
    return Instant{static_cast<double>(m->instant)};
}

std::optional<Instant> CivilCalendar::addDays(Instant t, int days) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    const qint64 day = floorDiv(*wall, kSecondsPerDay);
    const qint64 secondOfDay = *wall - day * kSecondsPerDay;
    const auto m = mapped(*m_rules, (day + days) * kSecondsPerDay + secondOfDay);
    if (!m)
        return std::nullopt;
    return Instant{static_cast<double>(m->instant) + fractionOf(t)};
}

std::optional<Instant> CivilCalendar::addMonths(Instant t, int months) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    const qint64 day = floorDiv(*wall, kSecondsPerDay);
    const qint64 secondOfDay = *wall - day * kSecondsPerDay;
    const auto target = plusMonths(dateOfDay(day), months);
    if (!target)
        return std::nullopt;
    const auto m = mapped(*m_rules, *dayOf(*target) * kSecondsPerDay + secondOfDay);
    if (!m)
        return std::nullopt;
    return Instant{static_cast<double>(m->instant) + fractionOf(t)};
}

std::optional<Interval> CivilCalendar::monthInterval(Instant t) const
{
    const auto date = dateOf(t);
    if (!date)
        return std::nullopt;
    const auto next = plusMonths(CivilDate{date->year, date->month, 1}, 1);
    if (!next)
        return std::nullopt;
    auto start = startOfDay(CivilDate{date->year, date->month, 1});
    auto end = startOfDay(*next);
    if (!start || !end)
        return std::nullopt;
    return Interval{*start, *end};
}

std::optional<int> CivilCalendar::daysBetween(Instant a, Instant b) const
{
    const auto wa = wallSeconds(a);
    const auto wb = wallSeconds(b);
    if (!wa || !wb)
        return std::nullopt;
    return static_cast<int>(floorDiv(*wb, kSecondsPerDay) - floorDiv(*wa, kSecondsPerDay));
}

bool CivilCalendar::isSameDay(Instant a, Instant b) const
{
    auto days = daysBetween(a, b);
    return days && *days == 0;
}

} // namespace kalvix

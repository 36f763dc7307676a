#include "time/CivilCalendar.h"

#include "time/CivilDays.h"
#include "time/SystemZone.h"
#include "time/ZoneRules.h"

#include <algorithm>
#include <cmath>

namespace kalvix {
namespace {

// The same day n months later, clamped to the last day of a shorter month (31 January + 1 = 28/29 February).
std::optional<CivilDate> plusMonths(CivilDate date, int months)
{
    const qint64 index = static_cast<qint64>(date.year) * 12 + (date.month - 1) + months;
    const qint64 year = floorDiv(index, 12);
    if (year < -kMaxCivilYear || year > kMaxCivilYear)
        return std::nullopt;
    const auto y = static_cast<int>(year);
    const int m = static_cast<int>(index - year * 12) + 1;
    return CivilDate{y, m, std::min(date.day, daysInMonth(y, m))};
}

// Where a wall time lies; nothing for wall times outside the years any Instant may hold.
std::optional<kalvix::ZoneRules::Mapping> mapped(const kalvix::ZoneRules& rules, qint64 wall)
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

CivilCalendar::CivilCalendar(QTimeZone zone)
    : m_zone(zone.isValid() ? std::move(zone) : QTimeZone::utc())
    , m_rules(kalvix::ZoneRules::of(m_zone))
{
}

CivilCalendar CivilCalendar::current()
{
    return CivilCalendar(systemZone());
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
    return civilFromDays(floorDiv(*wall, kSecondsPerDay));
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
    return weekdayOfDay(floorDiv(*wall, kSecondsPerDay));
}

std::optional<int> CivilCalendar::dayOfYear(Instant t) const
{
    const auto wall = wallSeconds(t);
    if (!wall)
        return std::nullopt;
    return kalvix::dayOfYear(civilFromDays(floorDiv(*wall, kSecondsPerDay)));
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
    const auto day = dayNumber(date);
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
    const auto day = dayNumber(date);
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
    const auto target = plusMonths(civilFromDays(day), months);
    if (!target)
        return std::nullopt;
    const auto m = mapped(*m_rules, *dayNumber(*target) * kSecondsPerDay + secondOfDay);
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

// The days and times of one period of a rule (see RecurrenceRule.h).
#include "calendarstore/ical/RecurrenceRule.h"

#include "calendarstore/ical/RecurrenceSets.h"
#include "time/CivilDays.h"

#include <algorithm>

namespace kalvix::ical {

using namespace recurrence;

// What the BY parts look at in a day.
struct RecurrenceIterator::Day {
    qint64 number = 0; // days since 1970-01-01
    int year = 0;
    int month = 0;
    int monthDay = 0;
    int monthLength = 0;
    int yearDay = 0;
    int yearLength = 0;
    int weekday = 0;
};

void RecurrenceIterator::collectDays(std::vector<qint64>& days)
{
    switch (m_rule.frequency) {
    case Frequency::yearly: {
        // Only the months a BYMONTH names (when weeks do not decide); each month's days otherwise.
        const bool byMonthOnly = !m_rule.byMonth.empty() && m_rule.byWeekNo.empty();
        for (int month = 1; month <= 12; ++month) {
            if (!byMonthOnly || contains(m_rule.byMonth, month))
                scanMonth(m_period, month, 1, 31, days);
        }
        break;
    }
    case Frequency::monthly: {
        const int month = static_cast<int>(floorMod(m_period, 12)) + 1;
        --m_budget;
        if (m_rule.byMonth.empty() || contains(m_rule.byMonth, month))
            scanMonth(floorDiv(m_period, 12), month, 1, 31, days);
        break;
    }
    case Frequency::weekly:
        for (qint64 day = m_period; day < m_period + 7; ++day) {
            const CivilDate date = civilFromDays(day);
            scanMonth(date.year, date.month, date.day, date.day, days);
        }
        break;
    default: {
        const qint64 day = m_rule.frequency == Frequency::daily ? m_period : floorDiv(m_period, kSecondsPerDay);
        const CivilDate date = civilFromDays(day);
        scanMonth(date.year, date.month, date.day, date.day, days);
        break;
    }
    }
}

// Days `from` to `to` (clamped to the month) of one month, those the rule allows.
void RecurrenceIterator::scanMonth(qint64 year, int month, int from, int to, std::vector<qint64>& days)
{
    if (year < 1 || year > 9999)
        return;
    Day d;
    d.year = static_cast<int>(year);
    d.month = month;
    d.monthLength = daysInMonth(year, month);
    d.yearLength = isLeapYear(year) ? 366 : 365;
    const qint64 first = daysFromCivil(year, month, 1);
    const qint64 yearStart = daysFromCivil(year, 1, 1);
    to = std::min(to, d.monthLength);
    m_budget -= to - from + 1;
    for (int day = from; day <= to; ++day) {
        d.number = first + day - 1;
        d.monthDay = day;
        d.yearDay = static_cast<int>(d.number - yearStart) + 1;
        d.weekday = weekdayOfDay(d.number);
        if (dayMatches(d))
            days.push_back(d.number);
    }
}

bool RecurrenceIterator::dayMatches(const Day& d) const
{
    if (!m_rule.byMonth.empty() && !contains(m_rule.byMonth, d.month))
        return false;
    if (!m_rule.byMonthDay.empty() && !containsEither(m_rule.byMonthDay, d.monthDay, d.monthLength))
        return false;
    if (!m_rule.byYearDay.empty() && !containsEither(m_rule.byYearDay, d.yearDay, d.yearLength))
        return false;
    if (!m_rule.byWeekNo.empty() && m_rule.frequency == Frequency::yearly) {
        const auto [week, weeks] = weekNumberOf(d.number, m_rule.weekStart, d.year);
        if (!containsEither(m_rule.byWeekNo, week, weeks))
            return false;
    }
    return m_rule.byDay.empty() || byDayMatches(d);
}

bool RecurrenceIterator::byDayMatches(const Day& d) const
{
    for (const auto& [ordinal, wanted] : m_rule.byDay) {
        if (wanted != d.weekday)
            continue;
        if (ordinal == 0)
            return true;
        if (m_byDayOrdinalsByMonth) {
            if (ordinal == (d.monthDay - 1) / 7 + 1 || ordinal == -((d.monthLength - d.monthDay) / 7 + 1))
                return true;
        } else if (m_byDayOrdinalsByYear) {
            if (ordinal == (d.yearDay - 1) / 7 + 1 || ordinal == -((d.yearLength - d.yearDay) / 7 + 1))
                return true;
        } else {
            return true; // ordinals mean nothing for this frequency
        }
    }
    return false;
}

// The most starts one period can hold: a BYSETPOS beyond it on both sides never picks anything.
bool RecurrenceIterator::setPositionsReachable() const
{
    if (m_rule.bySetPos.empty())
        return true;
    auto count = [](const std::vector<int>& list) { return list.empty() ? qint64(1) : qint64(list.size()); };
    const Frequency f = m_rule.frequency;
    qint64 days = f == Frequency::yearly ? 366 : f == Frequency::monthly ? 31 : f == Frequency::weekly ? 7 : 1;
    if (!m_isDate) {
        days *=
            f == Frequency::hourly || f == Frequency::minutely || f == Frequency::secondly ? 1 : count(m_rule.byHour);
        days *= f == Frequency::minutely || f == Frequency::secondly ? 1 : count(m_rule.byMinute);
        days *= f == Frequency::secondly ? 1 : count(m_rule.bySecond);
    }
    return std::any_of(m_rule.bySetPos.begin(), m_rule.bySetPos.end(), [&](int p) { return std::abs(p) <= days; });
}

void RecurrenceIterator::collectTimes(qint64 periodWall, std::vector<int>& times) const
{
    if (m_isDate) {
        times.push_back(0);
        return;
    }
    const WallTime start = fromWallSeconds(m_start);
    const WallTime period = fromWallSeconds(periodWall);
    auto pick = [](const std::vector<int>& list, int fixed, bool fromPeriod) {
        if (fromPeriod)
            return list.empty() || contains(list, fixed) ? std::vector<int>{fixed} : std::vector<int>{};
        return list.empty() ? std::vector<int>{fixed} : list;
    };
    const Frequency f = m_rule.frequency;
    const auto hours = pick(m_rule.byHour, subDaily(f) ? period.time.hour : start.time.hour, subDaily(f));
    const bool minuteFromPeriod = f == Frequency::minutely || f == Frequency::secondly;
    const auto minutes =
        pick(m_rule.byMinute, minuteFromPeriod ? period.time.minute : start.time.minute, minuteFromPeriod);
    const bool secondFromPeriod = f == Frequency::secondly;
    const auto seconds =
        pick(m_rule.bySecond, secondFromPeriod ? period.time.second : start.time.second, secondFromPeriod);
    for (int h : hours) {
        for (int m : minutes) {
            for (int s : seconds)
                times.push_back(h * 3600 + m * 60 + std::min(s, 59));
        }
    }
}

void RecurrenceIterator::applySetPos()
{
    if (m_rule.bySetPos.empty() || m_candidates.empty())
        return;
    const auto size = static_cast<int>(m_candidates.size());
    std::vector<qint64> picked;
    for (int position : m_rule.bySetPos) {
        const int index = position > 0 ? position - 1 : size + position;
        if (index >= 0 && index < size)
            picked.push_back(m_candidates[static_cast<std::size_t>(index)]);
    }
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    m_candidates = std::move(picked);
}

} // namespace kalvix::ical

#include "platform/RecurrenceRule.h"

#include "platform/WallSeconds.h"

#include <algorithm>

namespace kalvix::ical {
namespace {

using Frequency = RecurrenceRule::Frequency;

constexpr qint64 kLastDay = 2932896;      // 9999-12-31
constexpr qint64 kMaxCandidates = 100000; // starts one period may give

bool contains(const std::vector<int>& list, int value)
{
    return std::binary_search(list.begin(), list.end(), value);
}

// A value or its negative form counted from the end (-1 is the last of `size`).
bool containsEither(const std::vector<int>& list, int value, int size)
{
    return contains(list, value) || contains(list, value - size - 1);
}

bool subDaily(Frequency f)
{
    return f == Frequency::hourly || f == Frequency::minutely || f == Frequency::secondly;
}

qint64 unitSeconds(Frequency f)
{
    return f == Frequency::hourly ? 3600 : f == Frequency::minutely ? 60 : 1;
}

qint64 weekStartOf(qint64 day, int weekStart)
{
    return day - floorMod(weekdayOfDay(day) - weekStart, 7);
}

// Week number of a day within its week-numbering year (week 1 holds 4 January), and the number of
// weeks of that year.
std::pair<int, int> weekNumberOf(qint64 day, int weekStart, int year)
{
    auto firstWeek = [&](qint64 y) { return weekStartOf(daysFromCivil(y, 1, 4), weekStart); };
    qint64 from = firstWeek(year);
    qint64 to = firstWeek(year + 1);
    if (day < from) {
        to = from;
        from = firstWeek(year - 1);
    } else if (day >= to) {
        from = to;
        to = firstWeek(year + 2);
    }
    return {static_cast<int>((weekStartOf(day, weekStart) - from) / 7 + 1), static_cast<int>((to - from) / 7)};
}

// The rule with the parts that DTSTART supplies when the rule leaves them out.
RecurrenceRule withDefaults(RecurrenceRule rule, const WallTime& start)
{
    const bool noDayParts =
        rule.byWeekNo.empty() && rule.byYearDay.empty() && rule.byMonthDay.empty() && rule.byDay.empty();
    if (noDayParts) {
        if (rule.frequency == Frequency::yearly) {
            if (rule.byMonth.empty())
                rule.byMonth = {start.date.month};
            rule.byMonthDay = {start.date.day};
        } else if (rule.frequency == Frequency::monthly) {
            rule.byMonthDay = {start.date.day};
        } else if (rule.frequency == Frequency::weekly) {
            rule.byDay = {{0, weekdayOfDay(daysFromCivil(start.date.year, start.date.month, start.date.day))}};
        }
    }
    return rule;
}

} // namespace

RecurrenceIterator::RecurrenceIterator(const RecurrenceRule& rule,
                                       WallTime start,
                                       bool isDate,
                                       std::optional<WallTime> until)
    : m_rule(withDefaults(rule, start))
    , m_start(wallSeconds(start))
    , m_isDate(isDate)
{
    if (until)
        m_until = wallSeconds(*until);
    const qint64 day = floorDiv(m_start, kSecondsPerDay);
    switch (m_rule.frequency) {
    case Frequency::yearly:
        m_period = start.date.year;
        break;
    case Frequency::monthly:
        m_period = qint64(start.date.year) * 12 + start.date.month - 1;
        break;
    case Frequency::weekly:
        m_period = weekStartOf(day, m_rule.weekStart);
        break;
    case Frequency::daily:
        m_period = day;
        break;
    default:
        m_period = floorDiv(m_start, unitSeconds(m_rule.frequency)) * unitSeconds(m_rule.frequency);
        break;
    }
    m_lastFoundDay = floorDiv(periodFloor(), kSecondsPerDay);
    const bool yearly = m_rule.frequency == Frequency::yearly && m_rule.byWeekNo.empty();
    m_byDayOrdinalsByMonth = m_rule.frequency == Frequency::monthly || (yearly && !m_rule.byMonth.empty());
    m_byDayOrdinalsByYear = yearly && m_rule.byMonth.empty();
    // A date has no time of day to repeat within.
    m_done = m_isDate && subDaily(m_rule.frequency);
}

void RecurrenceIterator::skipTo(WallTime from)
{
    if (m_rule.count)
        return;
    const qint64 target = wallSeconds(from);
    if (target <= m_start)
        return;
    const qint64 interval = m_rule.interval;
    const qint64 day = floorDiv(target, kSecondsPerDay);
    qint64 steps = 0;
    qint64 stride = 1;
    switch (m_rule.frequency) {
    case Frequency::yearly:
        steps = floorDiv(from.date.year - m_period, interval);
        break;
    case Frequency::monthly:
        steps = floorDiv(qint64(from.date.year) * 12 + from.date.month - 1 - m_period, interval);
        break;
    case Frequency::weekly:
        stride = 7;
        steps = floorDiv((weekStartOf(day, m_rule.weekStart) - m_period) / 7, interval);
        break;
    case Frequency::daily:
        steps = floorDiv(day - m_period, interval);
        break;
    default:
        stride = unitSeconds(m_rule.frequency);
        steps = floorDiv((target - m_period) / stride, interval);
        break;
    }
    if (steps > 0) {
        m_period += steps * interval * stride;
        m_lastFoundDay = floorDiv(periodFloor(), kSecondsPerDay);
        m_candidates.clear();
        m_next = 0;
    }
}

std::optional<WallTime> RecurrenceIterator::next()
{
    while (!m_done) {
        if (m_rule.count && m_produced >= *m_rule.count)
            break;
        while (m_next < m_candidates.size()) {
            const qint64 c = m_candidates[m_next++];
            if (c < m_start)
                continue; // a period holds no occurrence before DTSTART
            if (m_until && c > *m_until) {
                m_done = true;
                return std::nullopt;
            }
            ++m_produced;
            return fromWallSeconds(c);
        }
        if (outOfBudget() || !fillPeriod())
            break;
    }
    m_done = m_done || !outOfBudget();
    return std::nullopt;
}

qint64 RecurrenceIterator::periodFloor() const
{
    switch (m_rule.frequency) {
    case Frequency::yearly:
        return daysFromCivil(m_period, 1, 1) * kSecondsPerDay;
    case Frequency::monthly:
        return daysFromCivil(floorDiv(m_period, 12), static_cast<int>(floorMod(m_period, 12)) + 1, 1) * kSecondsPerDay;
    case Frequency::weekly:
    case Frequency::daily:
        return m_period * kSecondsPerDay;
    default:
        return m_period;
    }
}

bool RecurrenceIterator::fillPeriod()
{
    m_candidates.clear();
    m_next = 0;
    const qint64 floor = periodFloor();
    const qint64 floorDay = floorDiv(floor, kSecondsPerDay);
    // No match in one cycle of 400 years per interval step: the rule repeats itself from here on.
    const qint64 horizon = kDaysPerCycle * std::min<qint64>(m_rule.interval, 100000);
    if (floorDay > kLastDay || (m_until && floor > *m_until) || floorDay - m_lastFoundDay > horizon)
        return false;
    std::vector<qint64>& days = m_days;
    days.clear();
    collectDays(days);
    if (subDaily(m_rule.frequency) && skipUnmatched(days.empty(), floor))
        return true;
    std::vector<int>& times = m_times;
    times.clear();
    collectTimes(floor, times);
    const qint64 size = qint64(days.size()) * qint64(times.size());
    m_budget -= size;
    if (size > kMaxCandidates) {
        m_budget = -1;
        return false;
    }
    for (qint64 day : days) {
        for (int time : times)
            m_candidates.push_back(day * kSecondsPerDay + time);
    }
    applySetPos();
    if (!m_candidates.empty())
        m_lastFoundDay = floorDay;
    advancePeriod();
    return true;
}

// Periods of an hourly, minutely or secondly rule on a day, hour or minute that its BY parts rule out
// are passed over at once, to the first period of the next day, hour or minute.
bool RecurrenceIterator::skipUnmatched(bool dayUnmatched, qint64 floor)
{
    const WallTime at = fromWallSeconds(floor);
    qint64 unit = 0;
    if (dayUnmatched)
        unit = kSecondsPerDay;
    else if (m_rule.frequency != Frequency::hourly && !m_rule.byHour.empty() && !contains(m_rule.byHour, at.time.hour))
        unit = 3600;
    else if (m_rule.frequency == Frequency::secondly && !m_rule.byMinute.empty() &&
             !contains(m_rule.byMinute, at.time.minute))
        unit = 60;
    if (unit == 0)
        return false;
    const qint64 stride = qint64(m_rule.interval) * unitSeconds(m_rule.frequency);
    const qint64 next = (floorDiv(floor, unit) + 1) * unit;
    m_period += std::max<qint64>(1, (next - m_period + stride - 1) / stride) * stride;
    return true;
}

void RecurrenceIterator::advancePeriod()
{
    const qint64 interval = m_rule.interval;
    switch (m_rule.frequency) {
    case Frequency::weekly:
        m_period += 7 * interval;
        break;
    case Frequency::yearly:
    case Frequency::monthly:
    case Frequency::daily:
        m_period += interval;
        break;
    default:
        m_period += interval * unitSeconds(m_rule.frequency);
        break;
    }
}

void RecurrenceIterator::collectDays(std::vector<qint64>& days)
{
    qint64 from = 0;
    qint64 to = 0;
    switch (m_rule.frequency) {
    case Frequency::yearly:
        from = daysFromCivil(m_period, 1, 1);
        to = daysFromCivil(m_period + 1, 1, 1);
        break;
    case Frequency::monthly: {
        const qint64 year = floorDiv(m_period, 12);
        const int month = static_cast<int>(floorMod(m_period, 12)) + 1;
        from = daysFromCivil(year, month, 1);
        to = from + daysInMonth(year, month);
        break;
    }
    case Frequency::weekly:
        from = m_period;
        to = from + 7;
        break;
    case Frequency::daily:
        from = m_period;
        to = from + 1;
        break;
    default:
        from = floorDiv(m_period, kSecondsPerDay);
        to = from + 1;
        break;
    }
    m_budget -= to - from;
    for (qint64 day = from; day < to && day <= kLastDay; ++day) {
        if (dayMatches(day))
            days.push_back(day);
    }
}

bool RecurrenceIterator::dayMatches(qint64 day) const
{
    const CivilDate date = civilFromDays(day);
    if (!m_rule.byMonth.empty() && !contains(m_rule.byMonth, date.month))
        return false;
    const int monthLength = daysInMonth(date.year, date.month);
    if (!m_rule.byMonthDay.empty() && !containsEither(m_rule.byMonthDay, date.day, monthLength))
        return false;
    const qint64 yearStart = daysFromCivil(date.year, 1, 1);
    const int yearDay = static_cast<int>(day - yearStart) + 1;
    const int yearLength = isLeapYear(date.year) ? 366 : 365;
    if (!m_rule.byYearDay.empty() && !containsEither(m_rule.byYearDay, yearDay, yearLength))
        return false;
    if (!m_rule.byWeekNo.empty() && m_rule.frequency == Frequency::yearly) {
        const auto [week, weeks] = weekNumberOf(day, m_rule.weekStart, date.year);
        if (!containsEither(m_rule.byWeekNo, week, weeks))
            return false;
    }
    return m_rule.byDay.empty() || byDayMatches(day, date, yearDay, yearLength);
}

bool RecurrenceIterator::byDayMatches(qint64 day, const CivilDate& date, int yearDay, int yearLength) const
{
    const int weekday = weekdayOfDay(day);
    for (const auto& [ordinal, wanted] : m_rule.byDay) {
        if (wanted != weekday)
            continue;
        if (ordinal == 0)
            return true;
        if (m_byDayOrdinalsByMonth) {
            const int monthLength = daysInMonth(date.year, date.month);
            if (ordinal == (date.day - 1) / 7 + 1 || ordinal == -((monthLength - date.day) / 7 + 1))
                return true;
        } else if (m_byDayOrdinalsByYear) {
            if (ordinal == (yearDay - 1) / 7 + 1 || ordinal == -((yearLength - yearDay) / 7 + 1))
                return true;
        } else {
            return true; // ordinals mean nothing for this frequency
        }
    }
    return false;
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

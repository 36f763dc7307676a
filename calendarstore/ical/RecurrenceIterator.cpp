#include "calendarstore/ical/RecurrenceRule.h"

#include "calendarstore/ical/RecurrenceSets.h"
#include "time/CivilDays.h"

#include <algorithm>

namespace kalvix::ical {
namespace {

using namespace recurrence;

constexpr qint64 kMaxCandidates = 100000; // starts one period may give

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
    // A date has no time of day to repeat within; a set position past any period's set never matches.
    m_done = (m_isDate && subDaily(m_rule.frequency)) || !setPositionsReachable();
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

} // namespace kalvix::ical

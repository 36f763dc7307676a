#include "popover/MonthGrid.h"

namespace kalvix {
namespace {

constexpr int kWeek = 7;

} // namespace

int MonthGrid::toSundayBased(int mondayBasedWeekday)
{
    return mondayBasedWeekday % kWeek + 1;
}

QStringList MonthGrid::weekdaySymbols(const QStringList& sundayFirst, int firstWeekday)
{
    if (sundayFirst.size() != kWeek || firstWeekday < 1 || firstWeekday > kWeek)
        return sundayFirst;
    return sundayFirst.mid(firstWeekday - 1) + sundayFirst.mid(0, firstWeekday - 1);
}

int MonthGrid::leadingDays(Instant displayedMonth, int firstWeekday, const CivilCalendar& calendar)
{
    const auto month = calendar.monthInterval(displayedMonth);
    const auto weekday = month ? calendar.weekdayOf(month->start) : std::nullopt;
    if (!weekday)
        return 0;
    return (toSundayBased(*weekday) - firstWeekday + kWeek) % kWeek;
}

QList<Instant> MonthGrid::gridDays(Instant displayedMonth, int firstWeekday, const CivilCalendar& calendar)
{
    const auto month = calendar.monthInterval(displayedMonth);
    const auto date = calendar.dateOf(displayedMonth);
    if (!month || !date)
        return {};
    const int leading = leadingDays(displayedMonth, firstWeekday, calendar);
    const int days = daysInMonth(date->year, date->month);
    const int cells = (days + leading + kWeek - 1) / kWeek * kWeek;
    QList<Instant> result;
    result.reserve(cells);
    for (int i = 0; i < cells; ++i) {
        // Each day from the 1st on its own, so every entry is a local midnight across DST changes.
        const auto day = stepDays(month->start, i - leading, calendar);
        if (!day)
            return {};
        result << *day;
    }
    return result;
}

QList<DayCellState> MonthGrid::cells(const QList<Instant>& days,
                                     Instant displayedMonth,
                                     Instant now,
                                     std::optional<Instant> selectedDay,
                                     const MonthDotMap& dots,
                                     const CivilCalendar& calendar)
{
    QList<DayCellState> result;
    result.reserve(days.size());
    for (Instant day : days) {
        DayCellState cell;
        cell.day = day;
        if (const auto date = calendar.dateOf(day))
            cell.dayNumber = date->day;
        cell.inDisplayedMonth = sameMonth(day, displayedMonth, calendar);
        cell.isToday = calendar.isSameDay(day, now);
        cell.isSelected = selectedDay && calendar.isSameDay(*selectedDay, day);
        if (const auto start = calendar.startOfDay(day))
            cell.dots = dots.value(*start);
        result << cell;
    }
    return result;
}

std::optional<Instant> MonthGrid::shift(Instant month, int months, const CivilCalendar& calendar)
{
    return calendar.addMonths(month, months);
}

std::optional<Instant> MonthGrid::stepDays(Instant day, int days, const CivilCalendar& calendar)
{
    const auto date = calendar.dateOf(day);
    if (!date)
        return std::nullopt;
    const auto target = date->plusDays(days);
    if (!target)
        return std::nullopt;
    return calendar.startOfDay(*target);
}

bool MonthGrid::sameMonth(Instant a, Instant b, const CivilCalendar& calendar)
{
    const auto da = calendar.dateOf(a);
    const auto db = calendar.dateOf(b);
    return da && db && da->year == db->year && da->month == db->month;
}

} // namespace kalvix

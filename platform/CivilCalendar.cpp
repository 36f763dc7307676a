#include "platform/CivilCalendar.h"

#include "platform/SystemZone.h"

#include <QDateTime>

#include <algorithm>

namespace kalvix {
namespace {

// Qt works in milliseconds; keep the sub-millisecond rest of an instant across civil arithmetic.
double subMillis(Instant t)
{
    return t.seconds - static_cast<double>(t.toMSecs()) / 1000.0;
}

Instant fromDateTime(const QDateTime& dt)
{
    return Instant::fromMSecs(dt.toMSecsSinceEpoch());
}

QDate toQDate(CivilDate d)
{
    return QDate(d.year, d.month, d.day);
}

} // namespace

CivilCalendar::CivilCalendar(QTimeZone zone)
    : m_zone(zone.isValid() ? std::move(zone) : QTimeZone::utc())
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

namespace {
std::optional<QDateTime> local(Instant t, const QTimeZone& zone)
{
    if (!t.isCivil())
        return std::nullopt;
    QDateTime dt = QDateTime::fromMSecsSinceEpoch(t.toMSecs(), zone);
    if (!dt.isValid())
        return std::nullopt;
    return dt;
}
} // namespace

std::optional<CivilDate> CivilCalendar::dateOf(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    const QDate d = dt->date();
    return CivilDate{d.year(), d.month(), d.day()};
}

std::optional<CivilTime> CivilCalendar::timeOf(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    const QTime tm = dt->time();
    return CivilTime{tm.hour(), tm.minute(), tm.second()};
}

std::optional<int> CivilCalendar::weekdayOf(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    return dt->date().dayOfWeek();
}

std::optional<int> CivilCalendar::dayOfYear(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    return dt->date().dayOfYear();
}

std::optional<int> CivilCalendar::offsetAt(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    return dt->offsetFromUtc();
}

std::optional<Instant> CivilCalendar::startOfDay(Instant t) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    const QDateTime start = dt->date().startOfDay(m_zone);
    if (!start.isValid())
        return std::nullopt;
    return fromDateTime(start);
}

std::optional<Instant> CivilCalendar::startOfDay(CivilDate date) const
{
    const QDate d = toQDate(date);
    if (!d.isValid())
        return std::nullopt;
    const QDateTime start = d.startOfDay(m_zone);
    if (!start.isValid())
        return std::nullopt;
    return fromDateTime(start);
}

std::optional<Instant> CivilCalendar::instantOf(CivilDate date, CivilTime time) const
{
    const QDate d = toQDate(date);
    const QTime tm(time.hour, time.minute, time.second);
    if (!d.isValid() || !tm.isValid())
        return std::nullopt;
    // The wall time maps to an instant through one of the offsets in force around it; zones change
    // offset at most once within a few hours, so the offsets six hours either side are the candidates.
    const qint64 wallAsUtc = QDateTime(d, tm, QTimeZone::utc()).toSecsSinceEpoch();
    const QDateTime near = QDateTime::fromSecsSinceEpoch(wallAsUtc, QTimeZone::utc());
    const int offsetA = m_zone.offsetFromUtc(near.addSecs(-6 * 3600));
    const int offsetB = m_zone.offsetFromUtc(near.addSecs(6 * 3600));
    std::optional<qint64> best;
    for (int offset : {offsetA, offsetB}) {
        const qint64 candidate = wallAsUtc - offset;
        const QDateTime local = QDateTime::fromSecsSinceEpoch(candidate, m_zone);
        if (local.date() == d && local.time() == tm && (!best || candidate < *best))
            best = candidate; // in an overlap both match: the earlier wins
    }
    if (!best) {
        // In a gap the wall time does not exist. Count it with the offset in force before the gap
        // (the smaller one), which lands as far past the gap's end as the time lies past its start:
        // 01:30 on a spring-forward night in London becomes 02:30.
        best = wallAsUtc - std::min(offsetA, offsetB);
    }
    return Instant{static_cast<double>(*best)};
}

std::optional<Instant> CivilCalendar::addDays(Instant t, int days) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    const QDate target = dt->date().addDays(days);
    const QTime tm = dt->time();
    auto result = instantOf(CivilDate{target.year(), target.month(), target.day()},
                            CivilTime{tm.hour(), tm.minute(), tm.second()});
    if (!result)
        return std::nullopt;
    return *result + (static_cast<double>(tm.msec()) / 1000.0 + subMillis(t));
}

std::optional<Instant> CivilCalendar::addMonths(Instant t, int months) const
{
    auto dt = local(t, m_zone);
    if (!dt)
        return std::nullopt;
    const QDate target = dt->date().addMonths(months); // clamps 31 Jan + 1 month to 28/29 Feb
    const QTime tm = dt->time();
    auto result = instantOf(CivilDate{target.year(), target.month(), target.day()},
                            CivilTime{tm.hour(), tm.minute(), tm.second()});
    if (!result)
        return std::nullopt;
    return *result + (static_cast<double>(tm.msec()) / 1000.0 + subMillis(t));
}

std::optional<Interval> CivilCalendar::monthInterval(Instant t) const
{
    auto date = dateOf(t);
    if (!date)
        return std::nullopt;
    const QDate first(date->year, date->month, 1);
    const QDate next = first.addMonths(1);
    auto start = startOfDay(CivilDate{first.year(), first.month(), 1});
    auto end = startOfDay(CivilDate{next.year(), next.month(), 1});
    if (!start || !end)
        return std::nullopt;
    return Interval{*start, *end};
}

std::optional<int> CivilCalendar::daysBetween(Instant a, Instant b) const
{
    auto da = local(a, m_zone);
    auto db = local(b, m_zone);
    if (!da || !db)
        return std::nullopt;
    return static_cast<int>(da->date().daysTo(db->date()));
}

bool CivilCalendar::isSameDay(Instant a, Instant b) const
{
    auto days = daysBetween(a, b);
    return days && *days == 0;
}

} // namespace kalvix

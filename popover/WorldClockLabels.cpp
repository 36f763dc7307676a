#include "popover/WorldClockLabels.h"

#include "time/CivilCalendar.h"
#include "time/DateFormat.h"
#include "time/SystemZone.h"

namespace kalvix {
namespace {

// The pattern for a skeleton, with a fallback when the locale data has none.
QString patternFor(const QString& skeleton, const QString& localeId, const QString& fallback)
{
    const QString pattern = bestPattern(skeleton, localeId);
    return pattern.isEmpty() ? fallback : pattern;
}

} // namespace

QTimeZone cityZone(const City& city)
{
    return zoneOrSystem(city.timeZoneID.toUtf8());
}

RelativeDay relativeDay(Instant now, const QTimeZone& zone, const CivilCalendar& local)
{
    const std::optional<CivilDate> here = local.dateOf(now);
    const std::optional<CivilDate> there = CivilCalendar(zone).dateOf(now);
    if (!here || !there || *here == *there)
        return RelativeDay::today;
    // Days start in date order, so comparing the dates is comparing the days' first instants.
    return *there > *here ? RelativeDay::tomorrow : RelativeDay::yesterday;
}

QString dayLabel(RelativeDay day)
{
    switch (day) {
    case RelativeDay::today:
        return QStringLiteral("Today");
    case RelativeDay::tomorrow:
        return QStringLiteral("Tomorrow");
    case RelativeDay::yesterday:
        return QStringLiteral("Yesterday");
    }
    return QStringLiteral("Today");
}

QString worldTimeString(Instant now, const QTimeZone& zone, const QString& localeId)
{
    const QString pattern = patternFor(QStringLiteral("jmm"), localeId, QStringLiteral("HH:mm"));
    return DateFormatter::cached(pattern, localeId).format(now, zone);
}

QString worldFullDate(Instant now, const QTimeZone& zone, const QString& localeId)
{
    const QString pattern = patternFor(QStringLiteral("yMMMMEEEEd"), localeId, QStringLiteral("EEEE d MMMM y"));
    return DateFormatter::cached(pattern, localeId).format(now, zone);
}

QString worldClockAccessibleName(const QString& cityName, const QString& time, RelativeDay day)
{
    return cityName + QStringLiteral(", ") + time + QStringLiteral(", ") + dayLabel(day).toLower();
}

} // namespace kalvix

#include "calendar/EventLabels.h"

#include "time/CivilCalendar.h"
#include "time/DateFormat.h"
#include "time/SystemZone.h"

#include <QHash>

#include <cmath>

namespace kalvix {
namespace {

enum class Style { weekday, dayMonth, shortTime };

// Patterns per locale and style, kept because asking ICU's pattern generator is slow and labels are
// drawn every second.
QString patternFor(Style style, const QString& localeId)
{
    thread_local QHash<QString, QString> cache;
    const QString key = QString::number(static_cast<int>(style)) + localeId;
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QString pattern;
    switch (style) {
    case Style::weekday:
        pattern = QStringLiteral("EEEE");
        break;
    case Style::dayMonth:
        pattern = bestPattern(QStringLiteral("dMMM"), localeId);
        if (pattern.isEmpty())
            pattern = QStringLiteral("d MMM");
        break;
    case Style::shortTime:
        pattern = shortTimePattern(localeId);
        if (pattern.isEmpty())
            pattern = QStringLiteral("HH:mm");
        break;
    }
    cache.insert(key, pattern);
    return pattern;
}

QString format(Instant t, Style style, const QTimeZone& zone)
{
    const QString localeId = currentLocaleId();
    return DateFormatter::cached(patternFor(style, localeId), localeId).format(t, zone);
}

QString inMinutes(double seconds)
{
    double truncated = std::trunc(seconds / 60.0);
    if (!(truncated >= 1.0))
        truncated = 1.0; // zero, negative and NaN alike
    const auto minutes = static_cast<qint64>(std::min(truncated, 1e15));
    QString text = QStringLiteral("in ");
    if (minutes >= 60)
        text += QString::number(minutes / 60) + QStringLiteral("h ");
    return text + QString::number(minutes % 60) + QLatin1Char('m');
}

} // namespace

QString relativeLabel(const DayEvent& event, Instant now)
{
    if (event.start <= now && now < event.end)
        return QStringLiteral("Now");

    const CivilCalendar calendar = CivilCalendar::current();
    const bool sameDay = calendar.isSameDay(event.start, now);
    if (event.isAllDay && sameDay)
        return QStringLiteral("Today");
    if (sameDay)
        return inMinutes(event.start - now);

    const auto days = calendar.daysBetween(now, event.start);
    if (days == 1)
        return QStringLiteral("Tomorrow");
    if (!days || *days < 7)
        return format(event.start, Style::weekday, calendar.zone());
    return format(event.start, Style::dayMonth, calendar.zone());
}

QString timeRangeLabel(const DayEvent& event)
{
    if (event.isAllDay)
        return QStringLiteral("All day");
    const QTimeZone zone = systemZone();
    return format(event.start, Style::shortTime, zone) + u" \u2013 " + format(event.end, Style::shortTime, zone);
}

QStringList eventDetails(const DayEvent& event)
{
    const QTimeZone zone = systemZone();
    const QString comma = QStringLiteral(", ");
    auto day = [&](Instant t) { return QString(format(t, Style::weekday, zone) + comma + dayMonthLabel(t)); };
    // An all-day event ends at the start of the day after its last.
    const Instant last = event.isAllDay ? Instant{event.end.seconds - 1} : event.end;
    QString when = day(event.start);
    if (event.isAllDay && CivilCalendar(zone).daysBetween(event.start, last).value_or(0) > 0)
        when += QStringLiteral(" \u2013 ") + day(last);
    when += comma + timeRangeLabel(event);
    QStringList lines{event.title, when};
    if (!event.calendar.isEmpty())
        lines << event.calendar;
    return lines;
}

QString dayTitle(Instant day, Instant now)
{
    const CivilCalendar calendar = CivilCalendar::current();
    const auto days = calendar.daysBetween(now, day);
    if (days == 0)
        return QStringLiteral("Today");
    if (days == 1)
        return QStringLiteral("Tomorrow");
    return format(day, Style::weekday, calendar.zone());
}

QString dayMonthLabel(Instant day)
{
    return format(day, Style::dayMonth, systemZone());
}

} // namespace kalvix

#include "calendar/DayEvent.h"

#include "time/CivilDays.h"

#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalvix {

QString DayEvent::utcStamp(Instant t)
{
    const double clamped =
        std::isfinite(t.seconds) ? std::clamp(t.seconds, -Instant::kCivilLimit, Instant::kCivilLimit) : 0.0;
    const auto secs = static_cast<qint64>(std::floor(clamped));
    const WallTime wall = fromWallSeconds(secs);
    char buf[64];
    std::snprintf(buf,
                  sizeof buf,
                  "%04d-%02d-%02d %02d:%02d:%02d +0000",
                  wall.date.year,
                  wall.date.month,
                  wall.date.day,
                  wall.time.hour,
                  wall.time.minute,
                  wall.time.second);
    return QString::fromLatin1(buf);
}

DayEvent DayEvent::fromOccurrence(const CalendarOccurrence& occurrence)
{
    const QString identifier =
        occurrence.identifier ? *occurrence.identifier : QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return DayEvent{identifier + utcStamp(occurrence.start),
                    occurrence.title ? *occurrence.title : QStringLiteral("Untitled"),
                    occurrence.start,
                    occurrence.end,
                    occurrence.isAllDay,
                    occurrence.color,
                    occurrence.calendar};
}

} // namespace kalvix

#include "calendar/DayEvent.h"

#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalvix {
namespace {

// Gregorian date of a count of days since 1970-01-01 (Howard Hinnant's civil_from_days).
void civilFromDays(qint64 z, qint64& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

} // namespace

QString DayEvent::utcStamp(Instant t)
{
    const double clamped =
        std::isfinite(t.seconds) ? std::clamp(t.seconds, -Instant::kCivilLimit, Instant::kCivilLimit) : 0.0;
    const auto secs = static_cast<qint64>(std::floor(clamped));
    qint64 days = secs / 86400;
    qint64 rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    qint64 y = 0;
    unsigned m = 0;
    unsigned d = 0;
    civilFromDays(days, y, m, d);
    char buf[64];
    std::snprintf(buf,
                  sizeof buf,
                  "%04lld-%02u-%02u %02lld:%02lld:%02lld +0000",
                  static_cast<long long>(y),
                  m,
                  d,
                  static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
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
                    occurrence.color};
}

} // namespace kalvix

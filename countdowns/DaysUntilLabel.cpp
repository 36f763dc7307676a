#include "countdowns/DaysUntilLabel.h"

#include "time/CivilCalendar.h"

namespace kalvix {

QString daysUntilLabel(Instant date, Instant now)
{
    return daysUntilLabel(date, now, CivilCalendar::current());
}

QString daysUntilLabel(Instant date, Instant now, const CivilCalendar& calendar)
{
    const int days = calendar.daysBetween(now, date).value_or(0);
    switch (days) {
    case 0:
        return QStringLiteral("Today");
    case 1:
        return QStringLiteral("Tomorrow");
    case -1:
        return QStringLiteral("yesterday");
    default:
        if (days > 0)
            return QStringLiteral("in ") + QString::number(days) + QStringLiteral(" days");
        return QString::number(-days) + QStringLiteral(" days ago");
    }
}

} // namespace kalvix

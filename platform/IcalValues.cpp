#include "platform/IcalValues.h"

#include <QDate>

#include <algorithm>

namespace kalvix::ical {

bool validWall(const icaltimetype& t)
{
    if (icaltime_is_null_time(t) || !QDate::isValid(t.year, t.month, t.day) || t.year < 1 || t.year > 9999)
        return false;
    if (t.is_date)
        return true;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second <= 60;
}

WallTime wallOf(const icaltimetype& t)
{
    if (t.is_date)
        return WallTime{{t.year, t.month, t.day}, {}};
    return WallTime{{t.year, t.month, t.day}, {t.hour, t.minute, std::min(t.second, 59)}};
}

icaltimetype icalTime(const WallTime& w, bool isDate)
{
    icaltimetype t = icaltime_null_time();
    t.year = w.date.year;
    t.month = w.date.month;
    t.day = w.date.day;
    if (isDate) {
        t.is_date = 1;
    } else {
        t.hour = w.time.hour;
        t.minute = w.time.minute;
        t.second = w.time.second;
    }
    return t;
}

} // namespace kalvix::ical

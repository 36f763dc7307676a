#pragma once
// The texts of a world-clock cell: which day it is there compared with here, the local time there, and
// what a screen reader and a tooltip say about it. Free functions of an instant, zones and a locale, so
// the cell only shows them.
#include "clock/City.h"
#include "time/Instant.h"

#include <QString>
#include <QTimeZone>

namespace kalvix {

class CivilCalendar;

// The zone a city's clock shows: the city's own, or the user's when the platform does not know it.
QTimeZone cityZone(const City& city);

enum class RelativeDay { today, tomorrow, yesterday };

// The city's calendar date compared with the user's (`local`): any later date is tomorrow and any earlier
// one yesterday, however many days lie between. An instant outside the calendar is today.
RelativeDay relativeDay(Instant now, const QTimeZone& zone, const CivilCalendar& local);

// "Today", "Tomorrow", "Yesterday".
QString dayLabel(RelativeDay day);

// The time there in the locale's own hour cycle ("15:07", "3:07 PM"), hours and minutes.
QString worldTimeString(Instant now, const QTimeZone& zone, const QString& localeId);

// The city's full date in the locale's words ("Wednesday 6 March 2024"), for the cell's tooltip.
QString worldFullDate(Instant now, const QTimeZone& zone, const QString& localeId);

// What a screen reader says for a cell: "Tokyo, 23:05, tomorrow".
QString worldClockAccessibleName(const QString& cityName, const QString& time, RelativeDay day);

} // namespace kalvix

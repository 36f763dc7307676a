#pragma once
// The short texts that describe an event, in the user's current calendar, zone and locale (read at
// every call). Pure otherwise; callable from any view at any time on the main thread.
//
// relativeLabel: "Now" while running (start <= now < end); "Today" for an all-day event of now's day;
// "in 2h 5m" for a later (or just ended) event of now's day, never less than "in 1m"; "Tomorrow";
// the full weekday name up to 6 days ahead (and for past days); the day with the abbreviated month
// from 7 days ahead. "Tomorrow" and the day counts are taken from now's day.
//
// timeRangeLabel: "All day", or the two short-style times joined by " – " (en dash).
//
// eventDetails: the whole of an event, for a tooltip or a screen reader where the row cuts it: the
// title, its day or days with the time range ("Friday, 7 Mar, 09:30 – 10:45"), and its calendar's name
// when it has one; a line each.
#include "calendar/DayEvent.h"

#include <QString>
#include <QStringList>

namespace kalvix {

QString relativeLabel(const DayEvent& event, Instant now);
QString timeRangeLabel(const DayEvent& event);
QStringList eventDetails(const DayEvent& event);

// The agenda's day heading: "Today", "Tomorrow", else the full weekday name of the day.
QString dayTitle(Instant day, Instant now);
// The day number with the abbreviated month in the locale's order ("5 Mar", "Mar 5").
QString dayMonthLabel(Instant day);

} // namespace kalvix

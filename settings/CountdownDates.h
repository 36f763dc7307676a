#pragma once
// How a countdown's stored instant meets the date-only picker of the Settings window.
//
// The picker edits local calendar days from 1 January 100 to 31 December 9999: the widest range Qt's date
// editor can show, and every day users pin in practice. A countdown may hold more (stored data can carry
// any number, and the model computes with years back to about 6000 BC); such a date is shown as "No date"
// and stays stored exactly as it is until the user picks a day, which then replaces it.
//
// Picking a day keeps the countdown's time of day (a new countdown is made at the current instant, and
// the popover sorts by the full instant), so only the day changes. Where that time does not exist on the
// new day (a spring-forward gap) it moves forward as the calendar moves it; where the old instant had no
// time to keep, the day's first instant is used.
#include "time/CivilCalendar.h"
#include "time/Instant.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace kalvix::settings {

QDate firstPickableDate();
QDate lastPickableDate();

// The local day the picker shows for `date`, or nothing when the picker cannot show it.
std::optional<QDate> pickerDate(Instant date, const CivilCalendar& calendar);

// The instant stored when the user picks `day` for a countdown that held `previous`; nothing when `day`
// lies outside the pickable range or has no instant the model can use.
std::optional<Instant> pickedInstant(QDate day, Instant previous, const CivilCalendar& calendar);

// The locale's short date pattern with four-digit years, so every pickable year can be typed and read.
QString pickerDateFormat(const QLocale& locale);

} // namespace kalvix::settings

#pragma once
// The texts of the Standard layout's header: today's full date, and the big clock, which always shows
// seconds and takes its 12- or 24-hour cycle from the locale alone (the menu-bar settings do not touch it).
#include "time/Instant.h"

#include <QString>
#include <QTimeZone>

namespace kalvix {

// Whether the locale's preferred time of hours and minutes counts hours 1-12 (or 0-11), by the hour field
// of its pattern for "jmm". Locales that mark the half of the day with a flexible period ("in the
// morning") count this way too. No pattern at all: false.
bool prefersTwelveHours(const QString& localeId);

struct BigClockText {
    QString time;      // "21:05:07", "9:05:07"
    QString dayPeriod; // "PM", upper case; empty on a 24-hour clock
};

BigClockText bigClockText(Instant now, const QTimeZone& zone, const QString& localeId);

// The full weekday and month names, the day and the year, in the locale's order ("Sunday, December 6, 2026").
QString fullDateTitle(Instant now, const QTimeZone& zone, const QString& localeId);

} // namespace kalvix

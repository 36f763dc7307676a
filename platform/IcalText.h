#pragma once
// Splitting iCalendar text before libical reads it: the calendar's own properties (name, colour), its
// embedded VTIMEZONEs by TZID, and its events cut into chunks that can be parsed independently.
#include "platform/IcalRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kalvix::ical {

// Splits text into calendar properties, embedded zones and chunks of top-level components.
CalendarText splitCalendarText(const QByteArray& text, int componentsPerChunk);

// The text of an escaped TEXT value: "\n" is a line break, any other escaped character stands for itself.
QString unescapeText(QByteArrayView value);

} // namespace kalvix::ical

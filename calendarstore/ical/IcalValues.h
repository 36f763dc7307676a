#pragma once
// iCalendar values: dates, date-times, durations and periods, read from the text of a value.
//
// The common forms ("20250310", "20250310T090000", "20250310T090000Z") are read directly; any other
// form is left to libical's reader. Dates outside the years 1 to 9999, or with fields out of range,
// are not values.
#include "calendarstore/ical/IcalRecords.h"

#include <QByteArrayView>

#include <optional>

namespace kalvix::ical {

struct DateTimeValue {
    WallTime wall;
    bool isDate = false;
    bool utc = false;
};

struct DurationValue {
    bool negative = false;
    qint64 days = 0; // weeks included
    qint64 seconds = 0;
};

struct PeriodValue {
    DateTimeValue start;
    std::optional<DateTimeValue> end;      // "start/end"
    std::optional<DurationValue> duration; // "start/duration"
};

std::optional<DateTimeValue> parseDateTime(QByteArrayView text);
std::optional<DurationValue> parseDuration(QByteArrayView text);
std::optional<PeriodValue> parsePeriod(QByteArrayView text);

// libical's global settings (errors not fatal); called before any other use, idempotent.
void initialiseLibical();

} // namespace kalvix::ical

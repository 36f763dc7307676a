#pragma once
// One event occurrence as the views draw it: an immutable value identified by its id.
//
// The id is the store's identifier followed directly by the start in UTC as "yyyy-MM-dd HH:mm:ss +0000",
// so the occurrences of one recurring event share the identifier and differ by start. An occurrence
// without identifier gets a fresh random UUID in its place, hence a new id at every refresh.
// Two DayEvents are equal when every field is: a refresh may bring the same id with a new title or time,
// and a view that compares what it shows must see that.
#include "calendarstore/CalendarStore.h"
#include "time/Instant.h"

#include <QString>

namespace kalvix {

struct DayEvent {
    QString id;
    QString title; // "Untitled" when the store gave none; an empty title stays empty
    Instant start;
    Instant end; // all-day: the start of the day after the last day
    bool isAllDay = false;
    CalendarColor color;
    QString calendar; // its calendar's name; empty when the store names none

    friend bool operator==(const DayEvent&, const DayEvent&) = default;

    static DayEvent fromOccurrence(const CalendarOccurrence& occurrence);
    // "2025-03-01 09:30:00 +0000" for 09:30:00 UTC on 1 March 2025 (fractions of a second dropped).
    static QString utcStamp(Instant t);
};

} // namespace kalvix

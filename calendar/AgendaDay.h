#pragma once
// One day of the agenda: the instant at which the local day starts, and its events with the all-day
// ones first, each kind in start order. Identified by its day.
#include "calendar/DayEvent.h"

#include <QList>

namespace kalvix {

struct AgendaDay {
    Instant day;
    QList<DayEvent> events;

    friend bool operator==(const AgendaDay& a, const AgendaDay& b) { return a.day == b.day && a.events == b.events; }
};

} // namespace kalvix

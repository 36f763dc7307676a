#pragma once
// `kalvix --agenda [--json]`: what the popover's calendar part would show, for terminals, scripts and
// status bars. Needs only a QCoreApplication (no display).
//
// Builds the system calendar service, waits until access is decided (the sources are loaded), and
// prints the access state, the Up Next events with their relative and time-range labels, and the
// agenda days with their titles. Exit code 0 with access, 2 when the calendars cannot be read, 1 when
// loading did not finish within two minutes.
#include "platform/Instant.h"

#include <QString>
#include <QTextStream>

namespace kalvix {

class CalendarService;
class PreferencesStore;
class TimeSource;

int runAgendaCommand(bool json, QTextStream& out, PreferencesStore& prefs, const TimeSource& time);

// The printing half, for a service whose access is decided.
void printAgendaText(const CalendarService& service, Instant now, QTextStream& out);
void printAgendaJson(const CalendarService& service, Instant now, QTextStream& out);

} // namespace kalvix

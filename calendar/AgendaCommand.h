#pragma once
// `kalvix --agenda [--json]`: what the popover's calendar part would show, for terminals, scripts and
// status bars. Needs only a QCoreApplication (no display).
//
// Takes a calendar service whose store is loading, waits until access is decided (the sources are loaded), and
// prints the access state, the Up Next events with their relative and time-range labels, and the
// agenda days with their titles. Exit code 0 with access, 2 when the calendars cannot be read, 1 when
// loading did not finish within 30 seconds.
//
// The text form is for people: line breaks and tabs in titles become spaces, and control characters
// (which could clear a terminal or set its title) and bidirectional overrides become U+FFFD, whether
// the output goes to a terminal or a pipe. The JSON form keeps the text as it is, escaped.
#include "platform/Instant.h"

#include <QString>
#include <QTextStream>

namespace kalvix {

class CalendarService;
class TimeSource;

int runAgendaCommand(bool json, QTextStream& out, CalendarService& calendar, const TimeSource& time);

// The printing half, for a service whose access is decided.
void printAgendaText(const CalendarService& service, Instant now, QTextStream& out);
void printAgendaJson(const CalendarService& service, Instant now, QTextStream& out);
// A title as the text form prints it.
QString printableText(const QString& text);

} // namespace kalvix

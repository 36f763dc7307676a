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
#include "calendar/AgendaDay.h"
#include "calendar/DayEvent.h"
#include "calendarstore/CalendarStore.h"
#include "time/Instant.h"

#include <QList>
#include <QString>
#include <QTextStream>

#include <optional>

namespace kalvix {

class CalendarService;
class TimeSource;

// What the command prints, computed from a store at one instant: the same whether this process read
// the calendars or a running Kalvix answers with its own.
struct AgendaReport {
    CalendarAccess access = CalendarAccess::notDetermined;
    Instant now;
    QList<DayEvent> upNext;
    QList<AgendaDay> agenda;
    QList<CalendarInfo> calendars;
    QString unreadableSource;

    // The upcoming lists are computed afresh at `now` when access is granted.
    static AgendaReport of(const CalendarStore& store, CalendarAccess access, Instant now);
    QString text() const;
    QString json() const;
    // 0 with access, 2 without, 1 while undecided.
    int exitStatus() const;
};

// Prints the report once the calendars have loaded, or after `waitMs` with what there is then.
int runAgendaCommand(
    bool json, QTextStream& out, CalendarService& calendar, const TimeSource& time, int waitMs = 15 * 1000);

// A title as the text form prints it.
QString printableText(const QString& text);

} // namespace kalvix

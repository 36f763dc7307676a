#pragma once
// Where the user's calendars are on this system, when the user has not named them.
//
// Standard places, those that exist: Evolution's local calendar
// ($XDG_DATA_HOME/evolution/calendar/system/calendar.ics), the vdir folders named by khal's
// configuration (`path` of each calendar, with `*` globs) and by vdirsyncer's (`path` of each
// filesystem storage), and $XDG_DATA_HOME/kalvix/calendars. A user's list replaces them all, with `~`
// expanded; entries may be files or folders, and need not exist yet.
#include <QStringList>

namespace kalvix {

QStringList standardCalendarSources();
// $XDG_DATA_HOME/kalvix/calendars, whether it exists or not.
QString kalvixCalendarFolder();
QStringList userCalendarSources(const QStringList& entries);

} // namespace kalvix

#pragma once
// The process's calendar service over the user's iCalendar data.
//
// The sources are the `calendarSources` preference (a list of files and folders) when it holds any,
// else the standard places (see platform/CalendarSources.h), read when the service is made. The
// returned service owns its store; loading starts at once, off the main thread, and `authorized`
// becomes true (or false) when it ends.
#include "calendar/CalendarService.h"

#include <QStringList>

#include <memory>

namespace kalvix {

class PreferencesStore;
class TimeSource;

QStringList calendarSourcesFromPreferences(const PreferencesStore& prefs);
std::unique_ptr<CalendarService> createSystemCalendarService(PreferencesStore& prefs, const TimeSource& time);

} // namespace kalvix

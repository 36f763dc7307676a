#pragma once
// The process's calendar service over the user's iCalendar data.
//
// The sources are the `calendarSources` preference (a list of files and folders) when it holds any,
// else the standard places (see calendarstore/CalendarSources.h). The returned service owns its store;
// loading starts at once, off the main thread, and its access becomes fullAccess (or denied) when it
// ends. Where the session bus has the desktop's calendar service (Evolution Data Server), its selected
// calendars come after the files' (see calendarstore/eds/EdsFeed.h). A change of `calendarSources` (made in Kalvix, by
// hand or by another program) reads the calendars again from the new sources, and the service refreshes when that load
// ends.
#include "calendar/CalendarService.h"
#include "calendarstore/icalstore/IcalCalendarStore.h"

#include <QStringList>

#include <memory>

namespace kalvix {

class PreferencesStore;
class TimeSource;

QStringList calendarSourcesFromPreferences(const PreferencesStore& prefs);

struct SystemCalendarOptions {
    IcalCalendarStore::Executor executor; // the store's (see IcalCalendarStore::Options): unset in the program
    bool oneQuery = false;                // for the command line: no months expanded ahead
    bool calendarService = true;          // the desktop's calendar service too, where the session has one
};

std::unique_ptr<CalendarService>
createSystemCalendarService(PreferencesStore& prefs, const TimeSource& time, SystemCalendarOptions options = {});

} // namespace kalvix

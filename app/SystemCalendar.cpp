#include "app/SystemCalendar.h"

#include "platform/CalendarSources.h"
#include "platform/IcalCalendarStore.h"
#include "platform/PreferencesStore.h"
#include "prefs/Prefs.h"

namespace kalvix {

QStringList calendarSourcesFromPreferences(const PreferencesStore& prefs)
{
    const auto listed = prefs.stringListValue(PrefKey::calendarSources);
    if (listed && !listed->isEmpty())
        return platform::userCalendarSources(*listed);
    return platform::standardCalendarSources();
}

std::unique_ptr<CalendarService> createSystemCalendarService(PreferencesStore& prefs, const TimeSource& time)
{
    IcalCalendarStore::Options options;
    options.time = &time;
    auto* store = new IcalCalendarStore(calendarSourcesFromPreferences(prefs), options);
    auto service = std::make_unique<CalendarService>(*store, time);
    store->setParent(service.get()); // destroyed with the service, after it
    return service;
}

} // namespace kalvix

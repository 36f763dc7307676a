#include "app/SystemCalendar.h"

#include "calendarstore/CalendarSources.h"
#include "calendarstore/eds/EdsFeed.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"

namespace kalvix {

QStringList calendarSourcesFromPreferences(const PreferencesStore& prefs)
{
    const auto listed = prefs.value(Pref::calendarSources);
    if (listed && !listed->isEmpty())
        return userCalendarSources(*listed);
    return standardCalendarSources();
}

std::unique_ptr<CalendarService>
createSystemCalendarService(PreferencesStore& prefs, const TimeSource& time, SystemCalendarOptions options)
{
    IcalCalendarStore::Options storeOptions;
    storeOptions.time = &time;
    storeOptions.executor = std::move(options.executor);
    storeOptions.expandAhead = !options.oneQuery;
    std::unique_ptr<EdsFeed> feed = options.calendarService ? EdsFeed::ifAvailable() : nullptr;
    storeOptions.feed = feed.get();
    auto* store = new IcalCalendarStore(calendarSourcesFromPreferences(prefs), storeOptions);
    if (feed)
        feed.release()->setParent(store); // children go after their parent's destructor: the store's use ends first
    // With the store as context: the connection goes when the store does.
    QObject::connect(&prefs, &PreferencesStore::changed, store, [store, &prefs](const QString& key) {
        if (key == Pref::calendarSources.name)
            store->setSources(calendarSourcesFromPreferences(prefs));
    });
    auto service = std::make_unique<CalendarService>(*store, time);
    store->setParent(service.get()); // destroyed with the service, after it
    return service;
}

} // namespace kalvix

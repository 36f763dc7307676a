#include "prefs/Prefs.h"

#include "prefs/IniPreferencesStore.h"

#include <QVariantMap>

namespace kalvix::Prefs {

void registerDefaults(PreferencesStore& store)
{
    store.registerDefaults(QVariantMap{
        {PrefKey::showWeekday, true},
        {PrefKey::showYear, true},
        {PrefKey::showSeconds, false},
        {PrefKey::timeStyle, 0},
        {PrefKey::dateStyle, 0},
        {PrefKey::compactMode, false},
        {PrefKey::homeCity, QStringLiteral("London")},
    });
}

void registerDefaults()
{
    registerDefaults(standard());
}

PreferencesStore& standard()
{
    static IniPreferencesStore* store = new IniPreferencesStore(IniPreferencesStore::defaultPath());
    return *store;
}

} // namespace kalvix::Prefs

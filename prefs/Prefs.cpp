#include "prefs/Prefs.h"

#include "prefs/IniPreferencesStore.h"

#include <QVariantMap>

#include <type_traits>

namespace kalvix::Prefs {

namespace {

// The form a typed read recognises as a registered default: the styles as the integers they are stored as.
template <typename T> QVariant defaultOf(const PrefKey<T>& key)
{
    if constexpr (std::is_enum_v<T>)
        return static_cast<int>(key.fallback);
    else
        return key.fallback;
}

} // namespace

void registerDefaults(PreferencesStore& store)
{
    QVariantMap defaults;
    const auto add = [&defaults](const auto& key) { defaults.insert(key.name, defaultOf(key)); };
    add(Pref::showWeekday);
    add(Pref::showYear);
    add(Pref::showSeconds);
    add(Pref::timeStyle);
    add(Pref::dateStyle);
    add(Pref::compactMode);
    add(Pref::homeCity);
    store.registerDefaults(defaults);
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

#pragma once
// Every preference key Kalvix knows with its default, and the process's standard store.
//
// Only the first seven keys have registered defaults (registerDefaults); didDismissClockTip and
// didRegisterLoginItem read as their fallback, false, when absent. countdowns and worldClockCities have
// their fallbacks in their stores, and the two Linux keys mean "none" when absent.
#include "prefs/PrefKey.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kalvix {

class PreferencesStore;

namespace Pref {
inline const PrefKey<bool> showWeekday{QStringLiteral("showWeekday"), true};
inline const PrefKey<bool> showYear{QStringLiteral("showYear"), true};
inline const PrefKey<bool> showSeconds{QStringLiteral("showSeconds"), false};
inline const PrefKey<TimeStyle> timeStyle{QStringLiteral("timeStyle"), TimeStyle::systemDefault};
inline const PrefKey<DateStyle> dateStyle{QStringLiteral("dateStyle"), DateStyle::text};
inline const PrefKey<bool> compactMode{QStringLiteral("compactMode"), false};
inline const PrefKey<QString> homeCity{QStringLiteral("homeCity"), QStringLiteral("London")};
inline const PrefKey<bool> didDismissClockTip{QStringLiteral("didDismissClockTip"), false};
inline const PrefKey<bool> didRegisterLoginItem{QStringLiteral("didRegisterLoginItem"), false};
inline const OptionalPrefKey<QByteArray> countdowns{QStringLiteral("countdowns")};
inline const OptionalPrefKey<QStringList> worldClockCities{QStringLiteral("worldClockCities")};
// Linux additions: where calendars are read from, and the command that shows a day.
inline const OptionalPrefKey<QStringList> calendarSources{QStringLiteral("calendarSources")};
inline const OptionalPrefKey<CommandLineText> calendarDayCommand{QStringLiteral("calendarDayCommand")};
} // namespace Pref

namespace Prefs {

// Registers the seven keys' defaults in `store` (the standard store when none is given). Never writes.
void registerDefaults(PreferencesStore& store);
void registerDefaults();

// The process's preferences: the INI file at IniPreferencesStore::defaultPath(), opened on first use
// and kept for the life of the process.
PreferencesStore& standard();

} // namespace Prefs
} // namespace kalvix

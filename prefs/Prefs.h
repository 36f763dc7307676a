#pragma once
// Every preference key Kalvix knows, its registered default, and the process's standard store.
//
// Only the first seven keys have registered defaults. didDismissClockTip and didRegisterLoginItem
// read as false when absent; countdowns and worldClockCities have their fallbacks in their stores.
#include <QString>

namespace kalvix {

class PreferencesStore;

namespace PrefKey {
inline const QString showWeekday = QStringLiteral("showWeekday");
inline const QString showYear = QStringLiteral("showYear");
inline const QString showSeconds = QStringLiteral("showSeconds");
inline const QString timeStyle = QStringLiteral("timeStyle");
inline const QString dateStyle = QStringLiteral("dateStyle");
inline const QString compactMode = QStringLiteral("compactMode");
inline const QString homeCity = QStringLiteral("homeCity");
inline const QString didDismissClockTip = QStringLiteral("didDismissClockTip");
inline const QString didRegisterLoginItem = QStringLiteral("didRegisterLoginItem");
inline const QString countdowns = QStringLiteral("countdowns");
inline const QString worldClockCities = QStringLiteral("worldClockCities");
// Linux additions: where calendars are read from, and the command that shows a day.
inline const QString calendarSources = QStringLiteral("calendarSources");
inline const QString calendarDayCommand = QStringLiteral("calendarDayCommand");
} // namespace PrefKey

namespace Prefs {

// Registers the seven defaults in `store` (the standard store when none is given). Never writes.
void registerDefaults(PreferencesStore& store);
void registerDefaults();

// The process's preferences: the INI file at IniPreferencesStore::defaultPath(), opened on first use
// and kept for the life of the process.
PreferencesStore& standard();

} // namespace Prefs
} // namespace kalvix

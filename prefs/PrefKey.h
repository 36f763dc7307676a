#pragma once
// A preference key with the type of its value and the value it has when the file holds none (or holds text
// that does not parse as that type), so a reader never restates a default. PreferencesStore::value() and
// set() take these; the keys themselves, one table, are in Prefs.h.
//
// The time and date styles are stored as the integers their enumerators carry; a hand-edited number outside
// them reads back unchanged (a TimeStyle of 7), and each reader says what it does with one.
#include <QString>

namespace kalvix {

template <typename T> struct PrefKey {
    QString name;
    T fallback;
};

// A key whose absence only its owner can interpret (a list with defaults of its own, nothing to run):
// reads give nothing when the file holds no readable value.
template <typename T> struct OptionalPrefKey {
    QString name;
};

// The value kind of a command line: one line kept as typed, never the store's list quoting.
struct CommandLineText {};

// How the menu-bar title shows the time. Anything but twelveHour and twentyFourHour reads as systemDefault.
enum class TimeStyle { systemDefault = 0, twelveHour = 1, twentyFourHour = 2 };

// How the menu-bar title shows the date. Anything but numeric reads as text.
enum class DateStyle { text = 0, numeric = 1 };

} // namespace kalvix

#pragma once
// What the settings controls offer and allow, apart from any widget: the fixed options of the menu-bar
// pickers, which catalog cities the world-clock picker offers and when Add may add one, and how the rows
// of a list follow the list they show.
#include <QList>
#include <QString>
#include <QStringList>

namespace kalvix::settings {

// The most world clocks the Add button makes; the store itself takes any number.
inline constexpr int kMaxWorldClocks = 6;

// `value` is the stored integer of the style the option stands for.
struct PickerOption {
    QString text;
    int value;
};

// "Text (5 Jul 2026)" and "Numeric (05-07-2026)", the DateStyles. The sample dates are fixed texts, not
// today's.
const QList<PickerOption>& dateStyleOptions();
// "System default", "12-hour" and "24-hour", the TimeStyles.
const QList<PickerOption>& timeFormatOptions();

// The index of the option that stands for `value`, or -1 when none does (a hand-edited 7): the picker then
// shows no option chosen, and the stored value stays until the user chooses one.
int optionIndex(const QList<PickerOption>& options, int value);

// The home-city picker's index for a stored name (the catalog's order), or -1 for a name outside it.
int homeCityIndex(const QString& name);

// The catalog cities not yet in `chosen`, in catalog order. A stored name counts as chosen when it names
// the same catalog city (canonically equal), so the picker never offers a second copy of a clock.
QStringList citiesToOffer(const QStringList& chosen);

// Whether Add may append `choice`: something is chosen, it is still on offer, and fewer than six clocks
// are shown.
bool canAddCity(const QStringList& chosen, const QString& choice);

// How the rows of a list follow a new version of it without losing the widget being typed in: for each
// wanted key, in order, the index of the shown row to keep for it (the first not yet taken whose key is
// equal), or -1 when a new row is needed. Shown rows no index refers to are to be removed.
template <typename Key> QList<int> matchRows(const QList<Key>& shown, const QList<Key>& wanted)
{
    QList<int> match;
    match.reserve(wanted.size());
    QList<bool> taken(shown.size(), false);
    for (const Key& key : wanted) {
        int found = -1;
        for (int i = 0; i < shown.size() && found < 0; ++i)
            if (!taken[i] && shown[i] == key)
                found = i;
        if (found >= 0)
            taken[found] = true;
        match.append(found);
    }
    return match;
}

} // namespace kalvix::settings

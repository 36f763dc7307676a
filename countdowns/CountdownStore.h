#pragma once
// The user's countdowns, in the order they were added, kept under the preference key "countdowns" in
// the form of CountdownJson.
//
// Loading happens once, at construction: a missing or unreadable value gives an empty list, and the
// stored bytes are left exactly as they are (they are only replaced by the next write). Every write of
// items, also an unchanged one, announces itemsChanged and then stores the whole list; a list that
// cannot be encoded (a date that is not finite) leaves the stored value as it was. Outside edits of the
// key are not re-read. Main thread only.
#include "countdowns/Countdown.h"

#include <QList>
#include <QObject>

namespace kalvix {

class PreferencesStore;

class CountdownStore final : public QObject {
    Q_OBJECT
public:
    explicit CountdownStore(PreferencesStore& prefs, QObject* parent = nullptr);
    ~CountdownStore() override;

    // The process's store over Prefs::standard(), made on first use and never destroyed.
    static CountdownStore& shared();

    const QList<Countdown>& items() const { return m_items; }
    // Replaces the list (edits in place, deletions and appends all come through here). Returns whether
    // the new list reached persistent storage; the in-memory list and the announcement do not depend on it.
    bool setItems(const QList<Countdown>& items);

Q_SIGNALS:
    void itemsChanged();

private:
    bool save();

    PreferencesStore& m_prefs;
    QList<Countdown> m_items;
};

} // namespace kalvix

#pragma once
// The user's countdowns, in the order they were added, kept under the preference key "countdowns" in
// the form of CountdownJson.
//
// The list follows the preference: it is read at construction and again whenever the key changes, from
// whatever writer (a hand edit, another process). A missing or undecodable value gives an empty list
// and the stored bytes are left exactly as they are: only a change of a countdown made in Kalvix
// replaces them. A change from outside is announced only when the list differs. Every write through
// this store, also an unchanged one, announces itemsChanged and then stores the whole list; a list
// that cannot be encoded (a date that is not finite) leaves the stored value as it was. add, update
// and remove start from the stored list as it is at that moment, so a change made in Kalvix never
// undoes a hand edit with an older copy. Main thread only.
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

    const QList<Countdown>& items() const { return m_items; }
    // Replaces the list (edits in place, deletions and appends all come through here). Returns whether
    // the new list reached persistent storage; the in-memory list and the announcement do not depend on it.
    bool setItems(const QList<Countdown>& items);
    // Appends a countdown.
    bool add(const Countdown& countdown);
    // Replaces the title and date of the countdown with the same id; false, changing nothing, when the
    // stored list has no such countdown (it was deleted meanwhile).
    bool update(const Countdown& countdown);
    // Removes the countdown with this id; true when it is not stored (any more).
    bool remove(const QUuid& id);

Q_SIGNALS:
    void itemsChanged();

private:
    bool save();
    QList<Countdown> storedItems() const;
    void followPreference(const QString& key);

    PreferencesStore& m_prefs;
    QList<Countdown> m_items;
};

} // namespace kalvix

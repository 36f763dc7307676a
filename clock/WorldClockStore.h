#pragma once
// The user's world clocks: an ordered list of city names, and the catalog cities they resolve to.
//
// cityNames may hold names outside the catalog, duplicates and more than six entries; they are kept as
// stored and only dropped when resolving cities(). The list follows the worldClockCities preference: it
// is read at construction and again whenever the key changes, from whatever writer (a hand edit,
// another process); absent or not a string list gives London, New York, Dubai, Tokyo, never written
// back. Such a change is announced only when the list differs. Every write through this store
// announces cityNamesChanged and then stores the whole list. addCity and removeCity start from the
// stored list as it is at that moment, so a change made in Kalvix never undoes a hand edit with an
// older copy. Main thread only.
#include "clock/City.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace kalvix {

class PreferencesStore;

class WorldClockStore final : public QObject {
    Q_OBJECT
public:
    explicit WorldClockStore(PreferencesStore& prefs, QObject* parent = nullptr);
    ~WorldClockStore() override;

    // Used when nothing usable is stored.
    static const QStringList& defaultCityNames();

    const QStringList& cityNames() const { return m_cityNames; }
    // Replaces the whole list, also with an equal one. Returns whether the list reached persistent
    // storage; the in-memory list and the announcement do not depend on it.
    bool setCityNames(const QStringList& names);
    // Appends one name at the end / removes every occurrence of one name, keeping the order of the rest.
    bool addCity(const QString& name);
    bool removeCity(const QString& name);

    // The catalog entry for each name, in cityNames order; unknown names are skipped and repeated names
    // repeat, up to as many clocks as the catalog has cities: a hand-made list may hold a hundred
    // thousand names, and every clock is drawn. Computed at every call.
    QList<City> cities() const;

Q_SIGNALS:
    void cityNamesChanged(const QStringList& names);

private:
    QStringList storedNames() const;
    void followPreference(const QString& key);

    PreferencesStore& m_prefs;
    QStringList m_cityNames;
};

} // namespace kalvix

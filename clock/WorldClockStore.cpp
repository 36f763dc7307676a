#include "clock/WorldClockStore.h"

#include "clock/Cities.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"

#include <algorithm>

namespace kalvix {

WorldClockStore::WorldClockStore(PreferencesStore& prefs, QObject* parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_cityNames(storedNames())
{
    connect(&m_prefs, &PreferencesStore::changed, this, &WorldClockStore::followPreference);
}

WorldClockStore::~WorldClockStore() = default;

const QStringList& WorldClockStore::defaultCityNames()
{
    static const QStringList names{
        QStringLiteral("London"), QStringLiteral("New York"), QStringLiteral("Dubai"), QStringLiteral("Tokyo")};
    return names;
}

bool WorldClockStore::setCityNames(const QStringList& names)
{
    m_cityNames = names;
    Q_EMIT cityNamesChanged(m_cityNames);
    return m_prefs.set(Pref::worldClockCities, m_cityNames);
}

bool WorldClockStore::addCity(const QString& name)
{
    m_prefs.reload(); // a hand edit not yet delivered by the file watcher is part of the list
    return setCityNames(m_cityNames + QStringList{name});
}

bool WorldClockStore::removeCity(const QString& name)
{
    m_prefs.reload();
    QStringList names = m_cityNames;
    names.removeAll(name);
    return setCityNames(names);
}

QStringList WorldClockStore::storedNames() const
{
    return m_prefs.value(Pref::worldClockCities).value_or(defaultCityNames());
}

void WorldClockStore::followPreference(const QString& key)
{
    if (key != Pref::worldClockCities.name)
        return;
    QStringList names = storedNames();
    if (names == m_cityNames)
        return; // also this store's own write coming back
    m_cityNames = std::move(names);
    Q_EMIT cityNamesChanged(m_cityNames);
}

QList<City> WorldClockStore::cities() const
{
    const qsizetype most = Cities::all().size();
    QList<City> result;
    result.reserve(std::min(m_cityNames.size(), most));
    for (const QString& name : m_cityNames) {
        if (result.size() == most)
            break;
        if (auto city = Cities::named(name))
            result.append(*city);
    }
    return result;
}

} // namespace kalvix

#include "clock/WorldClockStore.h"

#include "clock/Cities.h"
#include "platform/PreferencesStore.h"
#include "prefs/Prefs.h"

namespace kalvix {

WorldClockStore::WorldClockStore(PreferencesStore& prefs, QObject* parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_cityNames(prefs.stringListValue(PrefKey::worldClockCities).value_or(defaultCityNames()))
{
}

WorldClockStore::~WorldClockStore() = default;

WorldClockStore& WorldClockStore::shared()
{
    static WorldClockStore* store = new WorldClockStore(Prefs::standard());
    return *store;
}

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
    return m_prefs.setStringList(PrefKey::worldClockCities, m_cityNames);
}

QList<City> WorldClockStore::cities() const
{
    QList<City> result;
    result.reserve(m_cityNames.size());
    for (const QString& name : m_cityNames)
        if (auto city = Cities::named(name))
            result.append(*city);
    return result;
}

} // namespace kalvix

#include "countdowns/CountdownStore.h"

#include "countdowns/CountdownJson.h"
#include "platform/PreferencesStore.h"
#include "prefs/Prefs.h"

namespace kalvix {

CountdownStore::CountdownStore(PreferencesStore& prefs, QObject* parent)
    : QObject(parent)
    , m_prefs(prefs)
{
    if (auto bytes = m_prefs.dataValue(PrefKey::countdowns))
        if (auto items = CountdownJson::decode(*bytes))
            m_items = std::move(*items);
}

CountdownStore::~CountdownStore() = default;

CountdownStore& CountdownStore::shared()
{
    static CountdownStore* store = new CountdownStore(Prefs::standard());
    return *store;
}

bool CountdownStore::setItems(const QList<Countdown>& items)
{
    m_items = items;
    Q_EMIT itemsChanged();
    return save();
}

bool CountdownStore::save()
{
    const std::optional<QByteArray> bytes = CountdownJson::encode(m_items);
    if (!bytes)
        return false;
    return m_prefs.setData(PrefKey::countdowns, *bytes);
}

} // namespace kalvix

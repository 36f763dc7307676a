#include "countdowns/CountdownStore.h"

#include "countdowns/CountdownJson.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"

namespace kalvix {

CountdownStore::CountdownStore(PreferencesStore& prefs, QObject* parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_items(storedItems())
{
    connect(&m_prefs, &PreferencesStore::changed, this, &CountdownStore::followPreference);
}

CountdownStore::~CountdownStore() = default;

bool CountdownStore::setItems(const QList<Countdown>& items)
{
    m_items = items;
    Q_EMIT itemsChanged();
    return save();
}

bool CountdownStore::add(const Countdown& countdown)
{
    m_prefs.reload(); // a hand edit not yet delivered by the file watcher is part of the list
    return setItems(m_items + QList<Countdown>{countdown});
}

bool CountdownStore::update(const Countdown& countdown)
{
    m_prefs.reload();
    QList<Countdown> items = m_items;
    for (Countdown& item : items) {
        if (item.id == countdown.id) {
            item = countdown;
            return setItems(items);
        }
    }
    return false;
}

bool CountdownStore::remove(const QUuid& id)
{
    m_prefs.reload();
    QList<Countdown> items = m_items;
    if (items.removeIf([&](const Countdown& item) { return item.id == id; }) == 0)
        return true;
    return setItems(items);
}

QList<Countdown> CountdownStore::storedItems() const
{
    if (auto bytes = m_prefs.value(Pref::countdowns))
        if (auto items = CountdownJson::decode(*bytes))
            return std::move(*items);
    return {};
}

void CountdownStore::followPreference(const QString& key)
{
    if (key != Pref::countdowns.name)
        return;
    QList<Countdown> items = storedItems();
    if (items == m_items)
        return; // also this store's own write coming back
    m_items = std::move(items);
    Q_EMIT itemsChanged();
}

bool CountdownStore::save()
{
    const std::optional<QByteArray> bytes = CountdownJson::encode(m_items);
    if (!bytes)
        return false;
    return m_prefs.set(Pref::countdowns, *bytes);
}

} // namespace kalvix

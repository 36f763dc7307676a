#include "ui/PreferenceBinding.h"

namespace kalvix::ui {

PreferenceBinding::PreferenceBinding(PreferencesStore& store, QString key, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_key(std::move(key))
{
    connect(&m_store, &PreferencesStore::changed, this, [this](const QString& changedKey) {
        if (changedKey == m_key && refresh())
            Q_EMIT changed();
    });
}

} // namespace kalvix::ui

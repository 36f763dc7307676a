#include "ui/PreferenceBinding.h"

#include "prefs/PreferencesStore.h"

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

namespace {

// Records `now` as the last value told and says whether it differs.
template <typename T> bool differs(T& last, const T& now)
{
    if (last == now)
        return false;
    last = now;
    return true;
}

} // namespace

BoolBinding::BoolBinding(PreferencesStore& store, QString key, bool fallback, QObject* parent)
    : PreferenceBinding(store, std::move(key), parent)
    , m_fallback(fallback)
    , m_last(value())
{
}

bool BoolBinding::value() const
{
    return store().boolValue(key(), m_fallback);
}

bool BoolBinding::set(bool value)
{
    return store().setBool(key(), value);
}

bool BoolBinding::refresh()
{
    return differs(m_last, value());
}

IntBinding::IntBinding(PreferencesStore& store, QString key, int fallback, QObject* parent)
    : PreferenceBinding(store, std::move(key), parent)
    , m_fallback(fallback)
    , m_last(value())
{
}

int IntBinding::value() const
{
    return store().intValue(key(), m_fallback);
}

bool IntBinding::set(int value)
{
    return store().setInt(key(), value);
}

bool IntBinding::refresh()
{
    return differs(m_last, value());
}

StringBinding::StringBinding(PreferencesStore& store, QString key, QString fallback, QObject* parent)
    : PreferenceBinding(store, std::move(key), parent)
    , m_fallback(std::move(fallback))
    , m_last(value())
{
}

QString StringBinding::value() const
{
    return store().stringValue(key(), m_fallback);
}

bool StringBinding::set(const QString& value)
{
    return store().setString(key(), value);
}

bool StringBinding::refresh()
{
    return differs(m_last, value());
}

} // namespace kalvix::ui

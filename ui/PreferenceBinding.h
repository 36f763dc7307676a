#pragma once
// A view's hold on one preference: reads the key (with the key's own fallback), writes it at once, and
// emits changed() whenever the key changes, whoever wrote it (this view, another view, another process or
// the user's editor, as the store announces them).
//
// The value is read from the store at every value() call, so it is never stale; changed() is emitted only
// when the value the view sees differs from the last one it was told about.
#include "prefs/PrefKey.h"
#include "prefs/PreferencesStore.h"

#include <QObject>
#include <QString>

namespace kalvix::ui {

// The untyped half, which carries the signal (a class template cannot declare its own).
class PreferenceBinding : public QObject {
    Q_OBJECT
public:
    const QString& key() const { return m_key; }
    PreferencesStore& store() const { return m_store; }

Q_SIGNALS:
    void changed();

protected:
    PreferenceBinding(PreferencesStore& store, QString key, QObject* parent);
    // Called on every announcement of the key; returns whether the value the view sees changed.
    virtual bool refresh() = 0;

private:
    PreferencesStore& m_store;
    QString m_key;
};

template <typename T> class Binding final : public PreferenceBinding {
public:
    Binding(PreferencesStore& store, PrefKey<T> key, QObject* parent = nullptr)
        : PreferenceBinding(store, key.name, parent)
        , m_key(std::move(key))
        , m_last(value())
    {
    }

    T value() const { return store().value(m_key); }
    // Writes at once; returns whether the value reached persistent storage (it is in effect either way).
    bool set(const T& value) { return store().set(m_key, value); }

protected:
    bool refresh() override
    {
        T now = value();
        if (now == m_last)
            return false;
        m_last = std::move(now);
        return true;
    }

private:
    PrefKey<T> m_key;
    T m_last;
};

} // namespace kalvix::ui

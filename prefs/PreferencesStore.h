#pragma once
// The per-user preferences store: typed values under string keys, with registered defaults.
//
// Registered defaults live in memory only and are never written. A typed read returns the stored
// value when it parses as that type, else the registered default, else the caller's fallback, so a
// hand-edited value of the wrong type behaves as if it were absent. Values are kept as text (the form
// they have in the file) and parsed on read.
//
// The typed value()/set() overloads take a key from Prefs.h, which carries its type and fallback; they are
// the raw reads and writes below with nothing restated.
//
// changed(key) is emitted for every write through this object and for every key whose stored text was
// altered by another process. Safe to read from any thread; signals are emitted on the owner's thread.
#include "prefs/PrefKey.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <mutex>
#include <optional>
#include <type_traits>

namespace kalvix {

class PreferencesStore : public QObject {
    Q_OBJECT
public:
    using RawValues = QMap<QString, QString>;

    ~PreferencesStore() override;

    bool boolValue(const QString& key, bool fallback) const;
    int intValue(const QString& key, int fallback) const;
    QString stringValue(const QString& key, const QString& fallback) const;
    // Nothing when neither a stored value nor a default is present, or the text is not a list.
    std::optional<QStringList> stringListValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    // A command line is kept as typed: its quotes are the command's own (see splitArguments),
    // never the store's list quoting. Nothing when the key holds no value.
    std::optional<QString> commandLineValue(const QString& key) const;

    template <typename T> T value(const PrefKey<T>& key) const;
    template <typename T> bool set(const PrefKey<T>& key, const std::type_identity_t<T>& value);
    std::optional<QStringList> value(const OptionalPrefKey<QStringList>& key) const
    {
        return stringListValue(key.name);
    }
    std::optional<QByteArray> value(const OptionalPrefKey<QByteArray>& key) const { return dataValue(key.name); }
    std::optional<QString> value(const OptionalPrefKey<CommandLineText>& key) const
    {
        return commandLineValue(key.name);
    }
    bool set(const OptionalPrefKey<QStringList>& key, const QStringList& value)
    {
        return setStringList(key.name, value);
    }
    bool set(const OptionalPrefKey<QByteArray>& key, const QByteArray& value) { return setData(key.name, value); }
    bool set(const OptionalPrefKey<CommandLineText>& key, const QString& value)
    {
        return setCommandLine(key.name, value);
    }

    // True when the store holds a value for the key (registered defaults do not count).
    bool contains(const QString& key) const;
    std::optional<QString> rawValue(const QString& key) const;

    // Each write takes effect in memory at once and returns whether it also reached persistent storage.
    bool setBool(const QString& key, bool value);
    bool setInt(const QString& key, int value);
    bool setString(const QString& key, const QString& value);
    bool setStringList(const QString& key, const QStringList& value);
    bool setData(const QString& key, const QByteArray& value);
    // Fails, changing nothing, for a value with a line break (a command line is one line).
    bool setCommandLine(const QString& key, const QString& value);
    bool remove(const QString& key);

    // Brings the values up to date with persistent storage now, announcing what changed (stores that
    // follow outside edits do this on their own, a little later). Call it before a change that is
    // computed from a current value, so the change starts from what is stored now.
    virtual void reload() {}

    // Fallback values for typed reads; never persisted. Registering again replaces the same entries.
    void registerDefaults(const QVariantMap& defaults);

    // Text forms used in storage, exposed for tests and tools.
    static QString encodeList(const QStringList& items);
    static std::optional<QStringList> decodeList(const QString& text);

Q_SIGNALS:
    void changed(const QString& key);

protected:
    explicit PreferencesStore(QObject* parent = nullptr);

    // Persists the full set of values after `key` changed (absent from `all` when removed).
    virtual bool persist(const RawValues& all, const QString& key) = 0;

    // Installs values read from storage, announcing each key whose text differs.
    void replaceAll(const RawValues& values);
    RawValues snapshot() const;

private:
    bool write(const QString& key, std::optional<QString> text);
    QVariant registeredDefault(const QString& key) const;

    mutable std::mutex m_mutex;
    RawValues m_values;
    QVariantMap m_defaults;
};

template <typename T> T PreferencesStore::value(const PrefKey<T>& key) const
{
    if constexpr (std::is_same_v<T, bool>)
        return boolValue(key.name, key.fallback);
    else if constexpr (std::is_same_v<T, int>)
        return intValue(key.name, key.fallback);
    else if constexpr (std::is_enum_v<T>)
        return static_cast<T>(intValue(key.name, static_cast<int>(key.fallback)));
    else
        return stringValue(key.name, key.fallback);
}

template <typename T> bool PreferencesStore::set(const PrefKey<T>& key, const std::type_identity_t<T>& value)
{
    if constexpr (std::is_same_v<T, bool>)
        return setBool(key.name, value);
    else if constexpr (std::is_same_v<T, int>)
        return setInt(key.name, value);
    else if constexpr (std::is_enum_v<T>)
        return setInt(key.name, static_cast<int>(value));
    else
        return setString(key.name, value);
}

} // namespace kalvix

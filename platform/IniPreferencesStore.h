#pragma once
// Preferences kept in an INI file that people and scripts can edit: keys in the [General] group,
// one "key=value" a line, truth values "true"/"false", lists as comma-separated quoted items.
//
// The file is only ever written when Kalvix itself writes a value, and then only the line of that key
// changes: comments, unknown keys, other groups and lines Kalvix cannot parse are kept as they were.
// Writes are atomic (a temporary file renamed over the old one). Edits by other processes are noticed
// through inotify on the file's folder and announced key by key within a fraction of a second.
#include "platform/PreferencesStore.h"

#include <QByteArray>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace kalvix {

class IniPreferencesStore final : public PreferencesStore {
    Q_OBJECT
public:
    explicit IniPreferencesStore(const QString& path, QObject* parent = nullptr);
    ~IniPreferencesStore() override;

    // $XDG_CONFIG_HOME/kalvix/kalvix.conf, with ~/.config when the variable is unset or relative.
    static QString defaultPath();

    const QString& path() const { return m_path; }

    // Re-reads the file now (normally done by the watcher).
    void reload();

    // Parses INI text into the [General] key values; malformed lines are skipped.
    static RawValues parse(const QByteArray& text);
    // The text with `key` set to `value` (or removed when nullopt), every other line kept.
    static QByteArray rewrite(const QByteArray& text, const QString& key, const std::optional<QString>& value);

protected:
    bool persist(const RawValues& all, const QString& key) override;

private:
    void watch();
    void scheduleReload();

    QString m_path;
    QByteArray m_lastText; // what the file held when last read or written
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_debounce = nullptr;
};

} // namespace kalvix

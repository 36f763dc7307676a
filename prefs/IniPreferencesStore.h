#pragma once
// Preferences kept in an INI file that people and scripts can edit (the form is IniText's): keys in the
// [General] group, truth values "true"/"false", lists as comma-separated quoted items.
//
// The file is the truth, and it is the user's:
// - It is written only when Kalvix itself sets a value, and then only that key's lines change; the
//   change is merged into the file's bytes as they are at that moment (under a lock shared by Kalvix
//   processes), never into an older copy held in memory.
// - A file that cannot be read whole (no permission, larger than kMaxUserFileSize, a FIFO,
//   device or folder in its place) is never written: its values read as absent and writes report
//   failure. Nor is a change written that would make the file larger than that limit. A write that fails at any step
//   leaves the old file whole and reports failure; the value still holds in memory for this run. A rewritten file keeps
//   its mode, its line endings and, through a symbolic link, the link.
// - A file that looks caught in the middle of another program's save (emptier than Kalvix last saw it,
//   or gone, within the last kSettleSeconds) is not taken as the truth: reading it waits until that
//   time has passed, and a write waits with it (reported as not stored yet) and is then merged in.
// - A save never replaces bytes it has not seen whole. A file another program changed within the last
//   kSettleSeconds is watched for a short pause first; one that changes during it, or between the read
//   and the rename, or whose folder lock another process holds, is left alone: the change waits in
//   memory (reported as not stored yet) and is merged in once the file has been still for
//   kSettleSeconds. Nothing is retried without that pause.
// - Per key, the later change wins: a waiting change whose key was edited in the file after the change
//   was made is dropped for that edit, which is then announced like any other.
// Edits by other processes are noticed through inotify on the file and its folder and announced key by
// key after a short settle window; reload() does the same at once.
#include "desktop/UserFile.h"
#include "prefs/PreferencesStore.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

class QFileSystemWatcher;
class QTimer;

namespace kalvix {

class TimeSource;

class IniPreferencesStore final : public PreferencesStore {
    Q_OBJECT
public:
    // An empty path gives a store that keeps values in memory only and reports every write as failed
    // (for a process that has no home to keep them in).
    explicit IniPreferencesStore(const QString& path, QObject* parent = nullptr);
    // `time` decides how old a file's last change is.
    IniPreferencesStore(const QString& path, const TimeSource& time, QObject* parent = nullptr);
    ~IniPreferencesStore() override;

    // $XDG_CONFIG_HOME/kalvix/kalvix.conf (see configHome); empty when there is no home.
    static QString defaultPath();

    // How long after its last change a file that lost content is taken for another program's save in
    // progress.
    static constexpr double kSettleSeconds = 1.0;

    const QString& path() const { return m_path; }

    // Re-reads the file now (normally done by the watcher after its settle window), and stores changes
    // that were waiting for the file to settle.
    void reload() override;

    // A reload is scheduled: the watcher saw a change, or the file has not settled yet.
    bool reloadScheduled() const;
    // Changes made in Kalvix that wait for the file to settle.
    bool hasWaitingWrites() const { return !m_waiting.isEmpty(); }

    // Makes the next replacements of the file fail at `fault`'s step, as a full disk would; nothing
    // restores normal writing.
    void setWriteFault(std::optional<WriteFault> fault) { m_fault = fault; }

    // The moments of a save where another program's writes can race it: the short pause that watches a
    // recently changed file, and the gap between reading the file and renaming the new one in. By
    // default the first sleeps kSettlePauseMs and the second does nothing; tests write there instead.
    enum class SaveMoment { settling, beforeReplace };
    static constexpr int kSettlePauseMs = 50;
    void setSaveHook(std::function<void(SaveMoment)> hook) { m_saveHook = std::move(hook); }

protected:
    bool persist(const RawValues& all, const QString& key) override;

private:
    enum class Flush { written, waiting, failed };
    Flush flush();
    Flush flushOnce(const UserFileRead& current);
    bool stillBeingWritten(const UserFileRead& current);
    bool looksMidSave(const UserFileRead& read) const;
    bool recentlyChanged(double mtimeSeconds) const;
    void adopt(const QByteArray& text);
    void watch();
    void scheduleReload(int milliseconds);
    void scheduleReloadAfterSettling();

    QString m_path;
    const TimeSource& m_time;
    QByteArray m_lastText; // what the file held when last read or written whole
    FileStamp m_ownStamp;  // the file as Kalvix last renamed it in
    struct Waiting {
        std::optional<QString> value;
        std::optional<QString> base; // the key's value in the file when the change was made
        double madeAt = 0;           // when the change was made, seconds since the epoch
    };
    QMap<QString, Waiting> m_waiting;
    std::function<void(SaveMoment)> m_saveHook;
    std::optional<kalvix::WriteFault> m_fault;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_settle = nullptr;
    bool m_folderKeptPrivate = false; // an older Kalvix's open folder is closed at the first save
};

} // namespace kalvix

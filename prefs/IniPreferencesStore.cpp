#include "prefs/IniPreferencesStore.h"

#include "desktop/XdgDirs.h"
#include "prefs/IniText.h"
#include "time/TimeSource.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace kalvix {
namespace {

// The watcher's settle window: an editor's save raises several events in a row.
constexpr int kSettleMs = 100;

} // namespace

IniPreferencesStore::IniPreferencesStore(const QString& path, QObject* parent)
    : IniPreferencesStore(path, TimeSource::system(), parent)
{
}

IniPreferencesStore::IniPreferencesStore(const QString& path, const TimeSource& time, QObject* parent)
    : PreferencesStore(parent)
    , m_path(path)
    , m_time(time)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    connect(m_settle, &QTimer::timeout, this, &IniPreferencesStore::reload);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { scheduleReload(kSettleMs); });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { scheduleReload(kSettleMs); });
    if (m_path.isEmpty())
        return;
    const UserFileRead read = readUserFile(m_path);
    if (read.status == ReadStatus::ok)
        adopt(read.bytes);
    watch();
}

IniPreferencesStore::~IniPreferencesStore() = default;

QString IniPreferencesStore::defaultPath()
{
    const QString config = configHome();
    return config.isEmpty() ? QString() : config + QStringLiteral("/kalvix/kalvix.conf");
}

bool IniPreferencesStore::reloadScheduled() const
{
    return m_settle->isActive();
}

void IniPreferencesStore::scheduleReload(int milliseconds)
{
    m_settle->start(milliseconds);
}

void IniPreferencesStore::scheduleReloadAfterSettling()
{
    // Just after the file (or, for a file that is gone, its folder) has been still for kSettleSeconds.
    FileStamp changed = stampOf(m_path);
    if (!changed.exists)
        changed = stampOf(QFileInfo(m_path).absolutePath());
    const double waitMs = (changed.mtimeSeconds() + kSettleSeconds - m_time.now().seconds) * 1000.0;
    scheduleReload(static_cast<int>(std::clamp(waitMs, 0.0, kSettleSeconds * 2000.0)) + kSettleMs);
}

void IniPreferencesStore::watch()
{
    // Watch the nearest folder that exists: an atomic save replaces the file, and the folder may be
    // created only later by another process.
    QDir dir = QFileInfo(m_path).dir();
    while (!dir.exists() && !dir.isRoot())
        dir.setPath(QFileInfo(dir.absolutePath()).path());
    const QStringList current = m_watcher->files() + m_watcher->directories();
    for (const QString& p : {dir.absolutePath(), m_path})
        if (!current.contains(p) && QFileInfo::exists(p))
            m_watcher->addPath(p);
}

bool IniPreferencesStore::recentlyChanged(double mtimeSeconds) const
{
    const double age = m_time.now().seconds - mtimeSeconds;
    return age < kSettleSeconds && age > -kSettleSeconds;
}

bool IniPreferencesStore::looksMidSave(const UserFileRead& read) const
{
    // Editors that save in place truncate first; others move the old file away and write a new one.
    if (m_lastText.isEmpty())
        return false;
    if (read.status == ReadStatus::absent) {
        const FileStamp folder = stampOf(QFileInfo(m_path).absolutePath());
        return folder.exists && recentlyChanged(folder.mtimeSeconds());
    }
    return read.bytes.size() < m_lastText.size() && recentlyChanged(read.stamp.mtimeSeconds());
}

void IniPreferencesStore::adopt(const QByteArray& text)
{
    m_lastText = text;
    replaceAll(IniText::parse(text));
}

void IniPreferencesStore::reload()
{
    if (m_path.isEmpty())
        return;
    watch();
    const UserFileRead read = readUserFile(m_path);
    if (!read.usable()) {
        m_waiting.clear(); // never to be written over what cannot be read
        return;            // the values stay as they were
    }
    if (looksMidSave(read)) {
        scheduleReloadAfterSettling();
        return;
    }
    if (!m_waiting.isEmpty() && flush() != Flush::failed)
        return; // the waiting writes were merged into the file as it is now, and that was adopted
    if (read.bytes != m_lastText)
        adopt(read.bytes);
}

bool IniPreferencesStore::persist(const RawValues& all, const QString& key)
{
    if (m_path.isEmpty())
        return false;
    Waiting change;
    change.value = all.contains(key) ? std::optional<QString>(all.value(key)) : std::nullopt;
    change.madeAt = m_time.now().seconds;
    if (const auto waiting = m_waiting.constFind(key); waiting != m_waiting.constEnd()) {
        change.base = waiting->base; // still the file's value: the earlier change never reached it
    } else {
        const RawValues known = IniText::parse(m_lastText);
        if (known.contains(key))
            change.base = known.value(key);
    }
    m_waiting.insert(key, change);
    return flush() == Flush::written;
}

IniPreferencesStore::Flush IniPreferencesStore::flush()
{
    if (m_waiting.isEmpty())
        return Flush::written;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!makePrivateFolder(folder)) {
        m_waiting.clear();
        return Flush::failed;
    }
    if (!m_folderKeptPrivate) {
        keepFolderPrivate(folder);
        m_folderKeptPrivate = true;
    }
    const FolderLock lock(folder); // other Kalvix processes wait; editors do not
    if (lock.busy()) {             // another save, or someone holding it on purpose
        scheduleReloadAfterSettling();
        return Flush::waiting;
    }
    if (lock.held())
        removeStaleTemporaries(m_path); // left by a Kalvix killed mid-save
    const kalvix::UserFileRead current = kalvix::readUserFile(m_path);
    if (!current.usable()) { // never replace what could not be read whole
        m_waiting.clear();
        return Flush::failed;
    }
    if (!looksMidSave(current) && !stillBeingWritten(current)) {
        const Flush result = flushOnce(current);
        if (result != Flush::waiting)
            return result;
    }
    scheduleReloadAfterSettling();
    return Flush::waiting;
}

// Another program changed the file a moment ago: it may still be writing it (an editor saving in place
// truncates, then writes in chunks), so the file is watched for a short pause before it is trusted.
bool IniPreferencesStore::stillBeingWritten(const kalvix::UserFileRead& current)
{
    if (!current.stamp.exists || current.stamp == m_ownStamp || !recentlyChanged(current.stamp.mtimeSeconds()))
        return false;
    if (m_saveHook)
        m_saveHook(SaveMoment::settling);
    else
        QThread::msleep(kSettlePauseMs);
    return kalvix::stampOf(m_path) != current.stamp;
}

// Merges the waiting changes into `current` and replaces the file; waiting when the file changed
// between the read and the rename. A key edited in the file after Kalvix's change was made keeps the
// edit.
IniPreferencesStore::Flush IniPreferencesStore::flushOnce(const kalvix::UserFileRead& current)
{
    const RawValues inFile = IniText::parse(current.bytes);
    const double editedAt = current.stamp.exists ? current.stamp.mtimeSeconds() : 0;
    QByteArray text = current.bytes;
    bool editWon = false;
    for (auto it = m_waiting.constBegin(); it != m_waiting.constEnd(); ++it) {
        const std::optional<QString> now =
            inFile.contains(it.key()) ? std::optional<QString>(inFile.value(it.key())) : std::nullopt;
        if (now != it->base && editedAt > it->madeAt) {
            editWon = true;
            continue;
        }
        text = IniText::rewrite(text, it.key(), it->value);
    }
    if (text.size() > kMaxUserFileSize) { // it would never be read again: nothing of it
        m_waiting.clear();
        return Flush::failed;
    }
    if (m_saveHook)
        m_saveHook(SaveMoment::beforeReplace);
    if (text == current.bytes) { // every change gave way to a later edit, or was there already
        m_waiting.clear();
        adopt(text);
        m_ownStamp = {};
        watch();
        return Flush::written;
    }
    const WriteResult result = replaceUserFile(m_path, text, current.stamp, m_fault);
    if (result.status == kalvix::WriteStatus::changedMeanwhile)
        return Flush::waiting;
    m_waiting.clear();
    if (result.status != WriteStatus::ok)
        return Flush::failed;
    m_ownStamp = kalvix::stampOf(m_path);
    if (current.bytes != m_lastText || editWon)
        adopt(text); // another process's edit that the watcher has not delivered yet
    else
        m_lastText = text;
    watch();
    return Flush::written;
}

} // namespace kalvix

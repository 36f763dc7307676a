#include "prefs/IniPreferencesStore.h"

#include "desktop/XdgDirs.h"
#include "prefs/IniText.h"
#include "time/TimeSource.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

namespace kalvix {
namespace {

// The watcher's settle window: an editor's save raises several events in a row.
constexpr int kSettleMs = 100;
// Saves in a row that find the file changed under them before the waiting write is scheduled.
constexpr int kAttempts = 3;

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
    m_waiting.insert(key, all.contains(key) ? std::optional<QString>(all.value(key)) : std::nullopt);
    return flush() == Flush::written;
}

IniPreferencesStore::Flush IniPreferencesStore::flush()
{
    if (m_waiting.isEmpty())
        return Flush::written;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_waiting.clear();
        return Flush::failed;
    }
    const FolderLock lock(folder); // other Kalvix processes wait; editors do not
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const UserFileRead current = readUserFile(m_path);
        if (!current.usable()) { // never replace what could not be read whole
            m_waiting.clear();
            return Flush::failed;
        }
        if (looksMidSave(current))
            break;
        const Flush result = flushOnce(current);
        if (result != Flush::waiting)
            return result;
    }
    scheduleReloadAfterSettling();
    return Flush::waiting;
}

// Merges the waiting changes into `current` and replaces the file; waiting when the file changed
// between the read and the rename.
IniPreferencesStore::Flush IniPreferencesStore::flushOnce(const UserFileRead& current)
{
    QByteArray text = current.bytes;
    for (auto it = m_waiting.constBegin(); it != m_waiting.constEnd(); ++it)
        text = IniText::rewrite(text, it.key(), it.value());
    const WriteResult result = replaceUserFile(m_path, text, current.stamp, m_fault);
    if (result.status == WriteStatus::changedMeanwhile)
        return Flush::waiting;
    m_waiting.clear();
    if (result.status != WriteStatus::ok)
        return Flush::failed;
    if (current.bytes != m_lastText)
        adopt(text); // another process's edit that the watcher has not delivered yet
    else
        m_lastText = text;
    watch();
    return Flush::written;
}

} // namespace kalvix

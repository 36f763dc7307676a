#include "calendarstore/icalstore/IcalSourceWatcher.h"

#include <QFileSystemWatcher>
#include <QTimer>

namespace kalvix {

IcalSourceWatcher::IcalSourceWatcher(int settleMs, QObject* parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settle(new QTimer(this))
    , m_batch(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    m_batch->setSingleShot(true);
    m_batch->setInterval(0);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &IcalSourceWatcher::noteChange);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &IcalSourceWatcher::noteChange);
    connect(m_settle, &QTimer::timeout, this, &IcalSourceWatcher::settled);
    connect(m_batch, &QTimer::timeout, this, &IcalSourceWatcher::addBatch);
}

void IcalSourceWatcher::watch(const QStringList& folders, const QStringList& files)
{
    QStringList wanted = folders.mid(0, kMaxPaths);
    wanted += files.mid(0, kMaxPaths - wanted.size());
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    QStringList stale;
    QSet<QString> present;
    for (const QString& p : m_watcher->files() + m_watcher->directories()) {
        if (wantedSet.contains(p))
            present.insert(p);
        else
            stale.append(p);
    }
    if (!stale.isEmpty())
        m_watcher->removePaths(stale);
    m_toAdd.clear();
    for (const QString& p : std::as_const(wanted)) {
        if (!present.contains(p))
            m_toAdd.append(p);
    }
    if (!m_toAdd.isEmpty())
        m_batch->start();
}

void IcalSourceWatcher::addBatch()
{
    const QStringList batch = m_toAdd.mid(0, kBatch);
    m_toAdd.remove(0, batch.size());
    m_watcher->addPaths(batch);
    if (!m_toAdd.isEmpty())
        m_batch->start();
}

int IcalSourceWatcher::watchedCount() const
{
    return static_cast<int>(m_watcher->files().size() + m_watcher->directories().size());
}

void IcalSourceWatcher::noteChange()
{
    m_settle->start();
}

bool IcalSourceWatcher::changePending() const
{
    return m_settle->isActive();
}

void IcalSourceWatcher::settleNow()
{
    if (!m_settle->isActive())
        return;
    m_settle->stop();
    Q_EMIT settled();
}

} // namespace kalvix

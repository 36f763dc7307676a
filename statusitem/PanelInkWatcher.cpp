#include "statusitem/PanelInkWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

namespace kalvix {

PanelInkWatcher::PanelInkWatcher(QObject* parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_settle, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_settle, qOverload<>(&QTimer::start));
    connect(m_settle, &QTimer::timeout, this, &PanelInkWatcher::relearn);
}

ItemInk PanelInkWatcher::learn(const StatusHost& host, const PanelFiles& files)
{
    m_host = host;
    m_files = files;
    QStringList sources;
    m_ink = panelInk(m_host, m_files, &sources);
    m_learnt = true;
    watch(sources);
    return m_ink;
}

ItemInk PanelInkWatcher::inkFor(const StatusHost& host, const PanelFiles& files)
{
    if (m_learnt && host == m_host && files == m_files)
        return m_ink;
    return learn(host, files);
}

QStringList PanelInkWatcher::watchedPaths() const
{
    return m_watcher->files() + m_watcher->directories();
}

bool PanelInkWatcher::changePending() const
{
    return m_settle->isActive();
}

void PanelInkWatcher::settleNow()
{
    if (!m_settle->isActive())
        return;
    m_settle->stop();
    relearn();
}

void PanelInkWatcher::relearn()
{
    const ItemInk before = m_ink;
    learn(m_host, m_files); // watches anew: a file renamed over the old one is another file
    if (m_ink != before)
        Q_EMIT inkChanged(m_ink);
}

void PanelInkWatcher::watch(const QStringList& sources)
{
    QSet<QString> wanted;
    for (const QString& source : sources) {
        const QFileInfo file(source);
        if (file.isFile())
            wanted.insert(file.absoluteFilePath());
        // The folder it is in, or would be in: the nearest one that exists, where it may yet be created.
        QDir folder = file.absoluteDir();
        while (!folder.exists() && !folder.isRoot())
            folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
        if (!folder.isRoot())
            wanted.insert(folder.absolutePath());
    }
    QStringList stale;
    for (const QString& path : watchedPaths())
        if (!wanted.remove(path))
            stale << path;
    if (!stale.isEmpty())
        m_watcher->removePaths(stale);
    if (!wanted.isEmpty())
        m_watcher->addPaths(QStringList(wanted.cbegin(), wanted.cend()));
}

} // namespace kalvix

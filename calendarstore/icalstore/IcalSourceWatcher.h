#pragma once
// Watches the files and folders of a calendar store's sources and reports a settled change: a burst
// of changes (an editor's save, a sync run) restarts a short settle window, and settled() follows
// once it ends.
//
// The paths are handed to the file watcher in small batches on later turns of the event loop, so a
// load of thousands of paths never holds the main thread for long, and at most kMaxPaths are
// watched (folders first: a change of a file in a watched folder is seen too when it is renamed into
// place, as sync tools and most editors save). Main thread only.
#include <QObject>
#include <QSet>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

namespace kalvix {

class IcalSourceWatcher final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPaths = 4096;
    static constexpr int kBatch = 256;

    explicit IcalSourceWatcher(int settleMs, QObject* parent = nullptr);

    // Watches these paths from now on (folders first), and no others.
    void watch(const QStringList& folders, const QStringList& files);
    // Paths handed to the file watcher so far.
    int watchedCount() const;

    // A change of a source: starts (or restarts) the settle window.
    void noteChange();
    bool changePending() const;
    // Ends the settle window now, when a change waits in it.
    void settleNow();

Q_SIGNALS:
    void settled();

private:
    void addBatch();

    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_settle = nullptr;
    QTimer* m_batch = nullptr;
    QStringList m_toAdd;
};

} // namespace kalvix

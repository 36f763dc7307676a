#pragma once
// The item's ink, kept in step with the host's look while Kalvix runs: a switch from a light to a dark
// theme would otherwise leave the clock drawn for the old panel, dark on dark, until a restart.
//
// The files the ink was learnt from are watched, and their folders too, since settings tools replace a
// file by renaming a new one over it, and a file that does not exist yet may be created. A burst of
// changes (a theme switch writes several files) settles for kSettleMs before the ink is learnt again;
// nothing runs while nothing changes. Main thread only.
#include "statusitem/PanelColors.h"
#include "statusitem/StatusHost.h"
#include "statusitem/TitleImage.h"

#include <QObject>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

namespace kalvix {

class PanelInkWatcher final : public QObject {
    Q_OBJECT
public:
    static constexpr int kSettleMs = 250;

    explicit PanelInkWatcher(QObject* parent = nullptr);

    // Learns the ink for `host` from `files` now, and from then on follows what it was learnt from.
    ItemInk learn(const StatusHost& host, const PanelFiles& files);
    // The same, learnt only when `host` or `files` differ from the last ones: a repaint asks at every
    // tick, and between changes of look the watcher keeps the ink it learnt current.
    ItemInk inkFor(const StatusHost& host, const PanelFiles& files);
    const ItemInk& ink() const { return m_ink; }
    // What the file watcher watches: the files read and the folders they are (or would be) in.
    QStringList watchedPaths() const;

    // A change was seen and waits for the settle window to end.
    bool changePending() const;
    // Ends the settle window now, when a change waits in it.
    void settleNow();

Q_SIGNALS:
    // The ink learnt again after a change differs from the one before.
    void inkChanged(const kalvix::ItemInk& ink);

private:
    void relearn();
    void watch(const QStringList& sources);

    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_settle = nullptr;
    StatusHost m_host;
    PanelFiles m_files;
    ItemInk m_ink;
    bool m_learnt = false;
};

} // namespace kalvix

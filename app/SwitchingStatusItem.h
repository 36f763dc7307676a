#pragma once
// The status item that follows the session's hosts while Kalvix runs, so the clock is never lost: a
// StatusNotifierItem while a watcher is on the session bus; when the watcher leaves, a dock in the X11
// tray if there is one; when a tray appears or restarts and no watcher is there, a new dock; when a
// watcher appears, the StatusNotifierItem again. With neither, it waits for one.
//
// The title, the menu and the clicks are the same whichever item is in use; the item in use gets the
// current title as soon as it is made.
#include "statusitem/StatusItem.h"

#include <QDBusConnection>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace kalvix {

class TrayMonitor;

class SwitchingStatusItem final : public StatusItem {
    Q_OBJECT
public:
    using MakeItem = std::function<std::unique_ptr<StatusItem>()>;

    // `tray` may be null (not on X11); `makeDock` is used only while the tray is present.
    SwitchingStatusItem(QDBusConnection bus,
                        std::unique_ptr<TrayMonitor> tray,
                        MakeItem makeStatusNotifierItem,
                        MakeItem makeDock,
                        QObject* parent = nullptr);
    ~SwitchingStatusItem() override;

    // The item for this session, following its hosts while Kalvix runs: a StatusNotifierItem while a
    // watcher is on the session bus, else a dock in the X11 tray while there is one.
    static std::unique_ptr<StatusItem> forSession(QObject* parent = nullptr);

    bool isAvailable() const override { return m_current && m_current->isAvailable(); }
    QString kind() const override;
    void setTitle(const QString& title, const QFont& font, qreal baselineOffset) override;

    // The item in use, null while there is no host.
    StatusItem* current() const { return m_current.get(); }

Q_SIGNALS:
    // The item in use was replaced (or dropped).
    void moved();

private:
    enum class Host { none, statusNotifier, tray };
    void follow(bool trayRestarted = false);
    void use(Host host);

    QDBusConnection m_bus;
    std::unique_ptr<TrayMonitor> m_tray;
    MakeItem m_makeStatusNotifierItem;
    MakeItem m_makeDock;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_watcherPresent = false;
    Host m_host = Host::none;
    std::unique_ptr<StatusItem> m_current;
    QString m_title;
    QFont m_font;
    qreal m_baselineOffset = 0;
    bool m_hasTitle = false;
};

} // namespace kalvix

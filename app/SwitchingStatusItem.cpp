#include "app/SwitchingStatusItem.h"

#include "statusitem/sni/SniStatusItem.h"
#include "statusitem/xembed/TrayMonitor.h"
#include "statusitem/xembed/X11Tray.h"
#include "statusitem/xembed/XEmbedStatusItem.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace kalvix {
namespace {
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
} // namespace

SwitchingStatusItem::SwitchingStatusItem(QDBusConnection bus,
                                         std::unique_ptr<TrayMonitor> tray,
                                         MakeItem makeStatusNotifierItem,
                                         MakeItem makeDock,
                                         QObject* parent)
    : StatusItem(parent)
    , m_bus(std::move(bus))
    , m_tray(std::move(tray))
    , m_makeStatusNotifierItem(std::move(makeStatusNotifierItem))
    , m_makeDock(std::move(makeDock))
{
    if (m_bus.isConnected()) {
        m_watcher = new QDBusServiceWatcher(kWatcherService,
                                            m_bus,
                                            QDBusServiceWatcher::WatchForRegistration |
                                                QDBusServiceWatcher::WatchForUnregistration,
                                            this);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            m_watcherPresent = true;
            follow();
        });
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            m_watcherPresent = false;
            follow();
        });
        m_watcherPresent = m_bus.interface() && m_bus.interface()->isServiceRegistered(kWatcherService).value();
    }
    if (m_tray)
        connect(m_tray.get(), &TrayMonitor::changed, this, [this] { follow(true); });
    follow();
}

SwitchingStatusItem::~SwitchingStatusItem() = default;

std::unique_ptr<StatusItem> SwitchingStatusItem::forSession(QObject* parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    std::unique_ptr<X11Tray> tray = X11Tray::forApplication();
    X11Tray* x11 = tray.get();
    return std::make_unique<SwitchingStatusItem>(
        bus,
        std::move(tray),
        [bus] { return std::make_unique<SniStatusItem>(bus); },
        [x11] { return std::make_unique<XEmbedStatusItem>(*x11); },
        parent);
}

QString SwitchingStatusItem::kind() const
{
    return m_current ? m_current->kind() : QStringLiteral("none");
}

void SwitchingStatusItem::follow(bool trayRestarted)
{
    Host wanted = Host::none;
    if (m_watcherPresent && m_makeStatusNotifierItem)
        wanted = Host::statusNotifier;
    else if (m_tray && m_tray->present() && m_makeDock)
        wanted = Host::tray;
    // A tray that restarted has lost its icons: the dock is made anew even when a tray was there before.
    if (wanted != m_host || (wanted == Host::tray && trayRestarted))
        use(wanted);
}

void SwitchingStatusItem::use(Host host)
{
    m_current.reset(); // the old item leaves its host before the new one arrives
    m_host = host;
    if (host == Host::statusNotifier)
        m_current = m_makeStatusNotifierItem();
    else if (host == Host::tray)
        m_current = m_makeDock();
    if (m_current) {
        connect(m_current.get(), &StatusItem::activated, this, &StatusItem::activated);
        connect(m_current.get(), &StatusItem::settingsRequested, this, &StatusItem::settingsRequested);
        connect(m_current.get(), &StatusItem::quitRequested, this, &StatusItem::quitRequested);
        if (m_hasTitle)
            m_current->setTitle(m_title, m_font, m_baselineOffset);
    }
    Q_EMIT moved();
}

void SwitchingStatusItem::setTitle(const QString& title, const QFont& font, qreal baselineOffset)
{
    m_title = title;
    m_font = font;
    m_baselineOffset = baselineOffset;
    m_hasTitle = true;
    if (m_current)
        m_current->setTitle(title, font, baselineOffset);
}

} // namespace kalvix

// The status item follows its hosts while Kalvix runs: a watcher on a private session bus that comes and
// goes, and a tray (a fake: the X11 side is the panel tests' part) that appears, restarts and leaves.
#include "app/SwitchingStatusItem.h"
#include "statusitem/sni/SniStatusItem.h"
#include "statusitem/xembed/TrayMonitor.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

constexpr int kDeadlineMs = 5000; // a deadline for the bus, not an expected duration

// The host side of the protocol, as a panel runs it: it records the items that register.
class TestWatcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    QStringList items;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        items << message().service() + u'|' + service;
        Q_EMIT itemRegistered(service);
    }

Q_SIGNALS:
    void itemRegistered(const QString& service);
};

class FakeTray final : public TrayMonitor {
public:
    bool present() const override { return m_present; }
    void set(bool present)
    {
        m_present = present;
        Q_EMIT changed();
    }

private:
    bool m_present = false;
};

class FakeDock final : public StatusItem {
public:
    bool isAvailable() const override { return true; }
    QString kind() const override { return QStringLiteral("XEmbed"); }
    void setTitle(const QString& title, const QFont&, qreal) override { lastTitle = title; }
    QString lastTitle;
};

using PrivateBus = test::PrivateSessionBus;

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

TEST(SwitchingStatusItem, movesBetweenWatcherAndTrayAsTheyComeAndGo)
{
    test::testApplication<QApplication>();
    test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection panel = bus.connect(QStringLiteral("panel"));
    QDBusConnection kalvixBus = bus.connect(QStringLiteral("kalvix"));
    ASSERT_TRUE(panel.isConnected() && kalvixBus.isConnected());
    TestWatcher watcher;
    ASSERT_TRUE(
        panel.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllSlots));
    QSignalSpy registrations(&watcher, &TestWatcher::itemRegistered);

    auto* tray = new FakeTray;
    int docksMade = 0;
    FakeDock* lastDock = nullptr;
    SwitchingStatusItem item(
        kalvixBus,
        std::unique_ptr<TrayMonitor>(tray),
        [&] { return std::make_unique<SniStatusItem>(kalvixBus); },
        [&] {
            ++docksMade;
            auto dock = std::make_unique<FakeDock>();
            lastDock = dock.get();
            return dock;
        });
    QSignalSpy moves(&item, &SwitchingStatusItem::moved);
    QSignalSpy clicks(&item, &StatusItem::activated);

    // Nothing to show in yet: the title waits.
    EXPECT_EQ(item.current(), nullptr);
    EXPECT_EQ(item.kind(), QStringLiteral("none"));
    item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:05"), QFont(), 0.5);

    // A tray appears: docked, with the current title at once.
    tray->set(true);
    ASSERT_EQ(item.kind(), QStringLiteral("XEmbed"));
    EXPECT_EQ(lastDock->lastTitle, QStringLiteral("Sun, 5 Jul 2026 14:05"));
    Q_EMIT lastDock->activated(QRect(10, 0, 100, 24));
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toRect(), QRect(10, 0, 100, 24));

    // A watcher appears: the item moves to it and registers there.
    ASSERT_TRUE(panel.registerService(kWatcher));
    ASSERT_TRUE(registrations.wait(kDeadlineMs));
    ASSERT_EQ(item.kind(), QStringLiteral("StatusNotifierItem"));
    auto* sni = qobject_cast<SniStatusItem*>(item.current());
    ASSERT_NE(sni, nullptr);
    EXPECT_EQ(sni->label(), QStringLiteral("Sun, 5 Jul 2026 14:05"));
    EXPECT_EQ(sni->host().look, ItemLook::squareIcon); // learnt from the desktop hint
    // What the panel reads over the bus (asked without blocking: both ends live in this thread).
    QDBusMessage get = QDBusMessage::createMethodCall(registrations.at(0).at(0).toString(),
                                                      QStringLiteral("/StatusNotifierItem"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("XAyatanaLabel");
    QDBusPendingCallWatcher reply(panel.asyncCall(get));
    QSignalSpy answered(&reply, &QDBusPendingCallWatcher::finished);
    ASSERT_TRUE(answered.wait(kDeadlineMs));
    EXPECT_EQ(QDBusReply<QDBusVariant>(reply.reply()).value().variant().toString(),
              QStringLiteral("Sun, 5 Jul 2026 14:05"));

    // The watcher leaves: back into the tray, as a new dock.
    moves.clear();
    ASSERT_TRUE(panel.unregisterService(kWatcher));
    ASSERT_TRUE(moves.wait(kDeadlineMs));
    EXPECT_EQ(item.kind(), QStringLiteral("XEmbed"));
    EXPECT_EQ(docksMade, 2);
    // The item's name is gone from the bus with it.
    EXPECT_FALSE(panel.interface()->isServiceRegistered(registrations.at(0).at(0).toString()).value());

    // The tray restarts: its icons are lost, so a new dock goes into the new tray.
    tray->set(true);
    EXPECT_EQ(docksMade, 3);
    EXPECT_EQ(lastDock->lastTitle, QStringLiteral("Sun, 5 Jul 2026 14:05"));

    // The tray leaves too: nothing is shown, and nothing is lost.
    tray->set(false);
    EXPECT_EQ(item.current(), nullptr);
    item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:06"), QFont(), 0.5);

    // The watcher returns: the item registers again, with the newest title.
    registrations.clear();
    ASSERT_TRUE(panel.registerService(kWatcher));
    ASSERT_TRUE(registrations.wait(kDeadlineMs));
    sni = qobject_cast<SniStatusItem*>(item.current());
    ASSERT_NE(sni, nullptr);
    EXPECT_EQ(sni->label(), QStringLiteral("Sun, 5 Jul 2026 14:06"));
    EXPECT_EQ(watcher.items.size(), 2);
}

TEST(SwitchingStatusItem, aWatcherAlreadyThereWinsOverATrayAndNoBusMeansTheTrayOnly)
{
    test::testApplication<QApplication>();
    auto* tray = new FakeTray;
    tray->set(true);
    int sniMade = 0;
    // Not connected: no StatusNotifierItem is ever tried.
    SwitchingStatusItem item(
        QDBusConnection(QStringLiteral("nowhere")),
        std::unique_ptr<TrayMonitor>(tray),
        [&] {
            ++sniMade;
            return std::unique_ptr<StatusItem>();
        },
        [] { return std::make_unique<FakeDock>(); });
    EXPECT_EQ(item.kind(), QStringLiteral("XEmbed"));
    EXPECT_EQ(sniMade, 0);

    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection panel = bus.connect(QStringLiteral("panel2"));
    TestWatcher watcher;
    panel.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllSlots);
    ASSERT_TRUE(panel.registerService(kWatcher));
    QDBusConnection kalvixBus = bus.connect(QStringLiteral("kalvix2"));
    QSignalSpy registrations(&watcher, &TestWatcher::itemRegistered);
    auto* present = new FakeTray;
    present->set(true);
    SwitchingStatusItem both(
        kalvixBus,
        std::unique_ptr<TrayMonitor>(present),
        [&] { return std::make_unique<SniStatusItem>(kalvixBus); },
        [] { return std::make_unique<FakeDock>(); });
    EXPECT_EQ(both.kind(), QStringLiteral("StatusNotifierItem"));
    both.setTitle(QStringLiteral("14:05"), QFont(), 0.5);
    EXPECT_TRUE(registrations.wait(kDeadlineMs));
}

#include "SwitchingStatusItemTest.moc"

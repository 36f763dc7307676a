// What the StatusNotifierItem shows each host, read over a private bus as a panel reads it, and how
// often it tells the host to fetch its icon again.
#include "statusitem/sni/SniStatusItem.h"
#include "statusitem/PanelColors.h"
#include "statusitem/PanelInkWatcher.h"
#include "statusitem/sni/DBusTypes.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

using namespace kalvix;

namespace {

constexpr int kDeadlineMs = 5000;

// Counts a bus signal, as a host that listens for it would.
class SignalCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public Q_SLOTS:
    void onSignal() { ++count; }
};

// Reads a property of the item without blocking (item and panel live in this thread). The reply comes
// after every signal the item sent before it, so it is also the point where those have all arrived.
QVariant readProperty(QDBusConnection& panel, const QString& service, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service,
                                                      QStringLiteral("/StatusNotifierItem"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    QDBusPendingCallWatcher reply(panel.asyncCall(get));
    QSignalSpy answered(&reply, &QDBusPendingCallWatcher::finished);
    if (!answered.wait(kDeadlineMs))
        return {};
    return QDBusReply<QDBusVariant>(reply.reply()).value().variant();
}

dbus::IconPixmapList iconsOf(const QVariant& value)
{
    dbus::IconPixmapList icons;
    value.value<QDBusArgument>() >> icons;
    return icons;
}

struct LookRow {
    const char* name;
    const char* desktop;
    bool square;
};

class ItemLooks : public ::testing::TestWithParam<LookRow> {};

} // namespace

TEST_P(ItemLooks, theIconIsDrawnForTheHost)
{
    const LookRow& row = GetParam();
    test::testApplication<QApplication>();
    test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", row.desktop);
    test::PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection kalvixBus = bus.connect(QStringLiteral("item-") + QString::fromUtf8(row.name));
    QDBusConnection panel = bus.connect(QStringLiteral("panel-") + QString::fromUtf8(row.name));
    SniStatusItem item(kalvixBus);
    item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:05"), QFont(), 0.5);
    const QString service = kalvixBus.baseService();

    const dbus::IconPixmapList icons = iconsOf(readProperty(panel, service, QStringLiteral("IconPixmap")));
    ASSERT_FALSE(icons.isEmpty());
    for (const dbus::IconPixmap& icon : icons) {
        EXPECT_EQ(icon.bytes.size(), qsizetype(icon.width) * icon.height * 4);
        if (row.square)
            EXPECT_EQ(icon.width, icon.height) << "a squared host gets square pictures";
        else
            EXPECT_GT(icon.width, 4 * icon.height) << "the whole title, kept wide";
    }
    // Every host still has the whole title as the label and in the tooltip.
    EXPECT_EQ(readProperty(panel, service, QStringLiteral("XAyatanaLabel")).toString(),
              QStringLiteral("Sun, 5 Jul 2026 14:05"));
}

INSTANTIATE_TEST_SUITE_P(Desktops,
                         ItemLooks,
                         ::testing::Values(LookRow{"xfce_face", "XFCE", true},
                                           LookRow{"kde_face", "KDE", true},
                                           LookRow{"gnome_symbol_beside_label", "GNOME", true},
                                           LookRow{"unknown_wide_title", "Hyprland", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SniStatusItem, aSquareFaceIsRefetchedOncePerMinuteNotEverySecond)
{
    test::testApplication<QApplication>();
    test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    test::PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection kalvixBus = bus.connect(QStringLiteral("item-minute"));
    QDBusConnection panel = bus.connect(QStringLiteral("panel-minute"));
    SniStatusItem item(kalvixBus);
    const QString service = kalvixBus.baseService();
    SignalCounter newIcon, newToolTip;
    const QString iface = QStringLiteral("org.kde.StatusNotifierItem");
    // The D-Bus binding names its receiver by the slot's signature: there is no checked form for bus signals.
    ASSERT_TRUE(panel.connect(
        service, QStringLiteral("/StatusNotifierItem"), iface, QStringLiteral("NewIcon"), &newIcon, SLOT(onSignal())));
    ASSERT_TRUE(panel.connect(service,
                              QStringLiteral("/StatusNotifierItem"),
                              iface,
                              QStringLiteral("NewToolTip"),
                              &newToolTip,
                              SLOT(onSignal())));

    // A call to the bus itself, answered after the match rules of those connects: signals sent from now on
    // reach the panel.
    ASSERT_TRUE(panel.interface()->isServiceRegistered(service).value());
    for (int second = 0; second < 3; ++second)
        item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:05:0%1").arg(second), QFont(), 0.5);
    item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:06:00"), QFont(), 0.5);
    readProperty(panel, service, QStringLiteral("Status")); // every signal sent before is in by now
    EXPECT_EQ(newIcon.count, 2);                            // 14:05, then 14:06
    EXPECT_EQ(newToolTip.count, 4);                         // the tooltip holds the whole title, seconds too
}

namespace {

// The ink of a picture sent over the bus: its most opaque pixel's colour (big-endian ARGB).
QColor inkOf(const dbus::IconPixmap& icon)
{
    const auto* bytes = reinterpret_cast<const uchar*>(icon.bytes.constData());
    int best = -1;
    QColor ink;
    for (qsizetype i = 0; i + 3 < icon.bytes.size(); i += 4)
        if (bytes[i] > best) {
            best = bytes[i];
            ink = QColor(bytes[i + 1], bytes[i + 2], bytes[i + 3]);
        }
    return ink;
}

bool writeByRename(const QString& path, const QByteArray& text)
{
    QFile f(path + u".new");
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return false;
    f.close();
    return std::rename(QFile::encodeName(f.fileName()).constData(), QFile::encodeName(path).constData()) == 0;
}

} // namespace

TEST(SniStatusItem, aThemeSwitchRedrawsTheFaceInTheNewInk)
{
    test::testApplication<QApplication>();
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("gtk-3.0")));
    const QString settings = config.filePath(QStringLiteral("gtk-3.0/settings.ini"));
    ASSERT_TRUE(writeByRename(settings, "[Settings]\ngtk-theme-name=Adwaita\n"));
    test::ScopedEnv home("XDG_CONFIG_HOME", config.path().toUtf8().constData());
    test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", "XFCE");
    test::PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection kalvixBus = bus.connect(QStringLiteral("item-switch"));
    QDBusConnection panel = bus.connect(QStringLiteral("panel-switch"));
    SniStatusItem item(kalvixBus);
    item.setTitle(QStringLiteral("Sun, 5 Jul 2026 14:05"), QFont(), 0.5);
    const QString service = kalvixBus.baseService();
    SignalCounter newIcon;
    ASSERT_TRUE(panel.connect(service,
                              QStringLiteral("/StatusNotifierItem"),
                              QStringLiteral("org.kde.StatusNotifierItem"),
                              QStringLiteral("NewIcon"),
                              &newIcon,
                              SLOT(onSignal())));
    ASSERT_TRUE(panel.interface()->isServiceRegistered(service).value());
    const dbus::IconPixmapList light = iconsOf(readProperty(panel, service, QStringLiteral("IconPixmap")));
    ASSERT_FALSE(light.isEmpty());
    EXPECT_EQ(item.ink(), ItemInk(darkInk()));
    EXPECT_LT(contrastRatio(inkOf(light.last()), darkInk()), 1.5) << "dark ink for the light theme";

    // The user turns to a dark theme: the face is drawn again in light ink, and the panel told so.
    ASSERT_TRUE(writeByRename(settings, "[Settings]\ngtk-theme-name=Adwaita-dark\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item.inkWatcher().changePending(); }, kDeadlineMs));
    item.inkWatcher().settleNow();
    EXPECT_EQ(item.ink(), ItemInk(lightInk()));
    const dbus::IconPixmapList dark = iconsOf(readProperty(panel, service, QStringLiteral("IconPixmap")));
    ASSERT_FALSE(dark.isEmpty());
    EXPECT_EQ(newIcon.count, 1);
    EXPECT_LT(contrastRatio(inkOf(dark.last()), lightInk()), 1.5) << "light ink for the dark theme";
}

#include "SniStatusItemTest.moc"

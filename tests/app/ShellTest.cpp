#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/PopoverWindow.h"
#include "clock/ClockModel.h"
#include "platform/LoginItems.h"
#include "platform/StatusItem.h"
#include "prefs/Prefs.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnv.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::MemoryPreferencesStore;

namespace {

class CountingLoginItems final : public LoginItems {
public:
    explicit CountingLoginItems(bool succeed)
        : m_succeed(succeed)
    {
    }
    bool registerApp() override
    {
        ++registrations;
        return m_succeed;
    }
    bool unregisterApp() override { return true; }
    bool isEnabled() const override { return false; }
    int registrations = 0;

private:
    bool m_succeed;
};

class RecordingStatusItem final : public StatusItem {
public:
    bool isAvailable() const override { return true; }
    QString kind() const override { return QStringLiteral("test"); }
    void setTitle(const QString& title, const QFont& font, qreal baselineOffset) override
    {
        titles << title;
        lastFont = font;
        lastOffset = baselineOffset;
    }
    QStringList titles;
    QFont lastFont;
    qreal lastOffset = 0;
};

QApplication& app()
{
    return test::testApplication<QApplication>();
}

} // namespace

TEST(CommandLine, optionsMatchWholeArgumentsExactly)
{
    const auto cl = CommandLine::parse({QStringLiteral("kalvix"),
                                        QStringLiteral("--open-settings=1"),
                                        QStringLiteral("--Open-Settings"),
                                        QStringLiteral("--open-setting"),
                                        QStringLiteral("--print-title")});
    EXPECT_FALSE(cl.openSettings);
    EXPECT_TRUE(cl.printTitle);
    EXPECT_EQ(cl.unrecognised.size(), 3);
    EXPECT_TRUE(CommandLine::parse({QStringLiteral("kalvix"), QStringLiteral("--open-settings")}).openSettings);
}

TEST(CommandLine, snapshotTakesTheFirstFolderAndNeedsOne)
{
    auto cl = CommandLine::parse({QStringLiteral("kalvix"), QStringLiteral("--snapshot")});
    EXPECT_FALSE(cl.snapshotFolder);
    EXPECT_TRUE(cl.unrecognised.isEmpty());
    cl = CommandLine::parse({QStringLiteral("kalvix"),
                             QStringLiteral("--snapshot"),
                             QStringLiteral("a b"),
                             QStringLiteral("--snapshot"),
                             QStringLiteral("second"),
                             QStringLiteral("--open-settings")});
    EXPECT_EQ(cl.snapshotFolder, QStringLiteral("a b"));
    EXPECT_TRUE(cl.openSettings);
    EXPECT_TRUE(cl.unrecognised.isEmpty());
}

TEST(LoginItem, triedExactlyOnceAcrossLaunchesEvenWhenRegistrationFails)
{
    MemoryPreferencesStore prefs;
    CountingLoginItems failing(false);
    AppDelegate::registerLoginItemOnce(prefs, failing);
    AppDelegate::registerLoginItemOnce(prefs, failing);
    EXPECT_EQ(failing.registrations, 1);
    EXPECT_TRUE(prefs.boolValue(PrefKey::didRegisterLoginItem, false));

    MemoryPreferencesStore fresh;
    fresh.simulateExternalEdit({{PrefKey::didRegisterLoginItem, QStringLiteral("true")}});
    CountingLoginItems ok(true);
    AppDelegate::registerLoginItemOnce(fresh, ok);
    EXPECT_EQ(ok.registrations, 0);
}

TEST(PopoverPlacement, belowTheAnchorInsideTheScreen)
{
    const QRect screen(0, 30, 1280, 770); // a top panel of 30 px
    const QSize size(640, 500);
    EXPECT_EQ(PopoverWindow::placement(QPoint(640, 15), size, screen), QPoint(320, 30));
    EXPECT_EQ(PopoverWindow::placement(QPoint(1270, 15), size, screen), QPoint(640, 30)); // clamped at the right
    EXPECT_EQ(PopoverWindow::placement(QPoint(5, 15), size, screen), QPoint(0, 30));
    // A bottom panel: above the anchor.
    EXPECT_EQ(PopoverWindow::placement(QPoint(640, 790), size, QRect(0, 0, 1280, 770)), QPoint(320, 270));
    // Larger than the screen: pinned to the top-left of the available area.
    EXPECT_EQ(PopoverWindow::placement(QPoint(100, 15), QSize(2000, 900), screen), QPoint(0, 30));
}

TEST(AppDelegate, launchShowsTheTitleAtOnceAndOpensSettingsOnlyOnTheExactArgument)
{
    app();
    test::ScopedEnv config("XDG_CONFIG_HOME", QTemporaryDir().path().toLocal8Bit().constData());
    MemoryPreferencesStore prefs;
    CountingLoginItems login(true);
    RecordingStatusItem* item = nullptr;
    int settingsOpened = 0;
    AppDelegate::Services services{prefs,
                                   login,
                                   [&] {
                                       auto made = std::make_unique<RecordingStatusItem>();
                                       item = made.get();
                                       return made;
                                   },
                                   [&] { ++settingsOpened; }};
    {
        AppDelegate delegate({QStringLiteral("kalvix"), QStringLiteral("--open-settings=yes")}, services);
        delegate.applicationDidFinishLaunching();
        ASSERT_NE(item, nullptr);
        ASSERT_FALSE(item->titles.isEmpty());
        EXPECT_EQ(item->titles.first(), AppDelegate::clock().menuBarTitle());
        EXPECT_DOUBLE_EQ(item->lastFont.pointSizeF(), 14.5);
        EXPECT_EQ(item->lastFont.weight(), QFont::Medium);
        EXPECT_DOUBLE_EQ(item->lastOffset, 0.5);
        EXPECT_EQ(settingsOpened, 0);
        EXPECT_EQ(login.registrations, 1);

        // The status item's click toggles the same popover window, content kept between showings.
        QWidget* content = delegate.popover()->content();
        Q_EMIT item->activated(QPoint(100, 10));
        EXPECT_TRUE(delegate.popover()->isShown());
        Q_EMIT item->activated(QPoint(100, 10));
        EXPECT_FALSE(delegate.popover()->isShown());
        EXPECT_EQ(delegate.popover()->content(), content);
    }
    AppDelegate second({QStringLiteral("kalvix"), QStringLiteral("--open-settings")}, services);
    second.applicationDidFinishLaunching();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(login.registrations, 1); // not again on a later launch
}

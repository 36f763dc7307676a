#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/PopoverWindow.h"
#include "app/SettingsOpener.h"
#include "app/ShellActions.h"
#include "clock/ClockModel.h"
#include "context/SettingsState.h"
#include "desktop/LoginItems.h"
#include "popover/CompactView.h"
#include "popover/HeaderLink.h"
#include "popover/PopoverRoot.h"
#include "popover/StandardHeader.h"
#include "popover/StandardMenu.h"
#include "popover/StandardView.h"
#include "prefs/Prefs.h"
#include "settings/SettingsView.h"
#include "statusitem/StatusItem.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::MemoryPreferencesStore;

namespace {

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
    test::RecordingLoginItems failing;
    failing.succeed = false;
    AppDelegate::registerLoginItemOnce(prefs, failing);
    AppDelegate::registerLoginItemOnce(prefs, failing);
    EXPECT_EQ(failing.registrations, 1);
    EXPECT_TRUE(prefs.value(Pref::didRegisterLoginItem));

    MemoryPreferencesStore fresh;
    fresh.simulateExternalEdit({{Pref::didRegisterLoginItem.name, QStringLiteral("true")}});
    test::RecordingLoginItems ok;
    AppDelegate::registerLoginItemOnce(fresh, ok);
    EXPECT_EQ(ok.registrations, 0);
}

TEST(AppDelegate, launchShowsTheTitleAtOnceAndOpensSettingsOnlyOnTheExactArgument)
{
    app();
    test::TestContext fakes(Instant{test::utcSeconds(2026, 7, 5, 14, 5, 9)});
    RecordingStatusItem* item = nullptr;
    const auto makeItem = [&] {
        auto made = std::make_unique<RecordingStatusItem>();
        item = made.get();
        return made;
    };
    {
        AppDelegate delegate(
            {QStringLiteral("kalvix"), QStringLiteral("--open-settings=yes")}, fakes.context(), makeItem);
        delegate.applicationDidFinishLaunching();
        ASSERT_NE(item, nullptr);
        ASSERT_FALSE(item->titles.isEmpty());
        EXPECT_EQ(item->titles.first(), QStringLiteral("Sun, 5 Jul 2026 15:05"));
        EXPECT_DOUBLE_EQ(item->lastFont.pointSizeF(), 14.5);
        EXPECT_EQ(item->lastFont.weight(), QFont::Medium);
        EXPECT_DOUBLE_EQ(item->lastOffset, 0.5);
        EXPECT_TRUE(fakes.actions.settingsTabs.empty());
        EXPECT_EQ(fakes.loginItems.registrations, 1);
        EXPECT_EQ(fakes.loginItems.refreshes, 1) << "an entry whose program moved is pointed at this one";

        // The title follows the context's clock.
        fakes.advance(60);
        EXPECT_EQ(item->titles.last(), QStringLiteral("Sun, 5 Jul 2026 15:06"));

        // The status item's click toggles the same popover window, content kept between showings.
        QWidget* content = delegate.popover()->content();
        Q_EMIT item->activated(QRect(100, 10, 1, 1));
        EXPECT_TRUE(delegate.popover()->isShown());
        Q_EMIT item->activated(QRect(100, 10, 1, 1));
        EXPECT_FALSE(delegate.popover()->isShown());
        EXPECT_EQ(delegate.popover()->content(), content);

        // The item's menu goes through the shell's actions.
        Q_EMIT item->settingsRequested();
        Q_EMIT item->quitRequested();
        EXPECT_EQ(fakes.actions.settingsTabs, std::vector<SettingsTab>{SettingsTab::general});
        EXPECT_EQ(fakes.actions.quits, 1);
    }
    AppDelegate second({QStringLiteral("kalvix"), QStringLiteral("--open-settings")}, fakes.context(), makeItem);
    second.applicationDidFinishLaunching();
    EXPECT_EQ(fakes.actions.settingsTabs.size(), 2u);
    EXPECT_EQ(fakes.loginItems.registrations, 1); // not again on a later launch
}

namespace {

// The widget of the layout shown in the popover, of type T.
template <typename T> T* shownLayout(AppDelegate& delegate)
{
    return qobject_cast<T*>(qobject_cast<PopoverRoot*>(delegate.popover()->content())->currentLayout());
}

HeaderLink* editLink(AppDelegate& delegate, SettingsTab tab)
{
    for (HeaderLink* link : shownLayout<StandardView>(delegate)->findChildren<HeaderLink*>())
        if (link->tab() == tab)
            return link;
    return nullptr;
}

struct SettingsWay {
    const char* name;
    bool compact;
    SettingsTab tab;
    std::function<void(AppDelegate&, RecordingStatusItem&)> open;
};

} // namespace

class SettingsFromThePopover : public ::testing::TestWithParam<SettingsWay> {};

// The real opener and window: Settings is open already, behind the popover, when the user asks for it.
TEST_P(SettingsFromThePopover, closesThePopoverFirstAlsoWhenSettingsIsOpenAlready)
{
    const SettingsWay& way = GetParam();
    app();
    test::TestContext fakes(Instant{test::utcSeconds(2026, 3, 5, 9, 41)});
    fakes.prefs.set(Pref::compactMode, way.compact);
    SettingsOpener opener(fakes.settingsState,
                          [&](QWidget* window) { return new SettingsView(fakes.context(), window); });
    ShellActions shell(CalendarAppLauncher::Environment{}, opener);
    AppContext context{fakes.prefs,
                       fakes.time,
                       fakes.clock,
                       fakes.calendar,
                       fakes.worldClocks,
                       fakes.countdowns,
                       fakes.settingsState,
                       fakes.loginItems,
                       shell};
    RecordingStatusItem* item = nullptr;
    AppDelegate delegate({QStringLiteral("kalvix")}, context, [&] {
        auto made = std::make_unique<RecordingStatusItem>();
        item = made.get();
        return made;
    });
    delegate.popover()->setAttribute(Qt::WA_DontShowOnScreen);
    delegate.applicationDidFinishLaunching();
    opener.open(SettingsTab::general);
    ASSERT_TRUE(opener.window()->isVisible());

    delegate.togglePopover(QRect(640, 10, 1, 1));
    ASSERT_TRUE(delegate.popover()->isShown());
    way.open(delegate, *item);
    EXPECT_FALSE(delegate.popover()->isShown()) << "the next click goes to Settings, not to closing the popover";
    EXPECT_TRUE(opener.window()->isVisible());
    EXPECT_EQ(fakes.settingsState.tab(), way.tab);

    // With Settings hidden, the same: closed, then the window made visible again.
    opener.window()->close();
    delegate.togglePopover(QRect(640, 10, 1, 1));
    way.open(delegate, *item);
    EXPECT_FALSE(delegate.popover()->isShown());
    EXPECT_TRUE(opener.window()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Ways,
    SettingsFromThePopover,
    ::testing::Values(SettingsWay{"menu_settings",
                                  false,
                                  SettingsTab::general,
                                  [](AppDelegate& d, RecordingStatusItem&) {
                                      auto* header =
                                          qobject_cast<StandardHeader*>(shownLayout<StandardView>(d)->header());
                                      header->menu()->settingsAction()->trigger();
                                  }},
                      SettingsWay{"world_clocks_edit",
                                  false,
                                  SettingsTab::worldClocks,
                                  [](AppDelegate& d, RecordingStatusItem&) {
                                      QTest::mouseClick(editLink(d, SettingsTab::worldClocks)->button(),
                                                        Qt::LeftButton);
                                  }},
                      SettingsWay{"countdowns_edit",
                                  false,
                                  SettingsTab::countdowns,
                                  [](AppDelegate& d, RecordingStatusItem&) {
                                      QTest::mouseClick(editLink(d, SettingsTab::countdowns)->button(), Qt::LeftButton);
                                  }},
                      SettingsWay{"compact_gear",
                                  true,
                                  SettingsTab::general,
                                  [](AppDelegate& d, RecordingStatusItem&) {
                                      QTest::mouseClick(shownLayout<CompactView>(d)->settingsButton(), Qt::LeftButton);
                                  }},
                      SettingsWay{"status_item_menu",
                                  false,
                                  SettingsTab::general,
                                  [](AppDelegate&, RecordingStatusItem& item) { Q_EMIT item.settingsRequested(); }},
                      SettingsWay{"another_kalvix_asking",
                                  false,
                                  SettingsTab::general,
                                  [](AppDelegate& d, RecordingStatusItem&) { d.openSettings(SettingsTab::general); }}),
    [](const auto& row) { return std::string(row.param.name); });

#include "app/SettingsOpener.h"
#include "context/SettingsState.h"
#include "settings/SettingsView.h"
#include "tests/support/QtPrinters.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "tests/support/TestApplication.h"
#include "tests/support/TestContext.h"

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

QApplication& app()
{
    return test::testApplication<QApplication>();
}

TEST(SettingsOpener, makesOneWindowAndShowsItWhereTheUserLeftIt)
{
    app();
    test::TestContext fakes;
    SettingsOpener opener(fakes.settingsState,
                          [&](QWidget* window) { return new SettingsView(fakes.context(), window); });
    EXPECT_EQ(opener.window(), nullptr);
    QSignalSpy tabs(&fakes.settingsState, &SettingsState::tabChanged);

    opener.open(SettingsTab::countdowns);
    QWidget* window = opener.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fakes.settingsState.tab(), SettingsTab::countdowns);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kalvix Settings"));
    EXPECT_EQ(window->size(), QSize(480, 560));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // not resizable
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    // Its content centred on the screen when made.
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 1);
    auto* view = window->findChild<SettingsView*>();
    ASSERT_NE(view, nullptr);
    view->finishScrolling();
    EXPECT_EQ(view->sectionAtTop(), SettingsTab::countdowns);

    opener.open(SettingsTab::countdowns);
    EXPECT_EQ(opener.window(), window);
    int settingsWindows = 0;
    for (const QWidget* w : QApplication::topLevelWidgets())
        settingsWindows += w->windowTitle() == QStringLiteral("Kalvix Settings") ? 1 : 0;
    EXPECT_EQ(settingsWindows, 1);
    EXPECT_EQ(tabs.count(), 2); // the same section asked again is announced again, to scroll to it

    window->move(37, 41);
    const QPoint left = window->pos();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());

    opener.open(SettingsTab::worldClocks);
    EXPECT_EQ(opener.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pos(), left);
    view->finishScrolling();
    EXPECT_EQ(view->sectionAtTop(), SettingsTab::worldClocks);

    window->showMinimized();
    opener.open(SettingsTab::general);
    EXPECT_FALSE(window->isMinimized());
    view->finishScrolling();
    EXPECT_EQ(view->sectionAtTop(), SettingsTab::general);
}

struct CloseKeyRow {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

class SettingsCloseKeys : public ::testing::TestWithParam<CloseKeyRow> {};

TEST_P(SettingsCloseKeys, closeTheWindowFromWhereverTheFocusIs)
{
    const CloseKeyRow& row = GetParam();
    app();
    test::TestContext fakes;
    SettingsOpener opener(fakes.settingsState,
                          [&](QWidget* window) { return new SettingsView(fakes.context(), window); });
    opener.open(SettingsTab::general);
    QWidget* window = opener.window();
    QApplication::setActiveWindow(window);
    QWidget* first = window->nextInFocusChain();
    while (first != window && !(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, row.key, row.modifiers);
    EXPECT_FALSE(window->isVisible());
    opener.open(SettingsTab::general);
    EXPECT_TRUE(window->isVisible()) << "only hidden: opened again, the same window";
    EXPECT_EQ(opener.window(), window);
}

INSTANTIATE_TEST_SUITE_P(Keys,
                         SettingsCloseKeys,
                         ::testing::Values(CloseKeyRow{"escape", Qt::Key_Escape, Qt::NoModifier},
                                           CloseKeyRow{"ctrl_w", Qt::Key_W, Qt::ControlModifier}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace

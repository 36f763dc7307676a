// The popover's root switching layouts with its spring, the window following its size, and the shared chrome.
#include "popover/PopoverRoot.h"
#include "app/PopoverWindow.h"
#include "context/SettingsState.h"
#include "popover/CompactView.h"
#include "popover/HeaderLink.h"
#include "popover/MonthGridView.h"
#include "popover/SpringCurve.h"
#include "popover/StandardView.h"
#include "popover/ViewModePicker.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/PlainButton.h"

#include <QActionGroup>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

Instant thursday()
{
    return local(2026, 3, 5, 9, 41);
}

qreal opacityOf(QWidget* widget)
{
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

// The popover window as the shell makes it, holding a root, shown (not on screen).
struct Shown {
    Shown()
        : fakes(thursday())
    {
        window.setAttribute(Qt::WA_DontShowOnScreen);
        root = new PopoverRoot(fakes.context());
        window.setContent(root);
        window.showAt(QRect(640, 10, 1, 1));
        settle();
    }
    void settle() { QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); }

    QApplication& app = popoverApp();
    TestContext fakes;
    PopoverWindow window;
    PopoverRoot* root = nullptr;
};

} // namespace

TEST(SpringCurve, startsAtRestSettlesOnTheTargetAndBarelyOvershoots)
{
    EXPECT_EQ(SpringCurve::progress(0), 0);
    EXPECT_EQ(SpringCurve::progress(1), 1) << "ends exactly on the target";
    double highest = 0, previous = 0;
    bool risingUntilTarget = true;
    for (int ms = 1; ms <= SpringCurve::kDurationMs; ++ms) {
        const double x = SpringCurve::position(ms / 1000.0);
        highest = std::max(highest, x);
        if (x < 1 && x < previous)
            risingUntilTarget = false;
        previous = x;
    }
    EXPECT_TRUE(risingUntilTarget);
    EXPECT_GT(highest, 1.0) << "underdamped: it overshoots";
    EXPECT_LT(highest, 1.003) << "damping 0.9: by less than a third of a percent";
    EXPECT_NEAR(SpringCurve::position(SpringCurve::kDurationMs / 1000.0), 1, 0.001) << "settled when the curve ends";
    // Response 0.35 s: most of the way there well within it.
    EXPECT_GT(SpringCurve::position(0.175), 0.75);
    EXPECT_LT(SpringCurve::position(0.05), 0.35);
}

TEST(PopoverRoot, withoutThePreferenceTheStandardLayoutAt640)
{
    Shown s;
    EXPECT_FALSE(s.root->isCompact());
    EXPECT_NE(qobject_cast<StandardView*>(s.root->currentLayout()), nullptr);
    EXPECT_EQ(s.root->width(), PopoverRoot::kStandardWidth);
    EXPECT_EQ(s.window.size(), s.root->size()) << "the window takes the content's size";
    EXPECT_EQ(s.root->height(), PopoverRoot::naturalHeight(s.root->currentLayout(), 640));
}

TEST(PopoverRoot, aSwitchWhileShownMovesTheWidthAndCrossFadesThenShowsTheCurrentMonth)
{
    Shown s;
    auto* standard = qobject_cast<StandardView*>(s.root->currentLayout());
    QTest::mouseClick(standard->monthGrid()->nextButton(), Qt::LeftButton);
    const int standardHeight = s.root->height();

    s.fakes.prefs.set(Pref::compactMode, true);
    QVariantAnimation* spring = s.root->switchAnimation();
    EXPECT_EQ(spring->state(), QAbstractAnimation::Running);
    EXPECT_EQ(s.root->leavingLayout(), standard);
    auto* compact = qobject_cast<CompactView*>(s.root->currentLayout());
    ASSERT_NE(compact, nullptr);

    spring->setCurrentTime(40);
    s.settle();
    const int width = s.root->width();
    EXPECT_GT(width, 300);
    EXPECT_LT(width, 640);
    const qreal p = (640.0 - width) / 340.0;
    EXPECT_NEAR(opacityOf(standard), 1 - p, 0.02) << "width and fade in one animation";
    EXPECT_NEAR(opacityOf(compact), p, 0.02);
    EXPECT_EQ(s.window.width(), width) << "the window follows every frame";
    EXPECT_EQ(standard->geometry().top(), 0);
    EXPECT_EQ(compact->geometry().top(), 0);
    EXPECT_NEAR(compact->geometry().center().x(), s.root->rect().center().x(), 1) << "top-aligned, centred";

    spring->setCurrentTime(spring->duration());
    s.settle();
    EXPECT_EQ(s.root->leavingLayout(), nullptr);
    EXPECT_EQ(s.root->width(), 300);
    EXPECT_EQ(s.window.width(), 300);
    EXPECT_EQ(s.root->height(), PopoverRoot::naturalHeight(compact, 300));
    EXPECT_EQ(compact->graphicsEffect(), nullptr);
    EXPECT_EQ(CivilCalendar::current().dateOf(compact->monthGrid()->displayedMonth())->month, 3);
    EXPECT_TRUE(s.root->findChildren<StandardView*>().isEmpty()) << "the old layout is discarded";

    // And back: a fresh Standard layout, on the current month, at its full height again.
    s.fakes.prefs.set(Pref::compactMode, false);
    s.root->switchAnimation()->setCurrentTime(s.root->switchAnimation()->duration());
    s.settle();
    auto* again = qobject_cast<StandardView*>(s.root->currentLayout());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(CivilCalendar::current().dateOf(again->monthGrid()->displayedMonth())->month, 3);
    EXPECT_EQ(s.root->width(), 640);
    EXPECT_EQ(s.root->height(), standardHeight);
}

TEST(PopoverRoot, theWindowStaysCentredOnItsItemWhileASwitchChangesItsWidth)
{
    Shown s;
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect item(screen->geometry().center().x(), 10, 1, 1);
    s.window.showAt(item);
    s.settle();
    s.fakes.prefs.set(Pref::compactMode, true);
    for (const int ms : {40, s.root->switchAnimation()->duration()}) {
        s.root->switchAnimation()->setCurrentTime(ms);
        s.settle();
        EXPECT_NEAR(s.window.geometry().center().x(), item.center().x(), 1) << "at " << ms << " ms";
    }
    EXPECT_EQ(s.window.width(), 300);
}

TEST(PopoverRoot, aSwitchWhileClosedTakesEffectAtOnceAndShowsAtTheNextOpening)
{
    Shown s;
    s.window.closePopover();
    s.fakes.prefs.set(Pref::compactMode, true);
    EXPECT_NE(s.root->switchAnimation()->state(), QAbstractAnimation::Running);
    EXPECT_EQ(s.root->leavingLayout(), nullptr);
    EXPECT_NE(qobject_cast<CompactView*>(s.root->currentLayout()), nullptr);
    s.window.showAt(QRect(640, 10, 1, 1));
    s.settle();
    EXPECT_EQ(s.window.width(), 300);
    EXPECT_TRUE(s.root->currentLayout()->isVisible());
}

TEST(PopoverRoot, theWindowFollowsTheLayoutWhenItsContentGrows)
{
    popoverApp();
    TestContext fakes(thursday(), CalendarAccess::notDetermined);
    fakes.prefs.set(Pref::compactMode, true);
    fakes.store.add(timed("Sync", thursday() + 600, thursday() + 1800));
    PopoverWindow window;
    window.setAttribute(Qt::WA_DontShowOnScreen);
    auto* root = new PopoverRoot(fakes.context());
    window.setContent(root);
    window.showAt(QRect(640, 10, 1, 1));
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const int before = window.height();
    fakes.store.answer(true); // the agenda appears
    processQueued();
    for (int i = 0; i < 3; ++i)
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_GT(window.height(), before);
    EXPECT_EQ(window.height(), PopoverRoot::naturalHeight(root->currentLayout(), 300));
}

TEST(HeaderLink, opensSettingsAtItsSectionFromAClickOrTheKeyboard)
{
    popoverApp();
    TestContext fakes(thursday());
    HeaderLink link(u"Edit"_qs, SettingsTab::worldClocks, fakes.actions);
    link.setAttribute(Qt::WA_DontShowOnScreen);
    link.show();
    // Anywhere on the label: near its corners too, what is under the pointer is the button.
    for (const QPoint at : {QPoint(1, 1), QPoint(link.width() - 2, link.height() - 2)})
        ASSERT_EQ(link.childAt(at), link.button());
    QTest::mouseClick(link.button(), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::keyClick(link.button(), Qt::Key_Return);
    EXPECT_EQ(fakes.actions.settingsTabs,
              (std::vector<SettingsTab>{SettingsTab::worldClocks, SettingsTab::worldClocks}));
    EXPECT_EQ(link.button()->text(), u"Edit"_qs);
    EXPECT_EQ(link.button()->accessibleDescription(), u"Opens Settings at World Clocks"_qs);
    EXPECT_EQ(link.button()->font().pixelSize(), 14);
    const QImage image = render(link, 2);
    int accent = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            accent += image.pixelColor(x, y).alpha() > 200 &&
                      sameRgb(image.pixelColor(x, y), ui::roleColor(ui::ColorRole::accent, link.palette()), 8);
    EXPECT_GT(accent, 20) << "drawn in the accent colour";
}

TEST(ViewModePicker, bothFormsWriteThePreferenceAndFollowItsChanges)
{
    popoverApp();
    TestContext fakes(thursday());
    ViewModePicker picker(fakes.prefs);
    QMenu menu;
    QActionGroup* group = ViewModePicker::addToMenu(menu, fakes.prefs);
    const auto actions = group->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), u"Standard"_qs);
    EXPECT_EQ(actions[1]->text(), u"Compact"_qs);
    EXPECT_TRUE(actions[0]->isChecked()) << "no preference: Standard";
    EXPECT_TRUE(picker.standardOption()->isChecked());

    actions[1]->trigger();
    EXPECT_TRUE(fakes.prefs.value(Pref::compactMode));
    EXPECT_TRUE(picker.compactOption()->isChecked()) << "the other form follows";

    fakes.prefs.simulateExternalEdit({{Pref::compactMode.name, u"false"_qs}}); // a hand edit of the file
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_TRUE(picker.standardOption()->isChecked());

    QTest::mouseClick(picker.compactOption(), Qt::LeftButton);
    EXPECT_TRUE(fakes.prefs.value(Pref::compactMode));
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_EQ(picker.accessibleName(), u"View"_qs);
}

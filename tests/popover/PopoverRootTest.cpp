// The popover's root switching layouts with its spring, the window following its size, and the shared chrome.
#include "popover/PopoverRoot.h"
#include "app/AppDelegate.h"
#include "app/PopoverWindow.h"
#include "context/SettingsState.h"
#include "popover/AgendaEventRow.h"
#include "popover/CalendarAppNotice.h"
#include "popover/CompactAgenda.h"
#include "popover/CompactView.h"
#include "popover/HeaderLink.h"
#include "popover/MonthGridView.h"
#include "popover/OverflowArea.h"
#include "popover/SpringCurve.h"
#include "popover/StandardHeader.h"
#include "popover/StandardView.h"
#include "popover/UpNextView.h"
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
#include <QScrollBar>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

#include <string>

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

namespace {

// Laptop screens and the panels on them, in logical pixels. The item is where the panel's tray puts it.
struct FitRow {
    const char* name;
    QRect screen;
    QRect available; // what the panels leave free
    QRect panel;     // the panel that holds the item
    QRect item;
    bool compact;
};

const QRect k1280(0, 0, 1280, 800);
const QRect k1366(0, 0, 1366, 768);
// A 2732x1536 screen at scale 2, right of the first monitor.
const QRect kSecondAtScale2(1280, 0, 1366, 768);
// A screen where even the Compact agenda of a busy week fits, under a panel.
const QRect kTall(0, 0, 1920, 2160);
const QRect kTallFree(0, 29, 1920, 2131);

std::vector<FitRow> fitRows()
{
    std::vector<FitRow> rows;
    for (const bool compact : {false, true}) {
        const char* layout = compact ? "compact" : "standard";
        const auto name = [layout](const char* where) {
            static std::vector<std::unique_ptr<std::string>> names; // kept for the rows' lifetime
            names.push_back(std::make_unique<std::string>(std::string(where) + "_" + layout));
            return names.back()->c_str();
        };
        rows.push_back({name("1280x800_top_panel"),
                        k1280,
                        QRect(0, 29, 1280, 771),
                        QRect(0, 0, 1280, 29),
                        QRect(1180, 3, 40, 22),
                        compact});
        rows.push_back({name("1280x800_bottom_panel"),
                        k1280,
                        QRect(0, 0, 1280, 771),
                        QRect(0, 771, 1280, 29),
                        QRect(1180, 774, 40, 22),
                        compact});
        rows.push_back({name("1366x768_top_panel"),
                        k1366,
                        QRect(0, 28, 1366, 740),
                        QRect(0, 0, 1366, 28),
                        QRect(1300, 3, 40, 22),
                        compact});
        rows.push_back({name("1366x768_bottom_panel"),
                        k1366,
                        QRect(0, 0, 1366, 740),
                        QRect(0, 740, 1366, 28),
                        QRect(1300, 743, 40, 22),
                        compact});
        rows.push_back({name("1366x768_left_dock"),
                        k1366,
                        QRect(64, 0, 1302, 768),
                        QRect(0, 0, 64, 768),
                        QRect(10, 700, 44, 44),
                        compact});
        rows.push_back({name("second_monitor_at_scale_2_top_panel"),
                        kSecondAtScale2,
                        QRect(1280, 28, 1366, 740),
                        QRect(1280, 0, 1366, 28),
                        QRect(2560, 3, 40, 22),
                        compact});
    }
    return rows;
}

QStringList sixCities()
{
    return {u"London"_qs, u"New York"_qs, u"Dubai"_qs, u"Tokyo"_qs, u"San Francisco"_qs, u"Sydney"_qs};
}

// Five events on each of the next seven days: the agenda's 30 events, and more.
std::vector<CalendarOccurrence> busyWeek()
{
    static const char* const titles[] = {"Stand-up", "Design review", "Lunch with Maya", "Support rota", "Gym"};
    std::vector<CalendarOccurrence> events;
    for (int day = 0; day < 7; ++day)
        for (int i = 0; i < 5; ++i)
            events.push_back(timed(titles[i], local(2026, 3, 5 + day, 10 + i), local(2026, 3, 5 + day, 10 + i, 45)));
    return events;
}

// Kalvix as launched (the delegate's popover with its content), with six world clocks and a busy week.
struct Launched {
    explicit Launched(bool compact)
        : fakes(thursday())
    {
        fakes.worldClocks.setCityNames(sixCities());
        fakes.store.setOccurrences(busyWeek());
        fakes.store.announceChange();
        processQueued();
        fakes.prefs.set(Pref::compactMode, compact);
        delegate = std::make_unique<AppDelegate>(QStringList{u"kalvix"_qs}, fakes.context(), nullptr);
        popover()->setAttribute(Qt::WA_DontShowOnScreen);
        delegate->applicationDidFinishLaunching();
    }
    PopoverWindow* popover() const { return delegate->popover(); }
    PopoverRoot* root() const { return qobject_cast<PopoverRoot*>(popover()->content()); }
    // What the event loop's next turns would do: layouts settle, and the scroll areas show or hide their
    // bars (which they do in a queued call).
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::sendPostedEvents();
        }
    }

    QApplication& app = popoverApp();
    TestContext fakes;
    std::unique_ptr<AppDelegate> delegate;
};

// A turn of the wheel over `over`, delivered as the application delivers the device's: to the widget under
// the pointer, then up through its parents until one takes it.
void wheelDown(QWidget* over)
{
    const QPointF globalAt = over->mapToGlobal(QPointF(over->width() / 2.0, over->height() / 2.0));
    for (QWidget* widget = over; widget; widget = widget->parentWidget()) {
        QWheelEvent wheel(widget->mapFromGlobal(globalAt),
                          globalAt,
                          QPoint(),
                          QPoint(0, -120),
                          Qt::NoButton,
                          Qt::NoModifier,
                          Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(widget, &wheel);
        if (wheel.isAccepted() || widget->isWindow())
            return;
    }
}

// Whether `widget` shows whole inside the area's viewport.
bool wholeInView(const OverflowArea* area, const QWidget* widget)
{
    const QRect inViewport(widget->mapTo(area->viewport(), QPoint(0, 0)), widget->size());
    return area->viewport()->rect().contains(inViewport);
}

} // namespace

class PopoverFit : public ::testing::TestWithParam<FitRow> {};

TEST_P(PopoverFit, neverTallerThanTheScreenNorOverItsPanelAndTheRestScrolls)
{
    const FitRow& row = GetParam();
    Launched k(row.compact);
    k.popover()->showAt(row.item, row.screen, row.available);
    k.settle();
    const QRect window = k.popover()->geometry();
    const QRect room = k.popover()->room();
    const int width = row.compact ? PopoverRoot::kCompactWidth : PopoverRoot::kStandardWidth;
    const int natural = PopoverRoot::naturalHeight(k.root()->currentLayout(), width);

    EXPECT_TRUE(row.screen.contains(window)) << "on screen";
    EXPECT_TRUE(row.available.contains(window)) << "inside what the panels leave free";
    EXPECT_FALSE(window.intersects(row.panel)) << "a second click on the item reaches the item";
    EXPECT_TRUE(room.contains(window));
    EXPECT_GT(natural, room.height()) << "the case this row is about: it does not fit";
    EXPECT_EQ(window.height(), room.height()) << "as tall as the room, no taller";
    EXPECT_EQ(window.width(), width);
    EXPECT_EQ(k.root()->currentLayout()->height(), window.height());

    if (!row.compact) {
        auto* standard = qobject_cast<StandardView*>(k.root()->currentLayout());
        ASSERT_NE(standard, nullptr);
        // The header stays whole; the rest scrolls, and the columns keep their width beside the bar.
        EXPECT_EQ(standard->header()->height(), standard->header()->sizeHint().height());
        EXPECT_TRUE(standard->body()->overflows());
        EXPECT_EQ(standard->monthGrid()->width(), 280);
        EXPECT_EQ(standard->monthGrid()->height(), standard->monthGrid()->sizeHint().height())
            << "the month keeps all its weeks, scrolled rather than squeezed";
        EXPECT_EQ(rectIn(standard->upNext(), standard).right(), width - 24 - 1);

        // The wheel over any part of the body scrolls it.
        const int before = standard->body()->verticalScrollBar()->value();
        wheelDown(standard->footer());
        EXPECT_GT(standard->body()->verticalScrollBar()->value(), before);

        // A control that takes the focus comes into view: back to the top, then to the footer's end.
        standard->body()->verticalScrollBar()->setValue(standard->body()->verticalScrollBar()->maximum());
        QApplication::setActiveWindow(k.popover());
        standard->monthGrid()->nextButton()->setFocus(Qt::BacktabFocusReason);
        EXPECT_TRUE(wholeInView(standard->body(), standard->monthGrid()->nextButton()));
    } else {
        auto* compact = qobject_cast<CompactView*>(k.root()->currentLayout());
        ASSERT_NE(compact, nullptr);
        // The grid and the buttons stay whole; the agenda scrolls inside.
        EXPECT_EQ(compact->monthGrid()->height(), compact->monthGrid()->sizeHint().height());
        EXPECT_TRUE(rectIn(compact->quitButton(), compact).bottom() < window.height());
        EXPECT_TRUE(compact->agendaArea()->overflows());
        // The bar takes the right padding, and no more of the agenda than it is wider.
        const int bar = compact->agendaArea()->verticalScrollBar()->width();
        EXPECT_EQ(compact->agenda()->width(), width - 12 - std::max(12, bar));
        const int before = compact->agendaArea()->verticalScrollBar()->value();
        wheelDown(compact->agenda()->eventRows().first());
        EXPECT_GT(compact->agendaArea()->verticalScrollBar()->value(), before);
    }

    // Shown again where there is room, it takes its natural height again, and nothing scrolls.
    k.popover()->closePopover();
    k.popover()->showAt(QRect(1800, 3, 40, 22), kTall, kTallFree);
    k.settle();
    EXPECT_EQ(k.popover()->height(), natural);
    const OverflowArea* area = row.compact ? qobject_cast<CompactView*>(k.root()->currentLayout())->agendaArea()
                                           : qobject_cast<StandardView*>(k.root()->currentLayout())->body();
    EXPECT_FALSE(area->overflows());
    EXPECT_FALSE(area->verticalScrollBar()->isVisibleTo(area));
}

INSTANTIATE_TEST_SUITE_P(LaptopScreens, PopoverFit, ::testing::ValuesIn(fitRows()), [](const auto& row) {
    return std::string(row.param.name);
});

TEST(PopoverFit, whereItFitsTheLayoutIsExactlyItsNaturalSelf)
{
    for (const bool compact : {false, true}) {
        Launched k(compact);
        k.popover()->showAt(QRect(1800, 3, 40, 22), kTall, kTallFree);
        k.settle();
        QWidget* layout = k.root()->currentLayout();
        const int width = compact ? PopoverRoot::kCompactWidth : PopoverRoot::kStandardWidth;
        // Laid out on its own at its natural height, as the snapshots draw it: the same height, and every
        // part at the same place as in the popover.
        std::unique_ptr<QWidget> alone(compact ? static_cast<QWidget*>(new CompactView(k.fakes.context()))
                                               : static_cast<QWidget*>(new StandardView(k.fakes.context())));
        layOut(*alone, width);
        EXPECT_EQ(k.popover()->height(), alone->height()) << (compact ? "compact" : "standard");
        const QList<QWidget*> inPopover = layout->findChildren<QWidget*>();
        const QList<QWidget*> inAlone = alone->findChildren<QWidget*>();
        ASSERT_EQ(inPopover.size(), inAlone.size());
        for (qsizetype i = 0; i < inPopover.size(); ++i)
            if (inAlone[i]->isVisibleTo(alone.get())) {
                EXPECT_EQ(rectIn(inPopover[i], layout), rectIn(inAlone[i], alone.get()))
                    << inAlone[i]->metaObject()->className();
            }
    }
}

TEST(PopoverRoot, aMissingCalendarApplicationKeepsThePopoverOpenSayingSoAndOneThatOpensClosesIt)
{
    Launched k(false);
    k.popover()->showAt(QRect(1800, 3, 40, 22), kTall, kTallFree);
    k.settle();
    ASSERT_TRUE(k.popover()->isVisible());
    auto* standard = qobject_cast<StandardView*>(k.root()->currentLayout());
    ASSERT_NE(standard, nullptr);
    ui::PlainButton* viewAll = standard->upNext()->viewAllLink();

    k.fakes.actions.calendarAppOutcome = CalendarAppOutcome::none;
    viewAll->click();
    EXPECT_TRUE(k.popover()->isVisible()) << "the popover stays to say what could not be done";
    EXPECT_TRUE(standard->calendarAppNotice()->isVisible());

    k.fakes.actions.calendarAppOutcome = CalendarAppOutcome::opening;
    viewAll->click();
    EXPECT_FALSE(k.popover()->isVisible()) << "the calendar application takes the next click";
    EXPECT_FALSE(standard->calendarAppNotice()->isVisibleTo(standard));
    EXPECT_EQ(k.fakes.actions.plainCalendarOpens, 2);
}

// The month grid as a user meets it: clicks, double clicks, the header, the keyboard and what a screen
// reader hears, and as a designer measures it: squares, dots and rows read from what it painted.
#include "popover/MonthGridView.h"
#include "calendar/CalendarService.h"
#include "popover/DayCell.h"
#include "popover/DayGrid.h"
#include "popover/DotButton.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

constexpr int kStandardGridWidth = 280;
constexpr int kCompactGridWidth = 276;

// Thursday 5 March 2026, 09:41 in London.
Instant thursday()
{
    return local(2026, 3, 5, 9, 41);
}

CivilDate dateOf(Instant t)
{
    return *CivilCalendar::current().dateOf(t);
}

CivilDate shownMonth(const MonthGridView& grid)
{
    const CivilDate d = dateOf(grid.displayedMonth());
    return CivilDate{d.year, d.month, 1};
}

DayCell* cell(const MonthGridView& grid, int year, int month, int day)
{
    return grid.days()->cellFor(local(year, month, day));
}

QList<DayCell*> selectedCells(const MonthGridView& grid)
{
    QList<DayCell*> found;
    for (DayCell* c : grid.days()->cells())
        if (c->state().isSelected)
            found << c;
    return found;
}

struct Fixture {
    explicit Fixture(bool compact = false, Instant now = thursday())
        : fakes(now)
        , grid(fakes.context(), compact)
    {
        layOut(grid, compact ? kCompactGridWidth : kStandardGridWidth);
    }
    QApplication& app = popoverApp(); // before any widget
    TestContext fakes;
    MonthGridView grid;
};

} // namespace

TEST(MonthGridView, aClickSelectsADoubleClickAlsoOpensTheCalendarAndNeitherChangesTheMonth)
{
    Fixture f;
    DayCell* tenth = cell(f.grid, 2026, 3, 10);
    ASSERT_NE(tenth, nullptr);
    QTest::mouseClick(tenth, Qt::LeftButton);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 10));
    EXPECT_TRUE(f.fakes.actions.calendarDays.empty()) << "a single click opens nothing";

    // A leading day of February: selected, but the month stays.
    DayCell* february = cell(f.grid, 2026, 2, 27);
    ASSERT_NE(february, nullptr);
    QTest::mouseDClick(february, Qt::LeftButton);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 2, 27));
    ASSERT_EQ(f.fakes.actions.calendarDays.size(), 1u);
    EXPECT_EQ(f.fakes.actions.calendarDays.front(), local(2026, 2, 27));
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 3, 1}));
    EXPECT_EQ(selectedCells(f.grid), QList<DayCell*>{february});

    // A press that leaves the cell before release is no click.
    QTest::mousePress(tenth, Qt::LeftButton);
    QTest::mouseRelease(tenth, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 2, 27));
}

TEST(MonthGridView, headerNavigationWritesTheServiceAndKeepsTheSelectionsRing)
{
    // Monday first (en_GB): 31 January is the last of February 2026's six leading days.
    Fixture f(false, local(2026, 1, 31, 12));
    QTest::mouseClick(cell(f.grid, 2026, 1, 31), Qt::LeftButton);
    QTest::mouseClick(f.grid.nextButton(), Qt::LeftButton);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 2, 1}));
    EXPECT_TRUE(CivilCalendar::current().isSameDay(f.fakes.calendar.displayedMonth(), f.grid.displayedMonth()));
    DayCell* ring = cell(f.grid, 2026, 1, 31);
    ASSERT_NE(ring, nullptr);
    EXPECT_FALSE(ring->state().inDisplayedMonth);
    EXPECT_EQ(selectedCells(f.grid), QList<DayCell*>{ring});
    EXPECT_EQ(f.grid.days()->cells().indexOf(ring), 5);

    QTest::mouseClick(f.grid.nextButton(), Qt::LeftButton);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 3, 1})) << "31 January, +1, +1 is March";
    QTest::mouseClick(f.grid.previousButton(), Qt::LeftButton);
    QTest::mouseClick(f.grid.previousButton(), Qt::LeftButton);
    QTest::mouseClick(f.grid.previousButton(), Qt::LeftButton);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2025, 12, 1}));
    EXPECT_EQ(f.fakes.calendar.displayedMonth(), f.grid.displayedMonth());

    // The title goes back to today's month; the service recomputes its dots even when it is shown already.
    QTest::mouseClick(f.grid.titleButton(), Qt::LeftButton);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 1, 1}));
    f.fakes.store.clearQueries();
    QTest::mouseClick(f.grid.titleButton(), Qt::LeftButton);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 1, 1}));
    EXPECT_EQ(f.fakes.store.queries().size(), 1u);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 1, 31)) << "navigation never clears the selection";
    EXPECT_EQ(f.grid.titleButton()->text(), u"January 2026"_qs);
    EXPECT_EQ(f.grid.titleButton()->toolTip(), u"Go to today"_qs);
}

TEST(MonthGridView, newDotsFromTheServiceReachTheCells)
{
    Fixture f;
    EXPECT_TRUE(cell(f.grid, 2026, 3, 12)->state().dots.isEmpty());
    f.fakes.store.add(timed("Planning", local(2026, 3, 12, 10), local(2026, 3, 12, 11), kBlue));
    f.fakes.store.add(timed("Lunch", local(2026, 3, 12, 12), local(2026, 3, 12, 13), kGreen));
    f.fakes.store.announceChange();
    processQueued();
    EXPECT_EQ(cell(f.grid, 2026, 3, 12)->state().dots, (DayColors{kBlue, kGreen}));
}

TEST(MonthGridView, theKeyboardMovesTheSelectionAcrossMonthEdgesAndOpensTheDay)
{
    Fixture f;
    DayGrid* days = f.grid.days();
    QTest::keyClick(days, Qt::Key_Right); // from today when nothing is selected
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 6));
    EXPECT_TRUE(days->showsFocus());
    QTest::keyClick(days, Qt::Key_Up);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 2, 27));
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 2, 1})) << "up out of the month shows the month before";
    EXPECT_EQ(f.fakes.calendar.displayedMonth(), f.grid.displayedMonth());
    QTest::keyClick(days, Qt::Key_Down);
    QTest::keyClick(days, Qt::Key_Left);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 5));
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 3, 1}));

    QTest::keyClick(days, Qt::Key_PageDown);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 4, 1}));
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 4, 5)) << "the selection comes along";
    QTest::keyClick(days, Qt::Key_PageUp);
    QTest::keyClick(days, Qt::Key_PageUp);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 2, 1}));
    QTest::keyClick(days, Qt::Key_Return);
    ASSERT_EQ(f.fakes.actions.calendarDays.size(), 1u);
    EXPECT_EQ(f.fakes.actions.calendarDays.back(), local(2026, 2, 5));

    QTest::keyClick(days, Qt::Key_Home);
    EXPECT_EQ(shownMonth(f.grid), (CivilDate{2026, 3, 1}));
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 5));
    QTest::keyClick(days, Qt::Key_Enter);
    EXPECT_EQ(f.fakes.actions.calendarDays.back(), local(2026, 3, 5));

    // Escape is the window's: the grid lets it through.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(days, &escape);
    EXPECT_FALSE(escape.isAccepted());
}

TEST(MonthGridView, tabReachesEveryButtonAndTheDaysAndEachHasAName)
{
    for (bool compact : {false, true}) {
        Fixture f(compact);
        QApplication::setActiveWindow(&f.grid);
        f.grid.titleButton()->setFocus(Qt::TabFocusReason);
        QList<QWidget*> reached{QApplication::focusWidget()};
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (!reached.contains(QApplication::focusWidget()))
                reached << QApplication::focusWidget();
        }
        QList<QWidget*> expected{f.grid.titleButton(), f.grid.previousButton()};
        if (compact)
            expected << f.grid.todayButton();
        expected << f.grid.nextButton() << f.grid.days();
        EXPECT_EQ(reached, expected) << (compact ? "compact" : "standard");
        EXPECT_TRUE(f.grid.days()->showsFocus()) << "reached with Tab, the focused day shows its ring";
        for (QWidget* w : expected) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className();
        }
    }
}

TEST(MonthGridView, aDayReadsItsDateItsEventsAndWhetherItIsToday)
{
    Fixture f;
    f.fakes.store.add(timed("Sync", local(2026, 3, 5, 9, 30), local(2026, 3, 5, 10), kBlue));
    f.fakes.store.add(timed("Lunch", local(2026, 3, 5, 12, 30), local(2026, 3, 5, 13, 30), kGreen));
    f.fakes.store.add(timed("Dentist", local(2026, 3, 9, 16), local(2026, 3, 9, 16, 30), kGreen));
    f.fakes.store.announceChange();
    processQueued();
    const auto name = [&](int month, int day) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(cell(f.grid, 2026, month, day));
        return a ? a->text(QAccessible::Name) : QString();
    };
    // The full date in the locale's own form (British English puts a comma after the weekday).
    EXPECT_EQ(name(3, 5), u"Thursday, 5 March 2026, 2 events, today"_qs);
    EXPECT_EQ(name(3, 9), u"Monday, 9 March 2026, 1 event"_qs);
    EXPECT_EQ(name(3, 10), u"Tuesday, 10 March 2026"_qs);
    QAccessibleInterface* today = QAccessible::queryAccessibleInterface(cell(f.grid, 2026, 3, 5));
    EXPECT_EQ(today->role(), QAccessible::Cell);
    EXPECT_FALSE(today->state().selected);
    today->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 5));
    EXPECT_TRUE(today->state().selected);
}

// An Arabic locale: the grid and its header mirrored as the layout direction says, Saturday first at the
// right, the chevrons pointing the way their buttons go, and the day numbers in the locale's own digits
// (as the clocks and dates around the grid are written).
TEST(MonthGridView, rightToLeftMirrorsTheGridAndItsChevronsAndWritesTheLocalesDigits)
{
    popoverApp();
    // The 5th, today: drawn the same but for its digit.
    auto fifth = [](const MonthGridView& grid) { return cell(grid, 2026, 3, 5)->grab().toImage(); };
    QImage latin;
    {
        Fixture f;
        latin = fifth(f.grid);
    }
    struct Arabic {
        ScopedEnv lc{"LC_ALL", "ar_EG.UTF-8"};
        Arabic()
        {
            QLocale::setDefault(QLocale(QStringLiteral("ar_EG")));
            QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        }
        ~Arabic()
        {
            QGuiApplication::setLayoutDirection(Qt::LeftToRight);
            QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        }
    } arabic;
    Fixture f;
    const int previous = f.grid.previousButton()->mapTo(&f.grid, QPoint()).x();
    const int next = f.grid.nextButton()->mapTo(&f.grid, QPoint()).x();
    EXPECT_GT(previous, next) << "back is at the right";
    EXPECT_EQ(f.grid.previousButton()->symbol(), QStringLiteral("chevron.right"));
    EXPECT_EQ(f.grid.nextButton()->symbol(), QStringLiteral("chevron.left"));
    EXPECT_GT(f.grid.titleButton()->mapTo(&f.grid, QPoint()).x(), previous) << "the month's name leads, at the right";

    const DayCell* thursday = cell(f.grid, 2026, 3, 5);
    const DayCell* friday = cell(f.grid, 2026, 3, 6);
    const DayCell* saturday = cell(f.grid, 2026, 3, 7);
    ASSERT_TRUE(thursday && friday && saturday);
    EXPECT_LT(friday->x(), thursday->x()) << "the days run from right to left";
    for (const DayCell* c : f.grid.days()->cells())
        EXPECT_LE(c->x(), saturday->x()) << "Saturday starts the week, at the right";

    QTest::keyClick(f.grid.days(), Qt::Key_Left);
    EXPECT_EQ(f.grid.selectedDay(), local(2026, 3, 6)) << "left is on, the way the days run";

    EXPECT_EQ(QLocale().toString(5), QStringLiteral("\u0665"));
    EXPECT_NE(fifth(f.grid), latin) << "the locale's digit, not the Latin one";
}

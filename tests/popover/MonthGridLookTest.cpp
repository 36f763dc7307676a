// The month grid measured from what it paints: squares, rings, dots, rows and colours, at the scales
// displays use.
#include "popover/DayCell.h"
#include "popover/DayGrid.h"
#include "popover/Divider.h"
#include "popover/DotButton.h"
#include "popover/MonthGridView.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/PlainButton.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kalvix;
using namespace kalvix::test;
using ui::ColorRole;

namespace {

const QColor kDotRed(220, 40, 40);
const QColor kDotBlue(30, 90, 220);

// The smallest rectangle, in logical units, holding every pixel that matches.
QRectF boundsOf(const QImage& image, const std::function<bool(QColor)>& matches)
{
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (matches(image.pixelColor(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return {};
    const qreal dpr = image.devicePixelRatio();
    return QRectF(left / dpr, top / dpr, (right - left + 1) / dpr, (bottom - top + 1) / dpr);
}

bool opaqueRgb(QColor c, QColor want)
{
    return c.alpha() > 200 && sameRgb(c, want, 12);
}

QColor accent()
{
    return ui::roleColor(ColorRole::accent, ui::lightPalette());
}

// A cell as the grid makes it, alone.
struct LoneCell {
    LoneCell(bool compact, DayCellState state)
        : cell(compact)
    {
        state.day = local(2026, 3, state.dayNumber);
        cell.setState(state);
    }
    QApplication& app = popoverApp(); // before the widget
    DayCell cell;
};

DayCellState stateOf(int day, bool inMonth, bool today, bool selected, DayColors dots = {})
{
    DayCellState s;
    s.dayNumber = day;
    s.inDisplayedMonth = inMonth;
    s.isToday = today;
    s.isSelected = selected;
    s.dots = std::move(dots);
    return s;
}

} // namespace

TEST(DayCellLook, todaysCircleFillsTheSquareWithAWhiteNumberAtEveryScale)
{
    for (bool compact : {false, true}) {
        const qreal square = compact ? 22 : 34;
        for (qreal dpr : {1.0, 1.25, 2.0}) {
            LoneCell lone(compact, stateOf(5, true, true, false));
            const QImage image = render(lone.cell, dpr);
            const QRectF circle = boundsOf(image, [](QColor c) { return opaqueRgb(c, accent()); });
            // Fully covered pixels only: an antialiased edge pixel on either side may fall short.
            EXPECT_NEAR(circle.width(), square, 1.6 / dpr) << compact << " at " << dpr;
            EXPECT_NEAR(circle.height(), square, 1.6 / dpr) << compact << " at " << dpr;
            EXPECT_NEAR(circle.top(), 1, 1.0 / dpr) << "one unit of padding above";
            const QRectF number = boundsOf(image, [](QColor c) { return opaqueRgb(c, Qt::white); });
            EXPECT_TRUE(circle.contains(number)) << "a white number inside the circle";
            EXPECT_GT(number.height(), square / 4);
        }
    }
}

TEST(DayCellLook, theSelectedDaysRingStaysInsideTheSquareAndTodayNeverShowsOne)
{
    LoneCell ring(false, stateOf(10, true, false, true));
    const QImage image = render(ring.cell, 2);
    const QRectF drawn = boundsOf(image, [](QColor c) { return c.alpha() > 40 && sameRgb(c, accent(), 12); });
    EXPECT_NEAR(drawn.width(), 34, 0.5) << "the ring reaches the square's edge and no further";
    // 1.5 wide: four units in from the edge, on the middle row, is inside the ring and empty.
    const qreal mid = 1 + 17;
    EXPECT_GT(image.pixelColor(QPointF(0.6, mid).toPoint() * 2).alpha(), 100);
    EXPECT_EQ(image.pixelColor(QPoint(4, static_cast<int>(mid)) * 2).alpha(), 0);

    LoneCell today(false, stateOf(5, true, true, false));
    LoneCell todaySelected(false, stateOf(5, true, true, true));
    EXPECT_EQ(render(today.cell, 2), render(todaySelected.cell, 2)) << "selected and today: the filled circle only";
}

TEST(DayCellLook, numbersArePrimaryInTheMonthAndHalfDimmedOutsideItButTodayIsNeverDimmed)
{
    const auto strongestAlpha = [](DayCell& cell) {
        const QImage image = render(cell, 2);
        int strongest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                strongest = std::max(strongest, image.pixelColor(x, y).alpha());
        return strongest;
    };
    LoneCell inMonth(false, stateOf(12, true, false, false));
    LoneCell outside(false, stateOf(28, false, false, false));
    EXPECT_GT(strongestAlpha(inMonth.cell), 240);
    // Secondary at half opacity.
    const qreal secondary = ui::roleColor(ui::ColorRole::secondary, ui::lightPalette()).alphaF();
    EXPECT_NEAR(strongestAlpha(outside.cell), 255 * secondary * 0.5, 12);
    LoneCell todayOutside(false, stateOf(28, false, true, false));
    const QImage image = render(todayOutside.cell, 2);
    EXPECT_FALSE(boundsOf(image, [](QColor c) { return opaqueRgb(c, accent()); }).isEmpty());
    EXPECT_FALSE(boundsOf(image, [](QColor c) { return opaqueRgb(c, Qt::white); }).isEmpty());
}

TEST(DayCellLook, dotsSitTwoBelowTheSquareInTheirOwnSizeAndTheCellKeepsItsHeightWithout)
{
    for (bool compact : {false, true}) {
        const qreal square = compact ? 22 : 34;
        const qreal dot = compact ? 4 : 5;
        LoneCell dotted(
            compact,
            stateOf(12, true, false, false, {CalendarColor{220, 40, 40, 255}, CalendarColor{30, 90, 220, 255}}));
        LoneCell plain(compact, stateOf(13, true, false, false));
        EXPECT_EQ(dotted.cell.height(), plain.cell.height()) << compact;
        const QImage image = render(dotted.cell, 2);
        const QRectF red = boundsOf(image, [](QColor c) { return opaqueRgb(c, kDotRed); });
        const QRectF blue = boundsOf(image, [](QColor c) { return opaqueRgb(c, kDotBlue); });
        EXPECT_NEAR(red.width(), dot, 0.5) << compact;
        EXPECT_NEAR(red.height(), dot, 0.5) << compact;
        EXPECT_NEAR(blue.left() - red.right(), 2, 0.5) << "two apart";
        EXPECT_NEAR((red.left() + blue.right()) / 2, dotted.cell.width() / 2.0, 0.5) << "centred as a row";
        EXPECT_NEAR(red.top(), 1 + square + 2, 0.5) << "two below the square";
        EXPECT_NEAR(dotted.cell.height() - red.bottom(), 1, 0.5) << "one of padding below the dots";
    }
}

TEST(MonthGridLook, cellsAreCentredInSevenEqualColumnsAndRowsAreEvenlySpaced)
{
    for (bool compact : {false, true}) {
        popoverApp();
        TestContext fakes(local(2026, 3, 5, 9, 41));
        fakes.store.add(timed("Sync", local(2026, 3, 5, 9), local(2026, 3, 5, 10), kBlue));
        fakes.store.add(timed("Sync", local(2026, 3, 19, 9), local(2026, 3, 19, 10), kBlue));
        fakes.store.announceChange();
        processQueued();
        MonthGridView grid(fakes.context(), compact);
        const int width = compact ? 276 : 280;
        layOut(grid, width);
        const QList<DayCell*> cells = grid.days()->cells();
        ASSERT_EQ(cells.size(), 42);
        const qreal column = width / 7.0;
        QList<int> rowTops;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QRect r = rectIn(cells[i], &grid);
            // Columns are whole units wide, so a 276 row has columns of 39 and 40.
            EXPECT_NEAR(r.center().x() + 0.5, (i % 7 + 0.5) * column, 1.5) << i;
            EXPECT_EQ(r.height(), cells.first()->height());
            if (i % 7 == 0)
                rowTops << r.top();
        }
        const int pitch = rowTops[1] - rowTops[0];
        for (qsizetype r = 1; r < rowTops.size(); ++r)
            EXPECT_EQ(rowTops[r] - rowTops[r - 1], pitch) << "rows with and without dots alike";
        EXPECT_EQ(pitch - cells.first()->height(), compact ? 2 : 6) << "the rows' spacing";

        // The Compact header has the today dot between the chevrons; the Standard one has none.
        const QRect previous = rectIn(grid.previousButton(), &grid);
        const QRect next = rectIn(grid.nextButton(), &grid);
        EXPECT_EQ(next.right(), width - 1) << "navigation at the right edge";
        if (compact) {
            ASSERT_NE(grid.todayButton(), nullptr);
            const QRect today = rectIn(grid.todayButton(), &grid);
            EXPECT_GT(today.left(), previous.right());
            EXPECT_LT(today.right(), next.left());
        } else {
            EXPECT_EQ(grid.todayButton(), nullptr);
            EXPECT_EQ(next.left() - previous.right() - 1, 12);
        }
    }
}

TEST(MonthGridLook, hairlinesCoverWholeDevicePixelsAtFractionalScales)
{
    popoverApp();
    QWidget holder;
    auto* line = new Divider(Qt::Horizontal, &holder);
    line->setGeometry(0, 7, 50, 1);
    holder.resize(50, 15);
    for (qreal dpr : {1.0, 1.25, 2.0}) {
        const QImage image = render(holder, dpr);
        const QColor separator = ui::roleColor(ColorRole::separator, holder.palette());
        int rows = 0;
        for (int y = 0; y < image.height(); ++y) {
            const int alpha = image.pixelColor(image.width() / 2, y).alpha();
            EXPECT_TRUE(alpha == 0 || std::abs(alpha - separator.alpha()) <= 1) << "row " << y << " at " << dpr;
            rows += alpha > 0;
        }
        EXPECT_GE(rows, 1);
        EXPECT_LE(rows, static_cast<int>(std::ceil(dpr)));
    }
}

TEST(MonthGridLook, theKeyboardsRingStandsOffTheFocusedDayAndAClickPutsItAway)
{
    popoverApp();
    TestContext fakes(local(2026, 3, 5, 9, 41));
    MonthGridView grid(fakes.context(), false);
    layOut(grid, 280);
    QApplication::setActiveWindow(&grid);
    grid.days()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid.days(), Qt::Key_Right);
    DayCell* focused = grid.days()->cellFor(local(2026, 3, 6));
    ASSERT_TRUE(focused->isFocusShown());
    const QRect cell = rectIn(focused, &grid);
    const auto ringBeside = [&] {
        const QImage image = render(grid, 2);
        // Two units left of the cell, halfway down: in the room between the cells.
        const QColor c = image.pixelColor(QPoint(cell.left() - 2, cell.center().y()) * 2);
        return c.alpha() > 100 && sameRgb(c, accent(), 20);
    };
    EXPECT_TRUE(ringBeside());
    QTest::mouseClick(focused, Qt::LeftButton);
    EXPECT_FALSE(focused->isFocusShown());
    EXPECT_FALSE(ringBeside());
}

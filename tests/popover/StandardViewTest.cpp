#include "popover/StandardView.h"
#include "popover/OverflowArea.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

constexpr int kStandardWidth = 640;

// The parent's own dividers of one orientation, not those of the views inside it. The Standard layout's
// hairlines between its sections are its body's (everything below the header scrolls, them included).
QList<Divider*> visibleDividers(const QWidget& parent, Qt::Orientation orientation)
{
    QList<Divider*> found;
    for (Divider* child : test::dividersIn(parent, orientation, Qt::FindDirectChildrenOnly))
        if (child->isVisibleTo(&parent))
            found << child;
    return found;
}

} // namespace

TEST(StandardView, frameLeavesTheUpNextColumnWhatTheGridAndDividerDoNotTake)
{
    test::popoverApp();
    test::TestContext fakes(Instant{test::utcSeconds(2026, 3, 5, 9, 41)});
    StandardView view(fakes.context());
    for (auto set :
         {&StandardView::setHeader, &StandardView::setTipBanner, &StandardView::setPlacesRow, &StandardView::setFooter})
        (view.*set)(nullptr); // the frame and the calendar row alone
    test::layOut(view, kStandardWidth);

    QWidget* row = view.calendarRow();
    const QRect rowRect = test::rectIn(row, &view);
    EXPECT_EQ(rowRect.left(), 24);
    EXPECT_EQ(rowRect.width(), kStandardWidth - 2 * 24);
    EXPECT_GE(rowRect.height(), 280);

    const auto columns = visibleDividers(*row, Qt::Vertical);
    ASSERT_EQ(columns.size(), 1);
    const QRect divider = test::rectIn(columns.first(), &view);
    EXPECT_EQ(divider.width(), 1);
    EXPECT_EQ(divider.left() - rowRect.left(), 280 + 14) << "grid column 280 wide, then 14 of spacing";
    EXPECT_EQ(rowRect.right() - divider.right(), 14 + 283) << "14 of spacing, then 283 for Up Next";
    EXPECT_EQ(divider.height(), rowRect.height()) << "the column divider runs the row's full height";

    // Above the row one hairline, 14 below the top padding while header and tip are not there.
    const auto lines = visibleDividers(*view.body()->widget(), Qt::Horizontal);
    ASSERT_EQ(lines.size(), 1);
    const QRect line = test::rectIn(lines.first(), &view);
    EXPECT_EQ(line.top(), 24);
    EXPECT_EQ(line.height(), 1);
    EXPECT_EQ(rowRect.top(), line.bottom() + 1 + 14);
    EXPECT_EQ(view.height(), rowRect.bottom() + 1 + 24);
}

TEST(StandardView, sectionsTakeTheirPlacesInOrderAndBringTheirHairlines)
{
    test::popoverApp();
    test::TestContext fakes(Instant{test::utcSeconds(2026, 3, 5, 9, 41)});
    StandardView view(fakes.context());
    const auto block = [](int height) {
        auto* w = new QLabel;
        w->setFixedHeight(height);
        return w;
    };
    view.setPlacesRow(block(50));
    view.setFooter(block(20));
    view.setTipBanner(block(30));
    view.setHeader(block(70));
    test::layOut(view, kStandardWidth);

    const QRect header = test::rectIn(view.header(), &view);
    const QRect tip = test::rectIn(view.tipBanner(), &view);
    const QRect row = test::rectIn(view.calendarRow(), &view);
    const QRect places = test::rectIn(view.placesRow(), &view);
    const QRect footer = test::rectIn(view.footer(), &view);
    EXPECT_EQ(header.top(), 24);
    EXPECT_EQ(tip.top(), header.bottom() + 1 + 14);
    const auto lines = visibleDividers(*view.body()->widget(), Qt::Horizontal);
    ASSERT_EQ(lines.size(), 3);
    QList<int> lineTops;
    for (Divider* line : lines)
        lineTops << test::rectIn(line, &view).top();
    std::sort(lineTops.begin(), lineTops.end());
    EXPECT_EQ(lineTops[0], tip.bottom() + 1 + 14);
    EXPECT_EQ(row.top(), lineTops[0] + 1 + 14);
    EXPECT_EQ(lineTops[1], row.bottom() + 1 + 14);
    EXPECT_EQ(places.top(), lineTops[1] + 1 + 14);
    EXPECT_EQ(lineTops[2], places.bottom() + 1 + 14);
    EXPECT_EQ(footer.top(), lineTops[2] + 1 + 14);
    EXPECT_EQ(view.height(), footer.bottom() + 1 + 24);

    // A section that goes away (the dismissed tip) takes its room with it.
    const int before = view.height();
    view.tipBanner()->hide();
    test::layOut(view, kStandardWidth);
    EXPECT_EQ(view.height(), before - 30 - 14);
}

TEST(StandardView, eachShowingTellsTheServiceTheCurrentMonth)
{
    test::popoverApp();
    const Instant march{test::utcSeconds(2026, 3, 5, 9, 41)};
    test::TestContext fakes(march);
    StandardView view(fakes.context());
    fakes.calendar.setDisplayedMonth(Instant{test::utcSeconds(2025, 11, 2)});
    view.show();
    EXPECT_EQ(fakes.calendar.displayedMonth(), march);

    const Instant april{test::utcSeconds(2026, 4, 1, 8)};
    fakes.setNow(april);
    view.hide();
    fakes.calendar.setDisplayedMonth(Instant{test::utcSeconds(2025, 11, 2)});
    view.show();
    EXPECT_EQ(fakes.calendar.displayedMonth(), april);
}

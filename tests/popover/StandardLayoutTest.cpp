#include "countdowns/CountdownStore.h"
#include "popover/CountdownsView.h"
#include "popover/StandardHeader.h"
#include "popover/StandardView.h"
#include "popover/SunFooter.h"
#include "popover/TipBanner.h"
#include "popover/VDivider.h"
#include "popover/WorldClocksView.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

constexpr int kStandardWidth = 640;

} // namespace

TEST(StandardLayout, theDefaultPopoverStandsWholeInTheDesignsOrder)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2026, 3, 10, 17, 42, 18)});
    StandardView view(t.context());
    layOut(view, kStandardWidth);

    ASSERT_NE(qobject_cast<StandardHeader*>(view.header()), nullptr);
    ASSERT_NE(qobject_cast<TipBanner*>(view.tipBanner()), nullptr);
    ASSERT_NE(qobject_cast<SunFooter*>(view.footer()), nullptr);
    auto* clocks = view.placesRow()->findChild<WorldClocksView*>();
    auto* countdowns = view.placesRow()->findChild<CountdownsView*>();
    auto* divider = view.placesRow()->findChild<VDivider*>();
    ASSERT_TRUE(clocks && countdowns && divider);

    // Top to bottom: header, tip, the calendar row, the places row, the footer.
    QList<int> tops;
    for (QWidget* section : {view.header(), view.tipBanner(), view.calendarRow(), view.placesRow(), view.footer()})
        tops << rectIn(section, &view).top();
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end())) << "sections out of order";

    // The places row: 330 for the world clocks, 14, the hairline, 14, and the rest (233) for the countdowns.
    const QRect clocksRect = rectIn(clocks, &view);
    EXPECT_EQ(clocksRect.left(), 24);
    EXPECT_EQ(clocksRect.width(), 330);
    EXPECT_EQ(rectIn(divider, &view).left(), clocksRect.right() + 1 + 14);
    EXPECT_EQ(rectIn(countdowns, &view).width(), 233);
    EXPECT_EQ(rectIn(countdowns, &view).right(), kStandardWidth - 24 - 1);
    EXPECT_EQ(rectIn(countdowns, &view).top(), clocksRect.top()) << "both columns from the top of the row";
}

TEST(StandardLayout, dismissingTheTipGivesItsRoomBackAtOnce)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2026, 3, 10, 17, 42, 18)});
    StandardView view(t.context());
    layOut(view, kStandardWidth);
    auto* banner = qobject_cast<TipBanner*>(view.tipBanner());
    ASSERT_TRUE(banner && banner->isVisible());
    const int before = view.height();
    const int bannerHeight = banner->height();
    const int headerBottom = rectIn(view.header(), &view).bottom();

    QTest::mouseClick(banner->dismissButton(), Qt::LeftButton);
    layOut(view, kStandardWidth);
    EXPECT_FALSE(banner->isVisible());
    EXPECT_TRUE(t.prefs.boolValue(PrefKey::didDismissClockTip, false));
    EXPECT_EQ(view.height(), before - bannerHeight - 14);

    // Made again (the next start), the layout has no tip at all.
    StandardView again(t.context());
    layOut(again, kStandardWidth);
    EXPECT_FALSE(again.tipBanner()->isVisible());
    EXPECT_EQ(again.height(), view.height());
    EXPECT_EQ(rectIn(again.header(), &again).bottom(), headerBottom);
}

TEST(StandardLayout, sixWorldClocksAndFourCountdownsStayInTheirColumns)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2026, 3, 10, 17, 42, 18)});
    t.worldClocks.setCityNames({QStringLiteral("London"),
                                QStringLiteral("New York"),
                                QStringLiteral("Dubai"),
                                QStringLiteral("Tokyo"),
                                QStringLiteral("San Francisco"),
                                QStringLiteral("Sydney")});
    QList<Countdown> items;
    for (int i = 0; i < 4; ++i)
        items << Countdown::create(QStringLiteral("A rather long countdown title %1").arg(i),
                                   Instant{utcSeconds(2026, 3, 11 + i, 12)});
    t.countdowns.setItems(items);
    StandardView view(t.context());
    layOut(view, kStandardWidth);
    auto* clocks = view.placesRow()->findChild<WorldClocksView*>();
    auto* countdowns = view.placesRow()->findChild<CountdownsView*>();
    const QRect clocksRect = rectIn(clocks, &view);
    for (QWidget* cell : clocks->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!cell->isVisible())
            continue;
        const QRect r = rectIn(cell, &view);
        EXPECT_GE(r.left(), clocksRect.left());
        EXPECT_LE(r.right(), clocksRect.right());
    }
    const QRect columnRect = rectIn(countdowns, &view);
    for (QWidget* row : countdowns->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!row->isVisible())
            continue;
        const QRect r = rectIn(row, &view);
        EXPECT_GE(r.left(), columnRect.left());
        EXPECT_LE(r.right(), columnRect.right());
    }
    EXPECT_LE(rectIn(view.placesRow(), &view).bottom(), rectIn(view.footer(), &view).top());
}

#include "popover/CountdownsView.h"
#include "context/SettingsState.h"
#include "countdowns/CountdownStore.h"
#include "popover/CountdownRow.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using namespace kalvix;
using namespace kalvix::test;

namespace {

Countdown pinned(const char* title, double utc)
{
    return Countdown::create(QString::fromUtf8(title), Instant{utc});
}

QStringList titles(const QList<Countdown>& items)
{
    QStringList out;
    for (const Countdown& c : items)
        out << c.title;
    return out;
}

QStringList rowTitles(const CountdownsView& view)
{
    QStringList out;
    for (const CountdownRow* row : view.rows())
        out << row->countdown().title;
    return out;
}

// The width the Standard layout gives the countdown column.
constexpr int kColumn = 233;

} // namespace

TEST(CountdownsView, earliestFirstAndEqualDatesInTheOrderTheyWereAdded)
{
    popoverApp();
    const double may10 = utcSeconds(2024, 5, 10, 9);
    TestContext t(Instant{utcSeconds(2024, 2, 1, 12)});
    const QList<Countdown> added{
        pinned("May first", may10), pinned("March", utcSeconds(2024, 3, 1, 9)), pinned("May second", may10)};
    t.countdowns.setItems(added);
    CountdownsView view(t.context());
    EXPECT_EQ(rowTitles(view),
              (QStringList{QStringLiteral("March"), QStringLiteral("May first"), QStringLiteral("May second")}));
    EXPECT_EQ(t.countdowns.items(), added) << "the store keeps the order they were added in";

    // Adding another one at the same instant puts it after the two others, whatever its title.
    QList<Countdown> more = added;
    more << pinned("A third May", may10);
    t.countdowns.setItems(more);
    EXPECT_EQ(rowTitles(view).last(), QStringLiteral("A third May"));
}

TEST(CountdownsView, theOrderByFullInstantAndDatesThatAreNotNumbersLast)
{
    const double day = utcSeconds(2024, 5, 10);
    const QList<Countdown> items{pinned("nan", std::numeric_limits<double>::quiet_NaN()),
                                 pinned("evening", day + 20 * 3600),
                                 pinned("far future", 1e300),
                                 pinned("morning", day + 8 * 3600),
                                 pinned("nan too", std::nan("")),
                                 pinned("long ago", -1e300)};
    EXPECT_EQ(titles(CountdownsView::displayOrder(items)),
              (QStringList{QStringLiteral("long ago"),
                           QStringLiteral("morning"),
                           QStringLiteral("evening"),
                           QStringLiteral("far future"),
                           QStringLiteral("nan"),
                           QStringLiteral("nan too")}));
}

TEST(CountdownsView, dayCountsOfTheRowsFollowTheClockAcrossMidnight)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 23, 59, 59)});
    t.countdowns.setItems({pinned("yesterday's", utcSeconds(2024, 3, 4, 10)),
                           pinned("today's", utcSeconds(2024, 3, 5, 8)),
                           pinned("tomorrow's", utcSeconds(2024, 3, 6, 0, 1)),
                           pinned("later", utcSeconds(2024, 3, 17, 12))});
    CountdownsView view(t.context());
    view.show();
    QStringList counts;
    for (const CountdownRow* row : view.rows())
        counts << row->daysLabel()->text();
    EXPECT_EQ(counts,
              (QStringList{QStringLiteral("yesterday"),
                           QStringLiteral("Today"),
                           QStringLiteral("Tomorrow"),
                           QStringLiteral("in 12 days")}));

    t.advance(1); // midnight in London
    counts.clear();
    for (const CountdownRow* row : view.rows())
        counts << row->daysLabel()->text();
    EXPECT_EQ(counts,
              (QStringList{QStringLiteral("2 days ago"),
                           QStringLiteral("yesterday"),
                           QStringLiteral("Today"),
                           QStringLiteral("in 11 days")}));

    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(view.rows().at(3));
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->text(QAccessible::Name), QStringLiteral("later, in 11 days"));
    EXPECT_EQ(a11y->role(), QAccessible::ListItem);
    const QString date = a11y->text(QAccessible::Description);
    EXPECT_TRUE(date.contains(QStringLiteral("2024"))) << "the full date: " << date.toStdString();
    EXPECT_EQ(view.rows().at(3)->toolTip(), QStringLiteral("later\n") + date);
}

TEST(CountdownsView, withNothingPinnedTheHintShowsAndNoRows)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    CountdownsView view(t.context());
    layOut(view, kColumn);
    EXPECT_TRUE(view.rows().isEmpty());
    ASSERT_TRUE(view.hint()->isVisible());
    EXPECT_EQ(view.hint()->text(), QStringLiteral("Pin dates that matter in Settings."));
    EXPECT_EQ(view.hint()->width(), view.width()) << "stretched across the column";
    const QRect hint = view.hint()->geometry();
    EXPECT_EQ(view.hint()->parentWidget()->height() - hint.height(), 32) << "16 above and below";

    t.countdowns.setItems({pinned("Now one", utcSeconds(2024, 3, 9, 12))});
    EXPECT_FALSE(view.hint()->isVisible());
    EXPECT_EQ(view.rows().size(), 1);
    EXPECT_FALSE(view.more()->isVisible());
}

// A stored list of any length costs the popover a bounded number of rows: the earliest, then a count.
TEST(CountdownsView, aLongListShowsItsEarliestRowsAndHowManyMore)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    QList<Countdown> items;
    constexpr int kStored = 20000;
    for (int i = kStored; i > 0; --i)
        items << pinned(QByteArray::number(i).constData(), utcSeconds(2024, 3, 6) + i * 60.0);
    t.countdowns.setItems(items);
    CountdownsView view(t.context());
    layOut(view, kColumn);
    ASSERT_EQ(view.rows().size(), CountdownsView::kMostRows);
    EXPECT_EQ(view.rows().front()->countdown().title, QStringLiteral("1"));
    EXPECT_EQ(view.rows().back()->countdown().title, QString::number(CountdownsView::kMostRows));
    ASSERT_TRUE(view.more()->isVisible());
    EXPECT_EQ(view.more()->text(), QStringLiteral("and 19,900 more"));
}

TEST(CountdownsView, rowsAreCards42HighTenApartWithTheCountAlwaysWhole)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    t.countdowns.setItems({pinned("Holiday in Lisbon with the whole family and the dog", utcSeconds(2024, 4, 2, 9)),
                           pinned("", utcSeconds(2024, 4, 3, 9))});
    CountdownsView view(t.context());
    layOut(view, kColumn);
    ASSERT_EQ(view.rows().size(), 2);
    const CountdownRow* longTitle = view.rows().at(0);
    const CountdownRow* noTitle = view.rows().at(1);
    EXPECT_EQ(longTitle->height(), 42);
    EXPECT_EQ(longTitle->width(), view.width());
    EXPECT_EQ(noTitle->y() - longTitle->geometry().bottom() - 1, 10);

    // The long title gives way; the count keeps its whole width, 12 from the card's edge.
    EXPECT_TRUE(longTitle->titleLabel()->isElided());
    EXPECT_FALSE(longTitle->daysLabel()->isElided());
    EXPECT_EQ(longTitle->daysLabel()->width(), longTitle->daysLabel()->sizeHint().width());
    EXPECT_EQ(longTitle->width() - longTitle->daysLabel()->geometry().right() - 1, 12);
    EXPECT_LT(longTitle->titleLabel()->geometry().right(), longTitle->daysLabel()->x());
    // With no title only the flag and the count are there; it reads as the count alone.
    EXPECT_TRUE(noTitle->titleLabel()->isHidden());
    EXPECT_EQ(noTitle->accessibleName(), QStringLiteral("in 29 days"));
}

TEST(CountdownsView, theCardIsTheControlBackgroundWithAFaintOutlineInBothThemes)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    t.countdowns.setItems({pinned("Dentist", utcSeconds(2024, 3, 6, 9))});
    CountdownsView view(t.context());
    layOut(view, kColumn);
    CountdownRow* row = view.rows().front();
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        row->setPalette(palette);
        const QColor window = palette.color(QPalette::Window);
        const QImage image = renderWidget(*row, 2.0, window);
        const QColor control = ui::roleColor(ui::ColorRole::controlBackground, palette);
        // Inside the card, between the flag and the title.
        EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(28, 6)), control, 1));
        // The outline on the straight top edge: the primary colour at 6 % over the card.
        const QColor edge = pixelAt(image, QPointF(row->width() / 2.0, 0.25));
        const QColor expected = over(ui::Ink::role(ui::ColorRole::primary, 0.06).resolve(palette), control);
        EXPECT_TRUE(sameRgb(edge, expected, 3)) << edge.name().toStdString() << " " << expected.name().toStdString();
        EXPECT_FALSE(sameRgb(edge, control, 2)) << "the outline shows";
        // The corner is rounded: the window shows through at the very corner.
        EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(0.25, 0.25)), window, 2));
    }
}

TEST(CountdownsView, theEditLinkOpensTheCountdownSettings)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    CountdownsView view(t.context());
    layOut(view, kColumn);
    auto* edit = view.findChild<ui::PlainButton*>();
    ASSERT_NE(edit, nullptr);
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_Space);
    ASSERT_EQ(t.actions.settingsTabs.size(), 1u);
    EXPECT_EQ(t.actions.settingsTabs.front(), SettingsTab::countdowns);
}

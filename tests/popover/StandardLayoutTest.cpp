#include "countdowns/CountdownStore.h"
#include "popover/CalendarAppNotice.h"
#include "popover/CountdownsView.h"
#include "popover/StandardHeader.h"
#include "popover/StandardMenu.h"
#include "popover/StandardView.h"
#include "popover/SunFooter.h"
#include "popover/TipBanner.h"
#include "popover/WorldClocksView.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"

#include <QAccessible>
#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>

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
    const auto columns = test::dividersIn(*view.placesRow(), Qt::Vertical);
    auto* divider = columns.isEmpty() ? nullptr : columns.first();
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
    EXPECT_TRUE(t.prefs.value(Pref::didDismissClockTip));
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

namespace {

// The widgets Tab reaches inside `root`, in the order it reaches them.
QList<QWidget*> tabStops(QWidget& root)
{
    QList<QWidget*> stops;
    QWidget* widget = &root;
    for (int guard = 0; guard < 1000; ++guard) {
        widget = widget->nextInFocusChain();
        if (widget == &root)
            break;
        if (widget->isVisibleTo(&root) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy())
            stops << widget;
    }
    return stops;
}

// What a screen reader says for `widget`: its name, and its description.
QString spokenName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

QString spokenDescription(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Description) : QString();
}

QWidget* stopNamed(QWidget& root, const QString& name, int nth = 0)
{
    for (QWidget* stop : tabStops(root))
        if (spokenName(stop) == name && nth-- == 0)
            return stop;
    return nullptr;
}

} // namespace

TEST(StandardLayout, tabReachesEveryControlInReadingOrderEachWithItsName)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2026, 3, 10, 17, 42, 18)});
    StandardView view(t.context());
    layOut(view, kStandardWidth);

    QStringList names;
    QStringList descriptions;
    for (QWidget* stop : tabStops(view)) {
        names << spokenName(stop);
        descriptions << spokenDescription(stop);
    }
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("Menu"),
                           QStringLiteral("Dismiss tip"),
                           QStringLiteral("March 2026"),
                           QStringLiteral("Previous month"),
                           QStringLiteral("Next month"),
                           QStringLiteral("Days"),
                           QStringLiteral("View All Events"),
                           QStringLiteral("Edit"),
                           QStringLiteral("Edit")}));
    // The two Edit links say where they lead, so a screen reader tells them apart.
    ASSERT_EQ(descriptions.size(), 9);
    EXPECT_NE(descriptions.at(7), descriptions.at(8));
    EXPECT_TRUE(descriptions.at(7).contains(QStringLiteral("World Clocks"))) << descriptions.at(7).toStdString();
    EXPECT_TRUE(descriptions.at(8).contains(QStringLiteral("Countdowns"))) << descriptions.at(8).toStdString();

    // Without the tip its button leaves the chain; nothing else does.
    t.prefs.set(Pref::didDismissClockTip, true);
    layOut(view, kStandardWidth);
    names.removeAt(1);
    QStringList after;
    for (QWidget* stop : tabStops(view))
        after << spokenName(stop);
    EXPECT_EQ(after, names);
}

TEST(StandardLayout, everyControlWorksFromTheKeyboard)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2026, 3, 10, 17, 42, 18)});
    StandardView view(t.context());
    layOut(view, kStandardWidth);
    auto press = [&view](const QString& name, Qt::Key key, int nth = 0) {
        QWidget* stop = stopNamed(view, name, nth);
        if (!stop)
            return false;
        stop->setFocus(Qt::TabFocusReason);
        QTest::keyClick(stop, key);
        QApplication::processEvents();
        return true;
    };
    auto* header = qobject_cast<StandardHeader*>(view.header());
    ASSERT_NE(header, nullptr);

    ASSERT_TRUE(press(QStringLiteral("Menu"), Qt::Key_Space));
    EXPECT_TRUE(header->menu()->isVisible());
    header->menu()->hide();

    ASSERT_TRUE(press(QStringLiteral("Next month"), Qt::Key_Space));
    EXPECT_TRUE(stopNamed(view, QStringLiteral("April 2026")));
    ASSERT_TRUE(press(QStringLiteral("Previous month"), Qt::Key_Return));
    ASSERT_TRUE(press(QStringLiteral("Previous month"), Qt::Key_Return));
    EXPECT_TRUE(stopNamed(view, QStringLiteral("February 2026")));
    ASSERT_TRUE(press(QStringLiteral("February 2026"), Qt::Key_Space)) << "the title goes back to today's month";
    EXPECT_TRUE(stopNamed(view, QStringLiteral("March 2026")));

    // The days: from today (the 10th) a day on, and Enter asks the calendar application for it.
    ASSERT_TRUE(press(QStringLiteral("Days"), Qt::Key_Right));
    ASSERT_TRUE(press(QStringLiteral("Days"), Qt::Key_Return));
    ASSERT_EQ(t.actions.calendarDays.size(), 1u);
    EXPECT_EQ(
        QDateTime::fromMSecsSinceEpoch(t.actions.calendarDays.front().toMSecs(), QTimeZone("Europe/London")).date(),
        QDate(2026, 3, 11));

    ASSERT_TRUE(press(QStringLiteral("View All Events"), Qt::Key_Return));
    EXPECT_EQ(t.actions.plainCalendarOpens, 1);

    ASSERT_TRUE(press(QStringLiteral("Edit"), Qt::Key_Space, 0));
    ASSERT_TRUE(press(QStringLiteral("Edit"), Qt::Key_Return, 1));
    EXPECT_EQ(t.actions.settingsTabs, (std::vector<SettingsTab>{SettingsTab::worldClocks, SettingsTab::countdowns}));

    ASSERT_TRUE(press(QStringLiteral("Dismiss tip"), Qt::Key_Space));
    EXPECT_TRUE(t.prefs.value(Pref::didDismissClockTip));
    EXPECT_FALSE(view.tipBanner()->isVisible());

    // No calendar application: the popover says so where the tip was, and its offer has the focus, a
    // name, and a place in the tab chain after the menu.
    CalendarAppNotice* notice = view.calendarAppNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->isVisible()) << "nothing to say until asked";
    t.actions.calendarAppOutcome = CalendarAppOutcome::none;
    for (const auto& [name, key] : {std::pair{QStringLiteral("Days"), Qt::Key_Return},
                                    std::pair{QStringLiteral("View All Events"), Qt::Key_Return}}) {
        notice->hide();
        ASSERT_TRUE(press(name, key));
        layOut(view, kStandardWidth);
        EXPECT_TRUE(notice->isVisible()) << name.toStdString();
        EXPECT_EQ(notice->textLabel()->text(), QStringLiteral("No calendar application is installed."));
        EXPECT_EQ(view.focusWidget(), static_cast<QWidget*>(notice->openFolderButton())) << name.toStdString();
    }
    QStringList chain;
    for (QWidget* stop : tabStops(view))
        chain << spokenName(stop);
    EXPECT_EQ(chain.mid(0, 3),
              (QStringList{QStringLiteral("Menu"), QStringLiteral("Open Calendar Folder"), QStringLiteral("Dismiss")}));
    ASSERT_TRUE(press(QStringLiteral("Open Calendar Folder"), Qt::Key_Space));
    EXPECT_EQ(t.actions.folders, QStringList{notice->calendarFolder()});
    EXPECT_TRUE(QFileInfo(notice->calendarFolder()).isDir()) << "made, so there is something to open";
    ASSERT_TRUE(press(QStringLiteral("Dismiss"), Qt::Key_Space));
    EXPECT_FALSE(notice->isVisible());
    // A request that opens the application takes a notice from before away.
    notice->show();
    t.actions.calendarAppOutcome = CalendarAppOutcome::opening;
    ASSERT_TRUE(press(QStringLiteral("View All Events"), Qt::Key_Return));
    EXPECT_FALSE(notice->isVisible());
}

#include "popover/WorldClocksView.h"
#include "clock/Cities.h"
#include "context/SettingsState.h"
#include "popover/AnalogClockFace.h"
#include "popover/HeaderLink.h"
#include "popover/WorldClockCell.h"
#include "popover/WorldClockLabels.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "time/CivilCalendar.h"
#include "ui/PlainButton.h"

#include <QAccessible>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

City city(const char* name)
{
    return *Cities::named(QString::fromUtf8(name));
}

// Not in the catalog, but a real zone 14 hours ahead of UTC: the far side of the date line.
const City kKiritimati{QStringLiteral("Kiritimati"), QStringLiteral("Pacific/Kiritimati"), 1.87, -157.36};

QString dayIn(const City& c, double utc)
{
    return dayLabel(relativeDay(Instant{utc}, cityZone(c), CivilCalendar::current()));
}

WorldClockCell* cellNamed(WorldClocksView& view, const QString& name)
{
    for (WorldClockCell* cell : view.cells())
        if (cell->city().name == name)
            return cell;
    return nullptr;
}

} // namespace

TEST(WorldClockLabels, dayLabelsAcrossTheDateLineSeenFromLondon)
{
    const struct {
        const char* name;
        City city;
        double utc;
        const char* expected;
    } rows[] = {
        // 08:00 in London on 5 March: Honolulu is still on the 4th, the Pacific west of the line on the 5th.
        {"honolulu_still_yesterday", city("Honolulu"), utcSeconds(2024, 3, 5, 8), "Yesterday"},
        {"auckland_same_evening", city("Auckland"), utcSeconds(2024, 3, 5, 8), "Today"},
        {"kiritimati_same_evening", kKiritimati, utcSeconds(2024, 3, 5, 8), "Today"},
        // 11:00 in London: Auckland (UTC+13 in summer) and Kiritimati (UTC+14) have reached the 6th.
        {"auckland_tomorrow", city("Auckland"), utcSeconds(2024, 3, 5, 11), "Tomorrow"},
        {"kiritimati_tomorrow", kKiritimati, utcSeconds(2024, 3, 5, 11), "Tomorrow"},
        {"honolulu_same_night", city("Honolulu"), utcSeconds(2024, 3, 5, 11), "Today"},
        // Kiritimati and Honolulu share the clock face but are a whole day apart.
        {"kiritimati_tomorrow_at_noon", kKiritimati, utcSeconds(2024, 3, 5, 12), "Tomorrow"},
        {"honolulu_today_at_noon", city("Honolulu"), utcSeconds(2024, 3, 5, 12), "Today"},
        {"london_itself", city("London"), utcSeconds(2024, 3, 5, 23, 59, 59), "Today"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dayIn(row.city, row.utc), QString::fromLatin1(row.expected)) << row.name;
}

TEST(WorldClockLabels, dayLabelsTurnAtTheUsersOwnMidnight)
{
    const struct {
        const char* name;
        const char* city;
        double utc;
        const char* expected;
    } rows[] = {
        {"paris_past_midnight_before_london", "Paris", utcSeconds(2024, 3, 5, 23, 30), "Tomorrow"},
        {"paris_at_londons_last_second", "Paris", utcSeconds(2024, 3, 5, 23, 59, 59), "Tomorrow"},
        {"paris_after_londons_midnight", "Paris", utcSeconds(2024, 3, 6, 0, 0, 0), "Today"},
        {"new_york_at_londons_last_second", "New York", utcSeconds(2024, 3, 5, 23, 59, 59), "Today"},
        {"new_york_after_londons_midnight", "New York", utcSeconds(2024, 3, 6, 0, 0, 0), "Yesterday"},
        // Summer time in London: its midnight is 23:00 UTC.
        {"new_york_after_london_summer_midnight", "New York", utcSeconds(2024, 7, 1, 23, 0, 0), "Yesterday"},
        {"new_york_before_london_summer_midnight", "New York", utcSeconds(2024, 7, 1, 22, 59, 59), "Today"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dayIn(city(row.city), row.utc), QString::fromLatin1(row.expected)) << row.name;

    // The user's midnight, not London's: seen from Tokyo, Honolulu is a day behind all morning.
    ScopedEnv tz("TZ", "Asia/Tokyo");
    EXPECT_EQ(dayIn(city("Honolulu"), utcSeconds(2024, 3, 5, 1)), QStringLiteral("Yesterday"));
    EXPECT_EQ(dayIn(city("Tokyo"), utcSeconds(2024, 3, 5, 1)), QStringLiteral("Today"));
}

TEST(WorldClockLabels, theTimeFollowsTheLocalesHourCycle)
{
    const Instant t{utcSeconds(2024, 3, 5, 15, 7)};
    EXPECT_EQ(worldTimeString(t, QTimeZone("Europe/London"), QStringLiteral("en_GB")), QStringLiteral("15:07"));
    const QString us = worldTimeString(t, QTimeZone("Europe/London"), QStringLiteral("en_US"));
    EXPECT_TRUE(us.startsWith(QStringLiteral("3:07"))) << us.toStdString();
    EXPECT_TRUE(us.endsWith(QStringLiteral("PM"))) << us.toStdString();
    EXPECT_EQ(worldTimeString(t, QTimeZone("Asia/Tokyo"), QStringLiteral("de_DE")), QStringLiteral("00:07"));
    EXPECT_EQ(worldClockAccessibleName(QStringLiteral("Tokyo"), QStringLiteral("00:07"), RelativeDay::tomorrow),
              QStringLiteral("Tokyo, 00:07, tomorrow"));
}

TEST(WorldClockCell, aCityWithAnUnknownZoneShowsTheUsersTimeAndToday)
{
    popoverApp();
    const City atlantis{QStringLiteral("Atlantis"), QStringLiteral("Atlantic/Atlantis"), 0, 0};
    WorldClockCell cell(atlantis);
    WorldClockCell london(city("London"));
    const Instant t{utcSeconds(2024, 7, 1, 22, 30, 15)}; // 23:30 in London (BST)
    for (WorldClockCell* c : {&cell, &london})
        c->setNow(t, CivilCalendar::current(), QStringLiteral("en_GB"));
    EXPECT_EQ(cell.dayText(), QStringLiteral("Today"));
    EXPECT_EQ(cell.timeText(), QStringLiteral("23:30"));
    EXPECT_EQ(cell.face()->time(), (CivilTime{23, 30, 15}));
    EXPECT_EQ(cell.face()->time(), london.face()->time());
}

TEST(WorldClockCell, readsOutTheCityTimeAndDayAndShowsTheFullDateAsTooltip)
{
    popoverApp();
    WorldClockCell cell(city("Tokyo"));
    cell.setNow(Instant{utcSeconds(2024, 3, 5, 15, 5)}, CivilCalendar::current(), QStringLiteral("en_GB"));
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&cell);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->text(QAccessible::Name), QStringLiteral("Tokyo, 00:05, tomorrow"));
    EXPECT_EQ(a11y->role(), QAccessible::ListItem);
    EXPECT_TRUE(cell.toolTip().contains(QStringLiteral("Wednesday"))) << cell.toolTip().toStdString();
    EXPECT_TRUE(cell.toolTip().contains(QStringLiteral("6 March 2024"))) << cell.toolTip().toStdString();

    cell.setNow(Instant{utcSeconds(2024, 3, 5, 8)}, CivilCalendar::current(), QStringLiteral("en_GB"));
    EXPECT_EQ(cell.accessibleName(), QStringLiteral("Tokyo, 17:00, today"));
}

TEST(WorldClockCell, isLaidOutAsAFaceOverThreeCentredLines)
{
    popoverApp();
    WorldClockCell cell(city("Dubai"));
    cell.setNow(Instant{utcSeconds(2024, 3, 5, 8)}, CivilCalendar::current(), QStringLiteral("en_GB"));
    cell.resize(cell.sizeHint());
    renderWidget(cell);
    EXPECT_EQ(cell.face()->size(), QSize(70, 70));
    EXPECT_GE(cell.width(), 70);
    const QList<QWidget*> labels = cell.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 4);
    // The face, 3 of padding, then the lines 3 apart, each centred on the cell.
    int previousBottom = cell.face()->geometry().bottom() + 3;
    for (QWidget* line : labels.mid(1)) {
        EXPECT_EQ(line->geometry().top() - previousBottom - 1, 3) << line->metaObject()->className();
        EXPECT_NEAR(line->geometry().center().x(), cell.face()->geometry().center().x(), 1);
        previousBottom = line->geometry().bottom();
    }
}

TEST(WorldClocksView, showsTheStoresCitiesInOrderAndFollowsTheStore)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    WorldClocksView view(t.context());
    QStringList names;
    for (WorldClockCell* cell : view.cells())
        names << cell->city().name;
    EXPECT_EQ(names, WorldClockStore::defaultCityNames());

    t.worldClocks.setCityNames({QStringLiteral("Tokyo"), QStringLiteral("Nowhere"), QStringLiteral("Paris")});
    ASSERT_EQ(view.cells().size(), 2);
    EXPECT_EQ(view.cells().at(0)->city().name, QStringLiteral("Tokyo"));
    EXPECT_EQ(view.cells().at(0)->timeText(), QStringLiteral("21:00")) << "told the time at once";

    t.worldClocks.setCityNames({});
    EXPECT_TRUE(view.cells().isEmpty());
    view.resize(view.sizeHint());
    EXPECT_EQ(view.width(), 330);
    EXPECT_GT(view.height(), 0) << "the header stays";
    EXPECT_LT(view.height(), 40) << "and nothing else";
}

TEST(WorldClocksView, sixClocksGoOntoTwoRowsInsideTheSection)
{
    popoverApp();
    const struct {
        const char* name;
        int count;
        QList<int> rows;
    } rows[] = {
        {"none", 0, {}},
        {"four_fit", 4, {4}},
        {"five", 5, {3, 2}},
        {"six", 6, {3, 3}},
        {"eight", 8, {4, 4}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WorldClocksView::rowLengths(row.count, 330), row.rows) << row.name;

    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    t.worldClocks.setCityNames({QStringLiteral("London"),
                                QStringLiteral("New York"),
                                QStringLiteral("Dubai"),
                                QStringLiteral("Tokyo"),
                                QStringLiteral("San Francisco"),
                                QStringLiteral("Sydney")});
    WorldClocksView view(t.context());
    view.resize(view.sizeHint());
    renderWidget(view);
    ASSERT_EQ(view.cells().size(), 6);
    for (WorldClockCell* cell : view.cells()) {
        EXPECT_GE(cell->geometry().left(), 0) << cell->city().name.toStdString();
        EXPECT_LE(cell->geometry().right(), 329) << cell->city().name.toStdString();
        EXPECT_EQ(cell->face()->size(), QSize(70, 70));
    }
    EXPECT_EQ(view.cells().at(0)->y(), view.cells().at(2)->y());
    EXPECT_GT(view.cells().at(3)->y(), view.cells().at(0)->geometry().bottom()) << "second row below the first";
    EXPECT_EQ(view.cells().at(1)->x() - view.cells().at(0)->geometry().right() - 1, 14);
}

TEST(WorldClocksView, followsTheClockAndAChangeOfLocaleOrZoneAtTheNextTick)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 15, 7, 0)});
    t.worldClocks.setCityNames({QStringLiteral("London"), QStringLiteral("Tokyo")});
    WorldClocksView view(t.context());
    view.show();
    WorldClockCell* london = cellNamed(view, QStringLiteral("London"));
    WorldClockCell* tokyo = cellNamed(view, QStringLiteral("Tokyo"));
    EXPECT_EQ(london->timeText(), QStringLiteral("15:07"));
    EXPECT_EQ(tokyo->dayText(), QStringLiteral("Tomorrow"));

    t.advance(1);
    EXPECT_EQ(london->face()->time(), (CivilTime{15, 7, 1}));

    {
        ScopedEnv locale("LC_ALL", "en_US.UTF-8");
        t.advance(1);
        EXPECT_TRUE(london->timeText().startsWith(QStringLiteral("3:07"))) << london->timeText().toStdString();
    }
    {
        ScopedEnv zone("TZ", "Asia/Tokyo");
        t.advance(1);
        EXPECT_EQ(london->dayText(), QStringLiteral("Yesterday"));
        EXPECT_EQ(tokyo->dayText(), QStringLiteral("Today"));
    }
    t.advance(1);
    EXPECT_EQ(london->timeText(), QStringLiteral("15:07"));
    EXPECT_EQ(london->dayText(), QStringLiteral("Today"));

    // Closed, the section does no work; shown again, it catches up at once.
    view.hide();
    t.advance(120);
    EXPECT_EQ(london->timeText(), QStringLiteral("15:07"));
    view.show();
    EXPECT_EQ(london->timeText(), QStringLiteral("15:09"));
}

TEST(WorldClocksView, theEditLinkOpensTheWorldClockSettings)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 12)});
    WorldClocksView view(t.context());
    view.show();
    auto* edit = view.findChild<HeaderLink*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->button()->text(), QStringLiteral("Edit"));
    EXPECT_EQ(edit->tab(), SettingsTab::worldClocks);
    EXPECT_EQ(rectIn(edit, &view).right(), view.width() - 1) << "at the far end of the header";
    QTest::mouseClick(edit->button(), Qt::LeftButton);
    ASSERT_EQ(t.actions.settingsTabs.size(), 1u);
    EXPECT_EQ(t.actions.settingsTabs.front(), SettingsTab::worldClocks);
}

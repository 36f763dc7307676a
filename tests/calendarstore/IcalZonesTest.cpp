// The zone tables that reading uses, against the system tz database through Qt: every zone's offset
// for any year (past the 2037 end of the database's explicit transitions too), gaps and overlaps as
// CivilCalendar handles them, and a file's own VTIMEZONE with a history and an open rule.
#include "calendarstore/ical/IcalZones.h"
#include "tests/support/TestEnv.h"
#include "time/CivilDays.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::ical;
using kalvix::test::utcSeconds;

namespace {

int qtOffset(const QTimeZone& zone, qint64 instant)
{
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant, QTimeZone::utc()));
}

} // namespace

class SystemZoneTable : public ::testing::TestWithParam<const char*> {};

TEST_P(SystemZoneTable, givesTheDatabasesOffsetInAnyYear)
{
    const QTimeZone zone(GetParam());
    ASSERT_TRUE(zone.isValid());
    const auto table = ZoneTable::system(zone);
    // Every 11 hours from 2030 to 2050, then a few days of far years.
    std::vector<qint64> samples;
    for (qint64 t = qint64(utcSeconds(2030, 1, 1)); t < qint64(utcSeconds(2050, 1, 1)); t += 11 * 3600)
        samples.push_back(t);
    for (int year : {2100, 2437, 2801, 5000, 9999}) {
        for (int month : {1, 4, 7, 10})
            samples.push_back(qint64(utcSeconds(year, month, 15, 12)));
    }
    for (qint64 t : samples) {
        const int expected = qtOffset(zone, t);
        ASSERT_EQ(table->toWall(t) - t, expected) << GetParam() << " at " << t;
        // Back again, except in an overlap, where the earlier instant is taken.
        const qint64 back = table->toInstant(t + expected);
        ASSERT_TRUE(back == t || (back < t && qtOffset(zone, back) > expected)) << GetParam() << " at " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Zones,
                         SystemZoneTable,
                         ::testing::Values("Europe/Berlin",
                                           "Europe/London",
                                           "America/New_York",
                                           "America/Santiago",
                                           "Australia/Sydney",
                                           "Australia/Lord_Howe",
                                           "Pacific/Auckland",
                                           "Asia/Tokyo",
                                           "Asia/Kolkata",
                                           "Africa/Casablanca",
                                           "Asia/Gaza"),
                         [](const auto& row) {
                             std::string name = row.param;
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

struct GapRow {
    const char* name;
    const char* zone;
    WallTime wall;
    double expectedUtc;
};

class GapsAndOverlaps : public ::testing::TestWithParam<GapRow> {};

TEST_P(GapsAndOverlaps, moveForwardOrTakeTheEarlierInstant)
{
    const GapRow& r = GetParam();
    EXPECT_EQ(double(ZoneTable::system(QTimeZone(r.zone))->toInstant(wallSeconds(r.wall))), r.expectedUtc);
}

INSTANTIATE_TEST_SUITE_P(
    Times,
    GapsAndOverlaps,
    ::testing::Values(
        // 01:30 does not exist on 25 March 2040 in London: it is read as 02:30 BST.
        GapRow{"london_gap_2040", "Europe/London", {{2040, 3, 25}, {1, 30, 0}}, utcSeconds(2040, 3, 25, 1, 30)},
        // 01:30 happens twice on 28 October 2040: the first, in BST.
        GapRow{"london_overlap_2040", "Europe/London", {{2040, 10, 28}, {1, 30, 0}}, utcSeconds(2040, 10, 28, 0, 30)},
        GapRow{"sydney_gap_2045", "Australia/Sydney", {{2045, 10, 1}, {2, 30, 0}}, utcSeconds(2045, 9, 30, 16, 30)},
        GapRow{"auckland_midnight_before_the_gap_2044",
               "Pacific/Auckland",
               {{2044, 9, 25}, {0, 0, 0}},
               utcSeconds(2044, 9, 24, 12, 0)},
        GapRow{
            "new_york_gap_far_ahead", "America/New_York", {{2999, 3, 10}, {2, 30, 0}}, utcSeconds(2999, 3, 10, 7, 30)}),
    [](const auto& row) { return std::string(row.param.name); });

// New York's rules as a mail client writes them: the rule until 2006 and the rule since 2007.
TEST(EmbeddedZoneTable, withAHistoryAndAnOpenRuleMatchesTheDatabase)
{
    const QByteArray lines = "TZID:Eastern (written)\r\n"
                             "BEGIN:DAYLIGHT\r\nDTSTART:19870405T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
                             "RRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU;UNTIL=20060402T070000Z\r\nEND:DAYLIGHT\r\n"
                             "BEGIN:STANDARD\r\nDTSTART:19671029T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
                             "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU;UNTIL=20061029T060000Z\r\nEND:STANDARD\r\n"
                             "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
                             "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
                             "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
                             "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n";
    const auto table = ZoneTable::fromVTimezone(lines);
    ASSERT_TRUE(table);
    const QTimeZone newYork("America/New_York");
    for (qint64 t = qint64(utcSeconds(1990, 1, 1)); t < qint64(utcSeconds(2060, 1, 1)); t += 13 * 3600)
        ASSERT_EQ(table->toWall(t) - t, qtOffset(newYork, t)) << t;
    for (int year : {2437, 2500, 3000, 9999}) {
        for (int month : {1, 7}) {
            const auto t = qint64(utcSeconds(year, month, 15, 12));
            EXPECT_EQ(table->toWall(t) - t, qtOffset(newYork, t)) << year;
        }
    }
}

TEST(EmbeddedZoneTable, withoutObservancesIsNoZone)
{
    EXPECT_FALSE(ZoneTable::fromVTimezone("TZID:Nothing\r\n"));
    EXPECT_FALSE(ZoneTable::fromVTimezone("TZID:Bad\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                                          "TZOFFSETFROM:+2500\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"));
}

// Month dots in zones whose clocks jump at awkward hours: far ahead of UTC with summer time, half-hour
// and 45-minute offsets, midnight gaps and a skipped date. Every day the event covers gets one entry,
// keyed by the start of that local day, and the computation ends.
#include "calendar/MonthDots.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeCalendarStore.h"

#include <QDate>

using namespace kalvix;
using namespace kalvix::test;

namespace {

struct ZoneMonthRow {
    const char* name;
    const char* zone;
    CivilDate shown;      // a day of the month on screen
    CivilDate eventFirst; // an all-day event over these dates (an empty range: no event at all)
    CivilDate eventEnd;   // exclusive
    int markedDays;       // dates that exist in the zone and the event covers
};

class MonthDotsInZones : public ::testing::TestWithParam<ZoneMonthRow> {};

TEST_P(MonthDotsInZones, everyCoveredDayIsMarkedOnceAtItsStart)
{
    const ZoneMonthRow& row = GetParam();
    const CivilCalendar cal{QTimeZone(QByteArray(row.zone))};
    FakeCalendarStore store;
    if (row.eventFirst < row.eventEnd)
        store.add(allDay("trip", *cal.startOfDay(row.eventFirst), *cal.startOfDay(row.eventEnd)));
    const auto dots = MonthDots::compute(store, *cal.instantOf(row.shown, {12, 0, 0}), cal);
    ASSERT_TRUE(dots);
    EXPECT_EQ(dots->size(), row.markedDays);
    std::optional<CivilDate> previous;
    for (auto it = dots->begin(); it != dots->end(); ++it) {
        EXPECT_EQ(cal.startOfDay(it.key()), it.key()) << "a key is not the start of its day";
        const CivilDate date = *cal.dateOf(it.key());
        EXPECT_TRUE(row.eventFirst <= date && date < row.eventEnd);
        if (previous) { // consecutive dates, or one skipped date between
            const QDate before(previous->year, previous->month, previous->day);
            EXPECT_LE(before.daysTo(QDate(date.year, date.month, date.day)), 2);
        }
        previous = date;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Zones,
    MonthDotsInZones,
    ::testing::Values(
        // Local midnight 10 hours or more ahead of UTC, in the weeks before spring forward.
        ZoneMonthRow{"sydney_october_2024_no_events", "Australia/Sydney", {2024, 10, 5}, {}, {}, 0},
        ZoneMonthRow{
            "sydney_all_day_september_to_november", "Australia/Sydney", {2024, 10, 5}, {2024, 9, 1}, {2024, 11, 1}, 61},
        ZoneMonthRow{
            "sydney_event_seen_from_september", "Australia/Sydney", {2024, 9, 20}, {2024, 9, 1}, {2024, 11, 1}, 61},
        ZoneMonthRow{"auckland_september_2024", "Pacific/Auckland", {2024, 9, 25}, {2024, 9, 20}, {2024, 10, 5}, 15},
        ZoneMonthRow{"chatham_45_minute_offset", "Pacific/Chatham", {2024, 9, 25}, {2024, 9, 28}, {2024, 10, 1}, 3},
        ZoneMonthRow{"lord_howe_half_hour_dst", "Australia/Lord_Howe", {2024, 10, 1}, {2024, 10, 5}, {2024, 10, 8}, 3},
        ZoneMonthRow{"kiritimati_plus_14", "Pacific/Kiritimati", {2024, 10, 1}, {2024, 10, 1}, {2024, 10, 4}, 3},
        ZoneMonthRow{"santiago_midnight_gap", "America/Santiago", {2024, 9, 8}, {2024, 9, 6}, {2024, 9, 9}, 3},
        // Samoa skipped 30 December 2011 when it crossed the date line.
        ZoneMonthRow{"apia_skipped_date", "Pacific/Apia", {2011, 12, 15}, {2011, 12, 28}, {2012, 1, 2}, 4},
        ZoneMonthRow{"sydney_after_2037", "Australia/Sydney", {2039, 10, 1}, {2039, 9, 28}, {2039, 10, 5}, 7}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MonthDots, theQueryWindowOfASpringForwardMonthStartsAndEndsAtLocalMidnights)
{
    const CivilCalendar sydney{QTimeZone("Australia/Sydney")};
    const auto w = MonthDots::window(*sydney.instantOf({2024, 10, 5}, {0, 0, 0}), sydney);
    ASSERT_TRUE(w);
    EXPECT_EQ(sydney.dateOf(w->start), (CivilDate{2024, 9, 24}));
    EXPECT_EQ(sydney.timeOf(w->start)->hour, 0);
    EXPECT_EQ(sydney.dateOf(w->end), (CivilDate{2024, 11, 15}));
    EXPECT_EQ(sydney.timeOf(w->end)->hour, 0);
}

} // namespace

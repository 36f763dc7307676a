#include "calendar/EventLabels.h"
#include "tests/support/CalendarTestSupport.h"

using namespace kalvix;
using namespace kalvix::test;

namespace {

DayEvent event(Instant start, Instant end, bool isAllDay = false)
{
    return DayEvent{QStringLiteral("id"), QStringLiteral("t"), start, end, isAllDay, kRed, {}};
}

struct RelativeRow {
    const char* name;
    Instant start, end;
    bool isAllDay;
    Instant now;
    const char* expected;
};

class RelativeLabels : public ::testing::TestWithParam<RelativeRow> {};

// Wednesday 5 March 2025 in London.
const Instant kTen = local(2025, 3, 5, 10, 0);
const Instant kTwoPm = local(2025, 3, 5, 14, 0);

} // namespace

TEST_P(RelativeLabels, inBritishEnglish)
{
    const auto& r = GetParam();
    EXPECT_EQ(relativeLabel(event(r.start, r.end, r.isAllDay), r.now), QString::fromUtf8(r.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Branches,
    RelativeLabels,
    ::testing::Values(
        RelativeRow{"running_from_its_first_second", kTen, kTen + 3600, false, kTen, "Now"},
        RelativeRow{"ended_exactly_now_same_day", kTen, kTen + 3600, false, kTen + 3600, "in 1m"},
        RelativeRow{"thirty_seconds_ahead", kTwoPm, kTwoPm + 60, false, kTwoPm - 30, "in 1m"},
        RelativeRow{"fifty_nine_minutes", kTwoPm, kTwoPm + 60, false, local(2025, 3, 5, 13, 1), "in 59m"},
        RelativeRow{"fifty_nine_fifty_nine", kTwoPm, kTwoPm + 60, false, kTwoPm - 3599, "in 59m"},
        RelativeRow{"exactly_an_hour", kTwoPm, kTwoPm + 60, false, kTwoPm - 3600, "in 1h 0m"},
        RelativeRow{"two_hours", kTwoPm, kTwoPm + 60, false, local(2025, 3, 5, 12, 0), "in 2h 0m"},
        RelativeRow{"two_hours_twenty_five", kTwoPm, kTwoPm + 60, false, local(2025, 3, 5, 11, 35), "in 2h 25m"},
        RelativeRow{"all_day_running_is_now", local(2025, 3, 5), local(2025, 3, 6), true, kTen, "Now"},
        RelativeRow{"all_day_today_not_running", local(2025, 3, 5), local(2025, 3, 5), true, kTen, "Today"},
        RelativeRow{"timed_tomorrow", local(2025, 3, 6, 9), local(2025, 3, 6, 10), false, kTen, "Tomorrow"},
        RelativeRow{"all_day_tomorrow", local(2025, 3, 6), local(2025, 3, 7), true, kTen, "Tomorrow"},
        RelativeRow{"two_days_weekday", local(2025, 3, 7, 9), local(2025, 3, 7, 10), false, kTen, "Friday"},
        RelativeRow{"six_days_weekday", local(2025, 3, 11, 9), local(2025, 3, 11, 10), false, kTen, "Tuesday"},
        RelativeRow{"seven_days_day_month", local(2025, 3, 12, 9), local(2025, 3, 12, 10), false, kTen, "12 Mar"},
        RelativeRow{"past_day_weekday", local(2025, 3, 3, 9), local(2025, 3, 3, 10), false, kTen, "Monday"},
        RelativeRow{"tomorrow_after_spring_forward_night",
                    local(2025, 3, 30, 9),
                    local(2025, 3, 30, 10),
                    false,
                    local(2025, 3, 29, 23, 30),
                    "Tomorrow"},
        RelativeRow{"seven_days_across_year_end",
                    local(2026, 1, 2, 9),
                    local(2026, 1, 2, 10),
                    false,
                    local(2025, 12, 26, 9),
                    "2 Jan"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RelativeLabels, dayMonthFollowsTheLocale)
{
    ScopedEnv lc("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(relativeLabel(event(local(2025, 3, 14, 9), local(2025, 3, 14, 10)), kTen), QStringLiteral("Mar 14"));
    ScopedEnv de("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(relativeLabel(event(local(2025, 3, 7, 9), local(2025, 3, 7, 10)), kTen), QStringLiteral("Freitag"));
}

TEST(RelativeLabels, calendarDaysFollowTheSystemZone)
{
    // 23:30 in London on the 5th is already the 6th in Tokyo: there an event at 09:00 on the 6th is today.
    ScopedEnv tz("TZ", "Asia/Tokyo");
    const Instant now = inZone("Asia/Tokyo", 2025, 3, 6, 8, 30);
    EXPECT_EQ(
        relativeLabel(event(inZone("Asia/Tokyo", 2025, 3, 6, 9, 0), inZone("Asia/Tokyo", 2025, 3, 6, 10, 0)), now),
        QStringLiteral("in 30m"));
}

TEST(TimeRangeLabels, allDayWhateverTheLengthAndShortTimesOtherwise)
{
    EXPECT_EQ(timeRangeLabel(event(local(2025, 3, 5), local(2025, 3, 9), true)), QStringLiteral("All day"));
    EXPECT_EQ(timeRangeLabel(event(local(2025, 3, 5, 9, 30), local(2025, 3, 5, 10, 15))),
              QStringLiteral("09:30 \u2013 10:15"));
    EXPECT_EQ(timeRangeLabel(event(local(2025, 3, 5, 22, 0), local(2025, 3, 7, 1, 0))),
              QStringLiteral("22:00 \u2013 01:00"))
        << "several days still show only the two times";
    ScopedEnv lc("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(timeRangeLabel(event(local(2025, 3, 5, 9, 30), local(2025, 3, 5, 10, 15))),
              QStringLiteral("9:30\u202FAM \u2013 10:15\u202FAM"));
}

TEST(EventDetails, theWholeTitleTheDayOrDaysWithTheTimesAndTheCalendar)
{
    DayEvent timed = event(local(2025, 3, 7, 9, 30), local(2025, 3, 7, 10, 45));
    timed.title = QStringLiteral("Quarterly planning review with the whole team");
    timed.calendar = QStringLiteral("Work");
    EXPECT_EQ(eventDetails(timed),
              (QStringList{QStringLiteral("Quarterly planning review with the whole team"),
                           QStringLiteral("Friday, 7 Mar, 09:30 \u2013 10:45"),
                           QStringLiteral("Work")}));
    const DayEvent trip = event(local(2025, 3, 7), local(2025, 3, 10), true);
    EXPECT_EQ(eventDetails(trip),
              (QStringList{QStringLiteral("t"), QStringLiteral("Friday, 7 Mar \u2013 Sunday, 9 Mar, All day")}))
        << "the last day is the one before the end; no calendar name, no line";
    EXPECT_EQ(eventDetails(event(local(2025, 3, 7), local(2025, 3, 8), true)).at(1),
              QStringLiteral("Friday, 7 Mar, All day"));
}

TEST(DayTitles, todayTomorrowThenWeekday)
{
    EXPECT_EQ(dayTitle(local(2025, 3, 5), kTen), QStringLiteral("Today"));
    EXPECT_EQ(dayTitle(local(2025, 3, 6), kTen), QStringLiteral("Tomorrow"));
    EXPECT_EQ(dayTitle(local(2025, 3, 7), kTen), QStringLiteral("Friday"));
    EXPECT_EQ(dayMonthLabel(local(2025, 3, 7)), QStringLiteral("7 Mar"));
}

#include "countdowns/DaysUntilLabel.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kalvix;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

namespace {

struct Utc {
    int year, month, day, hour, minute;
    Instant instant() const { return Instant{utcSeconds(year, month, day, hour, minute)}; }
};

struct LabelRow {
    const char* name;
    const char* zone;
    Utc now;
    Utc date;
    const char* label;
};

class DaysUntil : public ::testing::TestWithParam<LabelRow> {};

} // namespace

TEST_P(DaysUntil, countsCalendarDaysInTheSystemZone)
{
    const LabelRow& r = GetParam();
    ScopedEnv tz("TZ", r.zone);
    EXPECT_EQ(daysUntilLabel(r.date.instant(), r.now.instant()), QString::fromUtf8(r.label));
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    DaysUntil,
    ::testing::Values(
        // Winter in London: local time is UTC.
        LabelRow{"late_today_from_early_today", "Europe/London", {2024, 1, 10, 0, 1}, {2024, 1, 10, 23, 59}, "Today"},
        LabelRow{"earlier_today", "Europe/London", {2024, 1, 10, 18, 0}, {2024, 1, 10, 9, 0}, "Today"},
        LabelRow{
            "just_after_midnight_tomorrow", "Europe/London", {2024, 1, 10, 23, 59}, {2024, 1, 11, 0, 1}, "Tomorrow"},
        LabelRow{"two_days_ahead", "Europe/London", {2024, 1, 10, 12, 0}, {2024, 1, 12, 1, 0}, "in 2 days"},
        LabelRow{"twelve_days_ahead", "Europe/London", {2024, 1, 10, 12, 0}, {2024, 1, 22, 12, 0}, "in 12 days"},
        LabelRow{"one_day_back", "Europe/London", {2024, 1, 10, 0, 0}, {2024, 1, 9, 23, 59}, "yesterday"},
        LabelRow{"five_days_back", "Europe/London", {2024, 1, 10, 12, 0}, {2024, 1, 5, 18, 0}, "5 days ago"},
        LabelRow{"no_digit_grouping", "Europe/London", {2000, 1, 1, 12, 0}, {2024, 1, 1, 12, 0}, "in 8766 days"},
        LabelRow{"across_leap_day", "Europe/London", {2024, 2, 28, 12, 0}, {2024, 3, 1, 12, 0}, "in 2 days"},
        LabelRow{"across_year_end", "Europe/London", {2024, 12, 31, 23, 0}, {2025, 1, 1, 0, 30}, "Tomorrow"},
        // 00:30 GMT on 31 March to 00:10 BST on 1 April: 22 h 40 min, but the next calendar day.
        LabelRow{"london_spring_forward", "Europe/London", {2024, 3, 31, 0, 30}, {2024, 3, 31, 23, 10}, "Tomorrow"},
        // 00:05 BST to 23:55 GMT on 27 October: 24 h 50 min, still the same calendar day.
        LabelRow{"london_fall_back", "Europe/London", {2024, 10, 26, 23, 5}, {2024, 10, 27, 23, 55}, "Today"},
        // A week across the change is 7 days although it is 1 h 20 min short of 7 × 24 h.
        LabelRow{"london_week_across_spring_forward",
                 "Europe/London",
                 {2024, 3, 25, 0, 30},
                 {2024, 3, 31, 23, 10},
                 "in 7 days"},
        LabelRow{
            "new_york_fall_back_back", "America/New_York", {2024, 11, 4, 5, 30}, {2024, 11, 3, 4, 30}, "yesterday"},
        // The same instants on either side of midnight in New York but not in London.
        LabelRow{"new_york_evening", "America/New_York", {2024, 6, 1, 3, 0}, {2024, 6, 1, 5, 0}, "Tomorrow"},
        LabelRow{"london_same_instants", "Europe/London", {2024, 6, 1, 3, 0}, {2024, 6, 1, 5, 0}, "Today"},
        // +14:00 and +05:45.
        LabelRow{"kiritimati", "Pacific/Kiritimati", {2024, 6, 1, 9, 0}, {2024, 6, 1, 10, 30}, "Tomorrow"},
        LabelRow{"kathmandu", "Asia/Kathmandu", {2024, 6, 1, 18, 0}, {2024, 6, 1, 18, 20}, "Tomorrow"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DaysUntilLabel, instantsOutsideTheCalendarHaveNoDayCount)
{
    const Instant now{utcSeconds(2024, 1, 10, 12)};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(daysUntilLabel(Instant{1e300}, now), QStringLiteral("Today"));
    EXPECT_EQ(daysUntilLabel(Instant{-1e300}, now), QStringLiteral("Today"));
    EXPECT_EQ(daysUntilLabel(Instant{nan}, now), QStringLiteral("Today"));
    EXPECT_EQ(daysUntilLabel(Instant{inf}, now), QStringLiteral("Today"));
    EXPECT_EQ(daysUntilLabel(now, Instant{nan}), QStringLiteral("Today"));
}

TEST(DaysUntilLabel, farButCivilDatesStillCount)
{
    // 1 January 9999 from 1 January 2000.
    EXPECT_EQ(daysUntilLabel(Instant{utcSeconds(9999, 1, 1, 12)}, Instant{utcSeconds(2000, 1, 1, 12)}),
              QStringLiteral("in 2921575 days"));
    EXPECT_EQ(daysUntilLabel(Instant{utcSeconds(2000, 1, 1, 12)}, Instant{utcSeconds(9999, 1, 1, 12)}),
              QStringLiteral("2921575 days ago"));
}

#include "clock/Solar.h"
#include "clock/Cities.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <ostream>

using namespace kalvix;

namespace kalvix {
void PrintTo(Instant t, std::ostream* os)
{
    *os << std::fixed << t.seconds;
}
} // namespace kalvix
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

namespace {

City city(const char* name)
{
    return *Cities::named(QString::fromUtf8(name));
}

struct Utc {
    int year, month, day, hour, minute, second;
    double seconds() const { return utcSeconds(year, month, day, hour, minute, second); }
};

struct SunRow {
    const char* name;
    const char* city;
    Utc at;
    Utc sunrise;
    Utc sunset;
};

class PublishedSunTimes : public ::testing::TestWithParam<SunRow> {};

} // namespace

TEST_P(PublishedSunTimes, withinASecond)
{
    const SunRow& r = GetParam();
    const SunTimes sun = Solar::sunTimes(Instant{r.at.seconds()}, city(r.city));
    ASSERT_TRUE(sun.sunrise && sun.sunset);
    EXPECT_NEAR(sun.sunrise->seconds, r.sunrise.seconds(), 1.0);
    EXPECT_NEAR(sun.sunset->seconds, r.sunset.seconds(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cities,
    PublishedSunTimes,
    ::testing::Values(
        SunRow{
            "london_midsummer", "London", {2024, 6, 21, 12, 0, 0}, {2024, 6, 21, 3, 42, 52}, {2024, 6, 21, 20, 21, 29}},
        // Far east: the sunrise minutes are negative, so it lies on the previous UTC date.
        SunRow{"sydney_midsummer_local_date",
               "Sydney",
               {2024, 12, 21, 0, 0, 0},
               {2024, 12, 20, 18, 41, 28},
               {2024, 12, 21, 9, 5, 54}},
        // N = 61 in a leap year, still over 365.
        SunRow{"tokyo_leap_year_march",
               "Tokyo",
               {2024, 3, 1, 3, 0, 0},
               {2024, 2, 29, 21, 10, 51},
               {2024, 3, 1, 8, 36, 53}},
        // 23:30 UTC on 29 February is already 08:30 on 1 March in Tokyo.
        SunRow{"tokyo_already_next_day",
               "Tokyo",
               {2024, 2, 29, 23, 30, 0},
               {2024, 2, 29, 21, 10, 51},
               {2024, 3, 1, 8, 36, 53}}),
    [](const auto& row) { return std::string(row.param.name); });

struct SameDayRow {
    const char* name;
    const char* city;
    Utc a;
    Utc b;
    bool sameLocalDay;
};

class LocalDay : public ::testing::TestWithParam<SameDayRow> {};

TEST_P(LocalDay, onlyTheCitysCalendarDayMatters)
{
    const SameDayRow& r = GetParam();
    const SunTimes a = Solar::sunTimes(Instant{r.a.seconds()}, city(r.city));
    const SunTimes b = Solar::sunTimes(Instant{r.b.seconds()}, city(r.city));
    ASSERT_TRUE(a.sunrise && b.sunrise);
    EXPECT_EQ(*a.sunrise == *b.sunrise && *a.sunset == *b.sunset, r.sameLocalDay);
    if (!r.sameLocalDay) { // the next local day's sunrise is about a day later
        EXPECT_NEAR(*b.sunrise - *a.sunrise, 86400.0, 300.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Zones,
    LocalDay,
    ::testing::Values(
        // +12:00 in winter: 12:30 UTC on 20 June is 00:30 on 21 June.
        SameDayRow{
            "auckland_past_local_midnight", "Auckland", {2024, 6, 20, 11, 30, 0}, {2024, 6, 20, 12, 30, 0}, false},
        SameDayRow{"auckland_same_local_day", "Auckland", {2024, 6, 20, 12, 30, 0}, {2024, 6, 21, 11, 30, 0}, true},
        // -10:00: 09:00 UTC on 21 June is still 20 June in Honolulu.
        SameDayRow{"honolulu_still_previous_day", "Honolulu", {2024, 6, 20, 22, 0, 0}, {2024, 6, 21, 9, 0, 0}, true},
        SameDayRow{"honolulu_next_day", "Honolulu", {2024, 6, 21, 9, 0, 0}, {2024, 6, 21, 10, 0, 0}, false},
        // London on the spring-forward night: 23:30 UTC on 30 March is still 30 March (GMT),
        // 23:30 UTC on 31 March is already 1 April (BST).
        SameDayRow{"london_spring_forward_day", "London", {2024, 3, 31, 0, 30, 0}, {2024, 3, 31, 22, 30, 0}, true},
        SameDayRow{"london_after_spring_forward", "London", {2024, 3, 31, 22, 30, 0}, {2024, 3, 31, 23, 30, 0}, false}),
    [](const auto& row) { return std::string(row.param.name); });

struct PolarRow {
    const char* name;
    double latitude;
    Utc at;
};

class NoSunriseOrSunset : public ::testing::TestWithParam<PolarRow> {};

TEST_P(NoSunriseOrSunset, bothAbsent)
{
    const PolarRow& r = GetParam();
    const City polar{QStringLiteral("Polar"), QStringLiteral("Europe/Oslo"), r.latitude, 25.0};
    const SunTimes sun = Solar::sunTimes(Instant{r.at.seconds()}, polar);
    EXPECT_FALSE(sun.sunrise.has_value());
    EXPECT_FALSE(sun.sunset.has_value());
}

INSTANTIATE_TEST_SUITE_P(Latitudes,
                         NoSunriseOrSunset,
                         ::testing::Values(PolarRow{"midnight_sun_70n", 70.0, {2024, 6, 21, 12, 0, 0}},
                                           PolarRow{"polar_night_70n", 70.0, {2024, 12, 21, 12, 0, 0}},
                                           PolarRow{"polar_night_70s", -70.0, {2024, 6, 21, 12, 0, 0}},
                                           PolarRow{"north_pole", 90.0, {2024, 3, 1, 12, 0, 0}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Solar, everyCatalogCityHasASunriseBeforeItsSunsetAtBothSolstices)
{
    for (const Utc at : {Utc{2024, 6, 21, 12, 0, 0}, Utc{2024, 12, 21, 12, 0, 0}}) {
        for (const City& c : Cities::all()) {
            const SunTimes sun = Solar::sunTimes(Instant{at.seconds()}, c);
            ASSERT_TRUE(sun.sunrise && sun.sunset) << c.name.toStdString();
            const double dayLength = *sun.sunset - *sun.sunrise;
            EXPECT_GT(dayLength, 5 * 3600.0) << c.name.toStdString();
            EXPECT_LT(dayLength, 19 * 3600.0) << c.name.toStdString();
        }
    }
}

TEST(Solar, unknownZoneUsesTheSystemZoneForTheDateButItsOwnCoordinates)
{
    City lost = city("London");
    lost.timeZoneID = QStringLiteral("Mars/Olympus_Mons");
    // 23:30 UTC on 20 June: still 20 June in New York, already 21 June in Tokyo.
    const Instant lateEvening{utcSeconds(2024, 6, 20, 23, 30)};
    const SunTimes midsummer = Solar::sunTimes(Instant{utcSeconds(2024, 6, 21, 12)}, city("London"));
    const SunTimes dayBefore = Solar::sunTimes(Instant{utcSeconds(2024, 6, 20, 12)}, city("London"));

    {
        ScopedEnv tz("TZ", "Asia/Tokyo");
        const SunTimes sun = Solar::sunTimes(lateEvening, lost);
        ASSERT_TRUE(sun.sunrise && sun.sunset);
        EXPECT_EQ(*sun.sunrise, *midsummer.sunrise);
        EXPECT_EQ(*sun.sunset, *midsummer.sunset);
    }
    {
        ScopedEnv tz("TZ", "America/New_York");
        const SunTimes sun = Solar::sunTimes(lateEvening, lost);
        ASSERT_TRUE(sun.sunrise && sun.sunset);
        EXPECT_EQ(*sun.sunrise, *dayBefore.sunrise);
    }
}

TEST(Solar, instantsOutsideTheCalendarGiveNoTimes)
{
    for (const double bad :
         {1e300, -1e300, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        const SunTimes sun = Solar::sunTimes(Instant{bad}, city("London"));
        EXPECT_FALSE(sun.sunrise.has_value()) << bad;
        EXPECT_FALSE(sun.sunset.has_value()) << bad;
    }
}

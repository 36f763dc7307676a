#include "time/CivilCalendar.h"
#include "tests/support/TestEnv.h"
#include "time/SystemZone.h"
#include "time/ZoneRules.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <unistd.h>

using namespace kalvix;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

namespace {
CivilCalendar in(const char* zone)
{
    return CivilCalendar(QTimeZone(zone));
}
} // namespace

struct DstDay {
    const char* name;
    const char* zone;
    CivilDate date;
    double expectedStartUtc; // the first instant of the local day
    double hoursLong;
};

class DstDays : public ::testing::TestWithParam<DstDay> {};

TEST_P(DstDays, dayLengthAndStart)
{
    const DstDay& row = GetParam();
    const CivilCalendar cal = in(row.zone);
    const auto start = cal.startOfDay(row.date);
    ASSERT_TRUE(start);
    EXPECT_DOUBLE_EQ(start->seconds, row.expectedStartUtc);
    const auto next = cal.startOfDay(*cal.addDays(*start, 1));
    ASSERT_TRUE(next);
    EXPECT_DOUBLE_EQ((*next - *start) / 3600.0, row.hoursLong);
    EXPECT_EQ(cal.daysBetween(*start, *next), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Zones,
    DstDays,
    ::testing::Values(
        DstDay{"london_spring_forward", "Europe/London", {2026, 3, 29}, utcSeconds(2026, 3, 29, 0), 23},
        DstDay{"london_fall_back", "Europe/London", {2026, 10, 25}, utcSeconds(2026, 10, 24, 23), 25},
        DstDay{"new_york_spring_forward", "America/New_York", {2026, 3, 8}, utcSeconds(2026, 3, 8, 5), 23},
        DstDay{"new_york_fall_back", "America/New_York", {2026, 11, 1}, utcSeconds(2026, 11, 1, 4), 25},
        DstDay{"sydney_fall_back", "Australia/Sydney", {2026, 4, 5}, utcSeconds(2026, 4, 4, 13), 25},
        // Santiago springs forward at midnight: the day starts at 01:00 local.
        DstDay{"santiago_midnight_gap", "America/Santiago", {2026, 9, 6}, utcSeconds(2026, 9, 6, 4), 23},
        DstDay{"kathmandu_no_dst", "Asia/Kathmandu", {2026, 3, 29}, utcSeconds(2026, 3, 28, 18, 15), 24},
        // Local midnight 10 or more hours ahead of UTC, on the day before and of spring forward.
        DstDay{"sydney_eve_of_spring_forward", "Australia/Sydney", {2024, 10, 5}, utcSeconds(2024, 10, 4, 14), 24},
        DstDay{"sydney_spring_forward", "Australia/Sydney", {2024, 10, 6}, utcSeconds(2024, 10, 5, 14), 23},
        DstDay{"auckland_spring_forward", "Pacific/Auckland", {2024, 9, 29}, utcSeconds(2024, 9, 28, 12), 23},
        DstDay{"chatham_spring_forward", "Pacific/Chatham", {2024, 9, 29}, utcSeconds(2024, 9, 28, 11, 15), 23},
        DstDay{"lord_howe_half_hour", "Australia/Lord_Howe", {2024, 10, 6}, utcSeconds(2024, 10, 5, 13, 30), 23.5},
        // After the last transition the zone files list: the zones' closing rules apply.
        DstDay{"berlin_2039_spring_forward", "Europe/Berlin", {2039, 3, 27}, utcSeconds(2039, 3, 26, 23), 23},
        DstDay{"sydney_2044_spring_forward", "Australia/Sydney", {2044, 10, 2}, utcSeconds(2044, 10, 1, 14), 23},
        DstDay{"new_york_9999_fall_back", "America/New_York", {9999, 11, 7}, utcSeconds(9999, 11, 7, 4), 25}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CivilCalendar, wallClockTimeInAGapMovesForwardAndOverlapTakesTheEarlierInstant)
{
    const CivilCalendar london = in("Europe/London");
    // 01:30 does not exist on 29 March 2026 in London; it becomes 02:30 BST = 01:30 UTC.
    EXPECT_DOUBLE_EQ(london.instantOf({2026, 3, 29}, {1, 30, 0})->seconds, utcSeconds(2026, 3, 29, 1, 30));
    // 01:30 happens twice on 25 October 2026; the first is 01:30 BST = 00:30 UTC.
    EXPECT_DOUBLE_EQ(london.instantOf({2026, 10, 25}, {1, 30, 0})->seconds, utcSeconds(2026, 10, 25, 0, 30));
}

TEST(CivilCalendar, wallTimesAroundSpringForwardFarEastOfUtc)
{
    const CivilCalendar sydney = in("Australia/Sydney");
    // Midnight of the change day, before the 02:00 change, is still at +10.
    EXPECT_DOUBLE_EQ(sydney.instantOf({2024, 10, 6}, {0, 0, 0})->seconds, utcSeconds(2024, 10, 5, 14));
    EXPECT_DOUBLE_EQ(sydney.instantOf({2024, 10, 6}, {1, 59, 59})->seconds, utcSeconds(2024, 10, 5, 15, 59, 59));
    // 02:30 does not exist; it is 03:30 at +11.
    EXPECT_DOUBLE_EQ(sydney.instantOf({2024, 10, 6}, {2, 30, 0})->seconds, utcSeconds(2024, 10, 5, 16, 30));
    EXPECT_DOUBLE_EQ(sydney.instantOf({2024, 10, 6}, {3, 0, 0})->seconds, utcSeconds(2024, 10, 5, 16));
    // Fall back on 6 April 2025: 02:30 happens twice, the first at +11.
    EXPECT_DOUBLE_EQ(sydney.instantOf({2025, 4, 6}, {2, 30, 0})->seconds, utcSeconds(2025, 4, 5, 15, 30));
    const CivilCalendar auckland = in("Pacific/Auckland");
    const Instant eve = *auckland.startOfDay(CivilDate{2024, 9, 28});
    EXPECT_EQ(auckland.dateOf(*auckland.addDays(eve, 1)), (CivilDate{2024, 9, 29}));
    EXPECT_EQ(auckland.daysBetween(eve, *auckland.startOfDay(CivilDate{2024, 9, 30})), 2);
}

TEST(CivilCalendar, aSkippedDateStartsWhereTheNextStarts)
{
    const CivilCalendar apia = in("Pacific/Apia");
    const auto skipped = apia.startOfDay(CivilDate{2011, 12, 30});
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped, apia.startOfDay(CivilDate{2011, 12, 31}));
    EXPECT_EQ(apia.dateOf(*skipped), (CivilDate{2011, 12, 31}));
    EXPECT_EQ(apia.daysBetween(*apia.startOfDay(CivilDate{2011, 12, 29}), *skipped), 2);
    // A wall time on the skipped date is moved forward by the day it lost.
    EXPECT_EQ(apia.dateOf(*apia.instantOf({2011, 12, 30}, {9, 0, 0})), (CivilDate{2011, 12, 31}));
}

TEST(CivilCalendar, offsetsPastTheLastListedTransitionFollowTheZonesRule)
{
    const CivilCalendar berlin = in("Europe/Berlin");
    // Noon on 1 June 2039 in Berlin is 10:00 UTC (summer time), as in every year.
    EXPECT_DOUBLE_EQ(berlin.instantOf({2039, 6, 1}, {12, 0, 0})->seconds, utcSeconds(2039, 6, 1, 10));
    EXPECT_EQ(berlin.offsetAt(Instant{utcSeconds(2150, 7, 1)}), 7200);
    EXPECT_EQ(berlin.offsetAt(Instant{utcSeconds(2500, 7, 1)}), 7200); // beyond the table, from the zone itself
    EXPECT_EQ(berlin.offsetAt(Instant{utcSeconds(2500, 1, 1)}), 3600);
    EXPECT_EQ(berlin.offsetAt(Instant{utcSeconds(1850, 7, 1)}), 3208); // local mean time before 1893
}

TEST(ZoneRules, transitionsRunOnPastTheLastOneTheZoneFileLists)
{
    // Qt 6.4 stops at October 2037 when asked for a range that starts before it.
    const auto rules = kalvix::ZoneRules::of(QTimeZone("Europe/Berlin"));
    const auto list =
        rules->transitions(static_cast<qint64>(utcSeconds(2036, 1, 1)), static_cast<qint64>(utcSeconds(2041, 1, 1)));
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[4].at, static_cast<qint64>(utcSeconds(2038, 3, 28, 1)));
    EXPECT_EQ(list[9].at, static_cast<qint64>(utcSeconds(2040, 10, 28, 1)));
    for (const auto& t : list)
        EXPECT_NE(t.before, t.after);
    const auto far =
        rules->transitions(static_cast<qint64>(utcSeconds(3000, 1, 1)), static_cast<qint64>(utcSeconds(3001, 1, 1)));
    EXPECT_EQ(far.size(), 2u);
}

TEST(CivilDate, dayArithmeticAgreesWithQDateAcrossTheCalendar)
{
    // Leap years of every kind, year ends, and dates before year 1. QDate has no year 0: its year -1 is
    // the astronomical year 0 that CivilDate counts, a leap year.
    const auto astronomical = [](int qdateYear) { return qdateYear < 0 ? qdateYear + 1 : qdateYear; };
    for (int year : {-4713, -1, 1, 4, 100, 1600, 1900, 2000, 2024, 2100, 9999}) {
        for (int n : {-400, -366, -1, 1, 59, 60, 365, 366, 146097}) {
            const QDate start(year, 2, 28);
            const QDate end = start.addDays(n);
            const auto got = CivilDate{astronomical(year), 2, 28}.plusDays(n);
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, (CivilDate{astronomical(end.year()), end.month(), end.day()})) << year << " + " << n;
        }
    }
    EXPECT_EQ((CivilDate{0, 2, 28}.plusDays(1)), (CivilDate{0, 2, 29})) << "year 0 is a leap year";
    EXPECT_EQ((CivilDate{0, 12, 31}.plusDays(1)), (CivilDate{1, 1, 1}));
    EXPECT_FALSE((CivilDate{2023, 2, 29}.plusDays(1)));
    EXPECT_FALSE((CivilDate{2024, 13, 1}.plusDays(1)));
    EXPECT_FALSE((CivilDate{2024, 1, 1}.plusDays(std::numeric_limits<int>::max())));
}

TEST(CivilCalendar, addDaysKeepsWallClockTimeAcrossDst)
{
    const CivilCalendar ny = in("America/New_York");
    const Instant before{utcSeconds(2026, 3, 7, 14, 0)}; // 09:00 EST
    const auto after = ny.addDays(before, 1);
    ASSERT_TRUE(after);
    EXPECT_DOUBLE_EQ(after->seconds, utcSeconds(2026, 3, 8, 13, 0)); // 09:00 EDT
    EXPECT_EQ(ny.timeOf(*after)->hour, 9);
}

TEST(CivilCalendar, monthIntervalsAndClampedMonthArithmetic)
{
    const CivilCalendar london = in("Europe/London");
    const auto march = london.monthInterval(Instant{utcSeconds(2025, 3, 15, 12)});
    ASSERT_TRUE(march);
    EXPECT_DOUBLE_EQ(march->start.seconds, utcSeconds(2025, 3, 1));
    EXPECT_DOUBLE_EQ(march->end.seconds, utcSeconds(2025, 3, 31, 23)); // 1 April 00:00 BST
    const auto feb = london.addMonths(Instant{utcSeconds(2024, 1, 31, 12)}, 1);
    EXPECT_EQ(london.dateOf(*feb), (CivilDate{2024, 2, 29}));
    EXPECT_EQ(london.dayOfYear(Instant{utcSeconds(2024, 12, 31, 12)}), 366);
}

TEST(CivilCalendar, instantsOutsideAnyCalendarGiveNothing)
{
    const CivilCalendar cal = CivilCalendar::utc();
    for (double bad : {1e300, -1e300, std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_FALSE(cal.dateOf(Instant{bad}));
        EXPECT_FALSE(cal.startOfDay(Instant{bad}));
        EXPECT_FALSE(cal.addDays(Instant{bad}, 1));
        EXPECT_FALSE(cal.daysBetween(Instant{0}, Instant{bad}));
        EXPECT_FALSE(cal.isSameDay(Instant{bad}, Instant{bad}));
    }
}

TEST(SystemZone, followsTzAtEveryCallAndFallsBackForUnknownNames)
{
    {
        ScopedEnv tz("TZ", "Asia/Tokyo");
        EXPECT_EQ(systemZone().id(), QByteArray("Asia/Tokyo"));
    }
    {
        ScopedEnv tz("TZ", ":America/New_York");
        EXPECT_EQ(systemZone().id(), QByteArray("America/New_York"));
    }
    {
        ScopedEnv tz("TZ", "/usr/share/zoneinfo/Europe/Paris");
        EXPECT_EQ(systemZone().id(), QByteArray("Europe/Paris"));
    }
    {
        // Not a zone: the machine's own zone, whatever it is, but never ICU's "Etc/Unknown".
        ScopedEnv tz("TZ", "Mars/Olympus_Mons");
        EXPECT_TRUE(systemZone().isValid());
        EXPECT_NE(systemZone().id(), QByteArray("Mars/Olympus_Mons"));
    }
    ScopedEnv tz("TZ", "Europe/London");
    EXPECT_EQ(zoneOrSystem("Not/AZone").id(), QByteArray("Europe/London"));
    EXPECT_EQ(zoneOrSystem("Asia/Kolkata").id(), QByteArray("Asia/Kolkata"));
}

TEST(SystemZone, aChangedLocaltimeLinkShowsAtTheNextCall)
{
    ScopedEnv tz("TZ", nullptr);
    QTemporaryDir dir;
    const QByteArray link = (dir.path() + QStringLiteral("/localtime")).toLocal8Bit();
    ASSERT_EQ(::symlink("/usr/share/zoneinfo/Asia/Tokyo", link.constData()), 0);
    EXPECT_EQ(systemZone(link.constData()).id(), QByteArray("Asia/Tokyo"));
    ::unlink(link.constData());
    ASSERT_EQ(::symlink("/usr/share/zoneinfo/America/Sao_Paulo", link.constData()), 0);
    EXPECT_EQ(systemZone(link.constData()).id(), QByteArray("America/Sao_Paulo"));
    ::unlink(link.constData());
    ASSERT_EQ(::symlink("../usr/share/zoneinfo/posix/Europe/Berlin", link.constData()), 0);
    EXPECT_EQ(systemZone(link.constData()).id(), QByteArray("Europe/Berlin"));
}

TEST(SystemZone, localeComesFromLcAllThenLcTimeThenLang)
{
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv time("LC_TIME", "de_DE.UTF-8");
    ScopedEnv lang("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(currentLocaleId(), QStringLiteral("de_DE"));
    {
        ScopedEnv all2("LC_ALL", "ja_JP.UTF-8");
        EXPECT_EQ(currentLocaleId(), QStringLiteral("ja_JP"));
    }
    {
        ScopedEnv time2("LC_TIME", nullptr);
        EXPECT_EQ(currentLocaleId(), QStringLiteral("fr_FR"));
        ScopedEnv lang2("LANG", "C");
        EXPECT_EQ(currentLocaleId(), QStringLiteral("en_US_POSIX"));
    }
}

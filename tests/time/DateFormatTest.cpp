#include "time/DateFormat.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::utcSeconds;

struct SkeletonRow {
    const char* name;
    const char* locale;
    const char* skeleton;
    const char* pattern;
};

class Skeletons : public ::testing::TestWithParam<SkeletonRow> {};

TEST_P(Skeletons, bestPatternIsTheLocalesCldrPattern)
{
    const auto& row = GetParam();
    EXPECT_EQ(bestPattern(QString::fromUtf8(row.skeleton), QString::fromUtf8(row.locale)),
              QString::fromUtf8(row.pattern));
}

INSTANTIATE_TEST_SUITE_P(Cldr,
                         Skeletons,
                         ::testing::Values(SkeletonRow{"en_GB_full_date", "en_GB", "dMMMEEEyyyy", "EEE, d MMM yyyy"},
                                           SkeletonRow{"en_GB_time", "en_GB", "jmm", "HH:mm"},
                                           SkeletonRow{"en_US_full_date", "en_US", "dMMMEEEyyyy", "EEE, MMM d, yyyy"},
                                           SkeletonRow{"en_US_time", "en_US", "jmm", "h:mm\u202Fa"},
                                           SkeletonRow{"de_DE_full_date", "de_DE", "dMMMEEEyyyy", "EEE, d. MMM yyyy"},
                                           SkeletonRow{"de_DE_time_seconds", "de_DE", "jmmss", "HH:mm:ss"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DateFormatter, usesTheTzDatabaseOffsetNotIcus)
{
    // Mexico abolished summer time in 2022; ICU 72's own rules still apply it in July 2026.
    const DateFormatter f(QStringLiteral("HH:mm"), QStringLiteral("en_GB"));
    const Instant noonUtc{utcSeconds(2026, 7, 5, 12, 0)};
    EXPECT_EQ(f.format(noonUtc, QTimeZone("America/Mexico_City")), QStringLiteral("06:00"));
    EXPECT_EQ(f.format(noonUtc, QTimeZone("Europe/London")), QStringLiteral("13:00"));
    EXPECT_EQ(f.format(noonUtc, QTimeZone("Asia/Kathmandu")), QStringLiteral("17:45"));
    EXPECT_EQ(f.format(noonUtc, QTimeZone("Pacific/Tongatapu")), QStringLiteral("01:00"));
}

TEST(DateFormatter, emptyPatternAndNonCivilInstantsGiveEmptyText)
{
    EXPECT_EQ(DateFormatter().format(Instant{0}, QTimeZone::utc()), QString());
    const DateFormatter f(QStringLiteral("yyyy"), QStringLiteral("en_GB"));
    EXPECT_EQ(f.format(Instant{1e300}, QTimeZone::utc()), QString());
    EXPECT_EQ(f.format(Instant{std::nan("")}, QTimeZone::utc()), QString());
}

TEST(DateFormat, shortTimeStyleAndFirstWeekdayFollowTheLocale)
{
    EXPECT_EQ(shortTimePattern(QStringLiteral("en_US")), QStringLiteral("h:mm\u202Fa"));
    EXPECT_EQ(shortTimePattern(QStringLiteral("en_GB")), QStringLiteral("HH:mm"));
    EXPECT_EQ(firstWeekday(QStringLiteral("en_US")), 1);
    EXPECT_EQ(firstWeekday(QStringLiteral("en_GB")), 2);
}

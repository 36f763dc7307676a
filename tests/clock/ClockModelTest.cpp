#include "clock/ClockModel.h"
#include "prefs/Prefs.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestEnv.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::FakeTimeSource;
using kalvix::test::MemoryPreferencesStore;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

namespace {

struct PatternRow {
    const char* name;
    const char* locale;
    bool weekday, year, seconds;
    int timeStyle, dateStyle;
    const char* pattern;
};

class TitlePatterns : public ::testing::TestWithParam<PatternRow> {};

// 2026-07-05 13:05:09 UTC: a Sunday, 14:05:09 in London (BST).
const Instant kSundayAfternoon{utcSeconds(2026, 7, 5, 13, 5, 9)};

QString titleAt(Instant t, const QMap<QString, QString>& prefs)
{
    MemoryPreferencesStore store;
    store.simulateExternalEdit(prefs);
    FakeTimeSource time(t);
    ClockModel clock(store, time, ClockModel::Timer::none);
    return clock.menuBarTitle();
}

} // namespace

TEST_P(TitlePatterns, patternForPreferencesAndLocale)
{
    const auto& r = GetParam();
    EXPECT_EQ(ClockModel::titlePattern(r.weekday,
                                       r.year,
                                       r.seconds,
                                       static_cast<TimeStyle>(r.timeStyle),
                                       static_cast<DateStyle>(r.dateStyle),
                                       QString::fromUtf8(r.locale)),
              QString::fromUtf8(r.pattern));
}

INSTANTIATE_TEST_SUITE_P(
    Locales,
    TitlePatterns,
    ::testing::Values(PatternRow{"en_GB_defaults", "en_GB", true, true, false, 0, 0, "EEE, d MMM yyyy HH:mm"},
                      PatternRow{"en_GB_seconds", "en_GB", true, true, true, 0, 0, "EEE, d MMM yyyy HH:mm:ss"},
                      PatternRow{"en_GB_no_weekday_no_year", "en_GB", false, false, false, 0, 0, "d MMM HH:mm"},
                      PatternRow{"en_GB_weekday_no_year", "en_GB", true, false, false, 0, 0, "EEE, d MMM HH:mm"},
                      PatternRow{"en_GB_12_hour_seconds", "en_GB", true, true, true, 1, 0, "EEE, d MMM yyyy h:mm:ss a"},
                      PatternRow{"en_US_defaults", "en_US", true, true, false, 0, 0, "EEE, MMM d, yyyy h:mm\u202Fa"},
                      PatternRow{"en_US_year_only", "en_US", false, true, false, 2, 0, "MMM d, yyyy HH:mm"},
                      PatternRow{"de_DE_defaults", "de_DE", true, true, false, 0, 0, "EEE, d. MMM yyyy HH:mm"},
                      PatternRow{"de_DE_12_hour", "de_DE", false, false, false, 1, 0, "d. MMM h:mm a"},
                      PatternRow{"ja_JP_defaults", "ja_JP", true, true, true, 0, 0, "yyyy年M月d日(EEE) H:mm:ss"},
                      PatternRow{"numeric_weekday_no_year_24h", "en_GB", true, false, false, 2, 1, "EEE dd-MM HH:mm"},
                      PatternRow{"numeric_year_12h_seconds", "en_US", false, true, true, 1, 1, "dd-MM-yyyy h:mm:ss a"},
                      PatternRow{"numeric_plain", "en_GB", false, false, false, 2, 1, "dd-MM HH:mm"},
                      PatternRow{"time_style_7_acts_as_0", "en_GB", true, true, false, 7, 0, "EEE, d MMM yyyy HH:mm"},
                      PatternRow{"date_style_minus_1_acts_as_0", "en_GB", false, false, false, -1, -1, "d MMM HH:mm"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClockModel, titlesInBritishEnglish)
{
    ScopedEnv tz("TZ", "Europe/London");
    ScopedEnv lc("LC_ALL", "en_GB.UTF-8");
    EXPECT_EQ(titleAt(kSundayAfternoon, {}), QStringLiteral("Sun, 5 Jul 2026 14:05"));
    EXPECT_EQ(titleAt(kSundayAfternoon,
                      {{Pref::showSeconds.name, QStringLiteral("true")}, {Pref::timeStyle.name, QStringLiteral("1")}}),
              QStringLiteral("Sun, 5 Jul 2026 2:05:09 pm"));
    EXPECT_EQ(titleAt(kSundayAfternoon,
                      {{Pref::dateStyle.name, QStringLiteral("1")},
                       {Pref::showYear.name, QStringLiteral("false")},
                       {Pref::timeStyle.name, QStringLiteral("2")}}),
              QStringLiteral("Sun 05-07 14:05"));
    // Hand-edited nonsense falls back to the defaults.
    EXPECT_EQ(
        titleAt(kSundayAfternoon,
                {{Pref::showWeekday.name, QStringLiteral("maybe")}, {Pref::timeStyle.name, QStringLiteral("twelve")}}),
        QStringLiteral("Sun, 5 Jul 2026 14:05"));
}

TEST(ClockModel, titlesInOtherLocales)
{
    ScopedEnv tz("TZ", "America/New_York");
    {
        ScopedEnv lc("LC_ALL", "en_US.UTF-8");
        EXPECT_EQ(titleAt(kSundayAfternoon, {}), QStringLiteral("Sun, Jul 5, 2026 9:05\u202FAM"));
    }
    {
        ScopedEnv lc("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(titleAt(kSundayAfternoon, {}), QStringLiteral("So., 5. Juli 2026 09:05"));
    }
}

struct DstRow {
    const char* name;
    const char* zone;
    double utc;
    const char* title;
};

class DstTitles : public ::testing::TestWithParam<DstRow> {};

TEST_P(DstTitles, wallClockTimeFollowsTheZonesRules)
{
    const auto& r = GetParam();
    ScopedEnv tz("TZ", r.zone);
    ScopedEnv lc("LC_ALL", "en_GB.UTF-8");
    EXPECT_EQ(titleAt(Instant{r.utc}, {{Pref::showSeconds.name, QStringLiteral("true")}}), QString::fromUtf8(r.title));
}

INSTANTIATE_TEST_SUITE_P(
    Zones,
    DstTitles,
    ::testing::Values(
        DstRow{"london_before_spring_forward",
               "Europe/London",
               utcSeconds(2026, 3, 29, 0, 59, 59),
               "Sun, 29 Mar 2026 00:59:59"},
        DstRow{"london_after_spring_forward",
               "Europe/London",
               utcSeconds(2026, 3, 29, 1, 0, 0),
               "Sun, 29 Mar 2026 02:00:00"},
        DstRow{"london_first_one_thirty",
               "Europe/London",
               utcSeconds(2026, 10, 25, 0, 30, 0),
               "Sun, 25 Oct 2026 01:30:00"},
        DstRow{"london_second_one_thirty",
               "Europe/London",
               utcSeconds(2026, 10, 25, 1, 30, 0),
               "Sun, 25 Oct 2026 01:30:00"},
        DstRow{
            "new_york_spring_forward", "America/New_York", utcSeconds(2026, 3, 8, 7, 0, 0), "Sun, 8 Mar 2026 03:00:00"},
        DstRow{"new_york_fall_back", "America/New_York", utcSeconds(2026, 11, 1, 6, 0, 0), "Sun, 1 Nov 2026 01:00:00"},
        DstRow{"sydney_fall_back", "Australia/Sydney", utcSeconds(2026, 4, 4, 16, 0, 0), "Sun, 5 Apr 2026 02:00:00"},
        // Mexico dropped summer time in 2022; a stale rule set would say 10:00.
        DstRow{"mexico_city_no_more_dst",
               "America/Mexico_City",
               utcSeconds(2026, 7, 5, 15, 0, 0),
               "Sun, 5 Jul 2026 09:00:00"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClockModel, publishesTheTitleOnlyWhenItChanges)
{
    ScopedEnv tz("TZ", "Europe/London");
    ScopedEnv lc("LC_ALL", "en_GB.UTF-8");
    MemoryPreferencesStore store;
    FakeTimeSource time(Instant{utcSeconds(2026, 7, 5, 13, 5, 0)});
    ClockModel clock(store, time, ClockModel::Timer::none);
    EXPECT_FALSE(clock.menuBarTitle().isEmpty()); // the first tick ran inside the constructor
    QSignalSpy nows(&clock, &ClockModel::nowChanged);
    QSignalSpy titles(&clock, &ClockModel::menuBarTitleChanged);

    time.advance(20);
    clock.tick();
    time.advance(20);
    clock.tick();
    EXPECT_EQ(nows.count(), 2);
    EXPECT_EQ(titles.count(), 0);

    time.advance(20); // 14:06:00
    clock.tick();
    ASSERT_EQ(titles.count(), 1);
    EXPECT_EQ(titles.at(0).at(0).toString(), QStringLiteral("Sun, 5 Jul 2026 14:06"));
}

TEST(ClockModel, rebuildsOnPreferenceLocaleAndZoneChangesAtTheNextTick)
{
    ScopedEnv tz("TZ", "Europe/London");
    ScopedEnv lc("LC_ALL", "en_GB.UTF-8");
    MemoryPreferencesStore store;
    FakeTimeSource time(kSundayAfternoon);
    ClockModel clock(store, time, ClockModel::Timer::none);
    EXPECT_EQ(clock.formatSignature(), QStringLiteral("true|true|false|0|0|en_GB"));

    const QString pattern = clock.pattern();
    clock.tick();
    EXPECT_EQ(clock.pattern(), pattern); // same signature: same formatter
    EXPECT_FALSE(clock.showsSeconds());

    store.set(Pref::showSeconds, true);
    EXPECT_FALSE(clock.showsSeconds()) << "the title it describes has not turned yet";
    clock.tick();
    EXPECT_EQ(clock.menuBarTitle(), QStringLiteral("Sun, 5 Jul 2026 14:05:09"));
    EXPECT_TRUE(clock.showsSeconds());

    {
        ScopedEnv lc2("LC_ALL", "de_DE.UTF-8");
        clock.tick();
        EXPECT_EQ(clock.formatSignature(), QStringLiteral("true|true|true|0|0|de_DE"));
        EXPECT_EQ(clock.menuBarTitle(), QStringLiteral("So., 5. Juli 2026 14:05:09"));
    }
    ScopedEnv tz2("TZ", "Asia/Kathmandu");
    clock.tick();
    EXPECT_EQ(clock.menuBarTitle(), QStringLiteral("Sun, 5 Jul 2026 18:50:09"));
}

TEST(ClockModel, defaultsAreRegisteredButNeverWritten)
{
    MemoryPreferencesStore store;
    FakeTimeSource time(kSundayAfternoon);
    ClockModel clock(store, time, ClockModel::Timer::none);
    clock.tick();
    EXPECT_EQ(store.persistCount(), 0);
    EXPECT_TRUE(store.stored().isEmpty());
    EXPECT_TRUE(store.boolValue(Pref::showWeekday.name, false));
    EXPECT_EQ(store.stringValue(Pref::homeCity.name, QString()), QStringLiteral("London"));
    EXPECT_FALSE(store.boolValue(Pref::compactMode.name, true));
}

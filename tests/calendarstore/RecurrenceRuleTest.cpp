#include "calendarstore/ical/RecurrenceRule.h"
#include "time/CivilDays.h"

#include <libical/ical.h>

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace kalvix;
using namespace kalvix::ical;

namespace {

WallTime wall(const char* text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(text, "%4d%2d%2dT%2d%2d%2d", &y, &mo, &d, &h, &mi, &s);
    return WallTime{{y, mo, d}, {h, mi, s}};
}

std::string text(const WallTime& w)
{
    char buffer[32];
    std::snprintf(buffer,
                  sizeof buffer,
                  "%04d%02d%02dT%02d%02d%02d",
                  w.date.year,
                  w.date.month,
                  w.date.day,
                  w.time.hour,
                  w.time.minute,
                  w.time.second);
    return buffer;
}

// The first `limit` starts of a rule, as "YYYYMMDDTHHMMSS".
std::vector<std::string> starts(const char* rule, const char* start, std::size_t limit, const char* until = nullptr)
{
    const auto parsed = RecurrenceRule::parse(QByteArray(rule));
    EXPECT_TRUE(parsed) << rule;
    if (!parsed)
        return {};
    RecurrenceIterator it(*parsed, wall(start), false, until ? std::optional<WallTime>(wall(until)) : parsed->until);
    std::vector<std::string> out;
    while (out.size() < limit) {
        const auto next = it.next();
        if (!next)
            break;
        out.push_back(text(*next));
    }
    EXPECT_FALSE(it.outOfBudget()) << rule;
    return out;
}

std::vector<std::string> days(const char* time, std::initializer_list<const char*> dates)
{
    std::vector<std::string> out;
    for (const char* d : dates)
        out.push_back(std::string(d) + "T" + time);
    return out;
}

struct RfcRow {
    const char* name;
    const char* rule;
    const char* start;
    const char* until; // wall-clock UNTIL, when the example has one
    std::vector<std::string> expected;
};

} // namespace

class RfcExamples : public ::testing::TestWithParam<RfcRow> {};

TEST_P(RfcExamples, giveTheListedStarts)
{
    const RfcRow& r = GetParam();
    EXPECT_EQ(starts(r.rule, r.start, r.expected.size() + (r.until ? 5 : 0), r.until), r.expected);
}

// The examples of RFC 5545, section 3.8.5.3 (times are New York wall-clock times throughout).
INSTANTIATE_TEST_SUITE_P(
    Rfc5545,
    RfcExamples,
    ::testing::Values(
        RfcRow{"daily_ten_times",
               "FREQ=DAILY;COUNT=10",
               "19970902T090000",
               nullptr,
               days("090000",
                    {"19970902",
                     "19970903",
                     "19970904",
                     "19970905",
                     "19970906",
                     "19970907",
                     "19970908",
                     "19970909",
                     "19970910",
                     "19970911"})},
        RfcRow{"every_ten_days_five_times",
               "FREQ=DAILY;INTERVAL=10;COUNT=5",
               "19970902T090000",
               nullptr,
               days("090000", {"19970902", "19970912", "19970922", "19971002", "19971012"})},
        RfcRow{"weekly_tuesday_thursday_ten_times",
               "FREQ=WEEKLY;COUNT=10;WKST=SU;BYDAY=TU,TH",
               "19970902T090000",
               nullptr,
               days("090000",
                    {"19970902",
                     "19970904",
                     "19970909",
                     "19970911",
                     "19970916",
                     "19970918",
                     "19970923",
                     "19970925",
                     "19970930",
                     "19971002"})},
        RfcRow{"every_other_week_mon_wed_fri_until",
               "FREQ=WEEKLY;INTERVAL=2;WKST=SU;BYDAY=MO,WE,FR",
               "19970901T090000",
               "19971223T190000",
               days("090000", {"19970901", "19970903", "19970905", "19970915", "19970917", "19970919", "19970929",
                               "19971001", "19971003", "19971013", "19971015", "19971017", "19971027", "19971029",
                               "19971031", "19971110", "19971112", "19971114", "19971124", "19971126", "19971128",
                               "19971208", "19971210", "19971212", "19971222"})},
        RfcRow{"monthly_first_friday",
               "FREQ=MONTHLY;COUNT=10;BYDAY=1FR",
               "19970905T090000",
               nullptr,
               days("090000",
                    {"19970905",
                     "19971003",
                     "19971107",
                     "19971205",
                     "19980102",
                     "19980206",
                     "19980306",
                     "19980403",
                     "19980501",
                     "19980605"})},
        RfcRow{"every_other_month_first_and_last_sunday",
               "FREQ=MONTHLY;INTERVAL=2;COUNT=10;BYDAY=1SU,-1SU",
               "19970907T090000",
               nullptr,
               days("090000",
                    {"19970907",
                     "19970928",
                     "19971102",
                     "19971130",
                     "19980104",
                     "19980125",
                     "19980301",
                     "19980329",
                     "19980503",
                     "19980531"})},
        RfcRow{"second_to_last_monday",
               "FREQ=MONTHLY;COUNT=6;BYDAY=-2MO",
               "19970922T090000",
               nullptr,
               days("090000", {"19970922", "19971020", "19971117", "19971222", "19980119", "19980216"})},
        RfcRow{"third_to_last_day",
               "FREQ=MONTHLY;BYMONTHDAY=-3",
               "19970928T090000",
               nullptr,
               days("090000", {"19970928", "19971029", "19971128", "19971229", "19980129", "19980226"})},
        RfcRow{"first_and_last_day",
               "FREQ=MONTHLY;COUNT=10;BYMONTHDAY=1,-1",
               "19970930T090000",
               nullptr,
               days("090000",
                    {"19970930",
                     "19971001",
                     "19971031",
                     "19971101",
                     "19971130",
                     "19971201",
                     "19971231",
                     "19980101",
                     "19980131",
                     "19980201"})},
        RfcRow{"every_eighteen_months_tenth_to_fifteenth",
               "FREQ=MONTHLY;INTERVAL=18;COUNT=10;BYMONTHDAY=10,11,12,13,14,15",
               "19970910T090000",
               nullptr,
               days("090000",
                    {"19970910",
                     "19970911",
                     "19970912",
                     "19970913",
                     "19970914",
                     "19970915",
                     "19990310",
                     "19990311",
                     "19990312",
                     "19990313"})},
        RfcRow{"every_other_month_every_tuesday",
               "FREQ=MONTHLY;INTERVAL=2;BYDAY=TU",
               "19970902T090000",
               nullptr,
               days("090000",
                    {"19970902",
                     "19970909",
                     "19970916",
                     "19970923",
                     "19970930",
                     "19971104",
                     "19971111",
                     "19971118",
                     "19971125",
                     "19980106"})},
        RfcRow{"yearly_june_and_july",
               "FREQ=YEARLY;COUNT=10;BYMONTH=6,7",
               "19970610T090000",
               nullptr,
               days("090000",
                    {"19970610",
                     "19970710",
                     "19980610",
                     "19980710",
                     "19990610",
                     "19990710",
                     "20000610",
                     "20000710",
                     "20010610",
                     "20010710"})},
        RfcRow{"every_third_year_on_year_days",
               "FREQ=YEARLY;INTERVAL=3;COUNT=10;BYYEARDAY=1,100,200",
               "19970101T090000",
               nullptr,
               days("090000",
                    {"19970101",
                     "19970410",
                     "19970719",
                     "20000101",
                     "20000409",
                     "20000718",
                     "20030101",
                     "20030410",
                     "20030719",
                     "20060101"})},
        RfcRow{"twentieth_monday_of_the_year",
               "FREQ=YEARLY;BYDAY=20MO",
               "19970519T090000",
               nullptr,
               days("090000", {"19970519", "19980518", "19990517"})},
        RfcRow{"monday_of_week_twenty",
               "FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO",
               "19970512T090000",
               nullptr,
               days("090000", {"19970512", "19980511", "19990517"})},
        RfcRow{"every_thursday_in_march",
               "FREQ=YEARLY;BYMONTH=3;BYDAY=TH",
               "19970313T090000",
               nullptr,
               days("090000",
                    {"19970313", "19970320", "19970327", "19980305", "19980312", "19980319", "19980326", "19990304"})},
        RfcRow{"friday_the_thirteenth",
               "FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13",
               "19970902T090000",
               nullptr,
               days("090000", {"19980213", "19980313", "19981113", "19990813", "20001013"})},
        RfcRow{"first_saturday_after_the_first_sunday",
               "FREQ=MONTHLY;BYDAY=SA;BYMONTHDAY=7,8,9,10,11,12,13",
               "19970913T090000",
               nullptr,
               days("090000", {"19970913", "19971011", "19971108", "19971213", "19980110", "19980207"})},
        RfcRow{"us_presidential_election_day",
               "FREQ=YEARLY;INTERVAL=4;BYMONTH=11;BYDAY=TU;BYMONTHDAY=2,3,4,5,6,7,8",
               "19961105T090000",
               nullptr,
               days("090000", {"19961105", "20001107", "20041102"})},
        RfcRow{"third_tuesday_wednesday_or_thursday",
               "FREQ=MONTHLY;COUNT=3;BYDAY=TU,WE,TH;BYSETPOS=3",
               "19970904T090000",
               nullptr,
               days("090000", {"19970904", "19971007", "19971106"})},
        RfcRow{"second_to_last_weekday",
               "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-2",
               "19970929T090000",
               nullptr,
               days("090000", {"19970929", "19971030", "19971127", "19971230", "19980129", "19980226"})},
        RfcRow{"every_fifteen_minutes_six_times",
               "FREQ=MINUTELY;INTERVAL=15;COUNT=6",
               "19970902T090000",
               nullptr,
               {"19970902T090000",
                "19970902T091500",
                "19970902T093000",
                "19970902T094500",
                "19970902T100000",
                "19970902T101500"}},
        RfcRow{"every_ninety_minutes",
               "FREQ=MINUTELY;INTERVAL=90;COUNT=4",
               "19970902T090000",
               nullptr,
               {"19970902T090000", "19970902T103000", "19970902T120000", "19970902T133000"}},
        RfcRow{"every_twenty_minutes_in_office_hours",
               "FREQ=MINUTELY;INTERVAL=20;BYHOUR=9,10,11,12,13,14,15,16",
               "19970902T090000",
               nullptr,
               {"19970902T090000", "19970902T092000", "19970902T094000", "19970902T100000"}},
        RfcRow{"week_start_monday",
               "FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=MO",
               "19970805T090000",
               nullptr,
               days("090000", {"19970805", "19970810", "19970819", "19970824"})},
        RfcRow{"week_start_sunday",
               "FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=SU",
               "19970805T090000",
               nullptr,
               days("090000", {"19970805", "19970817", "19970819", "19970831"})},
        RfcRow{"invalid_dates_are_skipped",
               "FREQ=MONTHLY;BYMONTHDAY=15,30;COUNT=5",
               "20070115T090000",
               nullptr,
               days("090000", {"20070115", "20070130", "20070215", "20070315", "20070330"})}),
    [](const auto& row) { return std::string(row.param.name); });

namespace {

// libical's starts for the same rule, as the second opinion.
std::vector<std::string> libicalStarts(const char* rule, const char* start, std::size_t limit)
{
    icalerror_set_errors_are_fatal(0);
    const icalrecurrencetype recur = icalrecurrencetype_from_string(rule);
    icaltimetype t = icaltime_from_string(start);
    icalrecur_iterator* it = icalrecur_iterator_new(recur, t);
    std::vector<std::string> out;
    for (icaltimetype next = it ? icalrecur_iterator_next(it) : icaltime_null_time();
         !icaltime_is_null_time(next) && out.size() < limit;
         next = icalrecur_iterator_next(it))
        out.push_back(text(WallTime{{next.year, next.month, next.day}, {next.hour, next.minute, next.second}}));
    if (it)
        icalrecur_iterator_free(it);
    return out;
}

} // namespace

// Rules of every shape, from starts that meet month ends, leap days and year ends, against libical's
// iterator: the two must agree wherever the rule is one a calendar would hold.
TEST(RecurrenceAgainstLibical, sameStartsForEveryShape)
{
    const char* const shapes[] = {
        "FREQ=DAILY",
        "FREQ=DAILY;INTERVAL=3;BYDAY=MO,WE,FR",
        "FREQ=DAILY;BYMONTH=1,7;BYMONTHDAY=1,15",
        "FREQ=DAILY;BYHOUR=8,20;BYMINUTE=0,30",
        "FREQ=WEEKLY",
        "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH",
        "FREQ=WEEKLY;BYDAY=SU,SA;WKST=SU",
        "FREQ=WEEKLY;INTERVAL=3;BYDAY=TU;BYHOUR=7,19",
        "FREQ=MONTHLY",
        "FREQ=MONTHLY;INTERVAL=2",
        "FREQ=MONTHLY;BYMONTHDAY=31",
        "FREQ=MONTHLY;BYMONTHDAY=-1,1",
        "FREQ=MONTHLY;BYDAY=2TU,-1FR",
        "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1,-1",
        "FREQ=MONTHLY;BYDAY=SA,SU;BYSETPOS=2",
        "FREQ=MONTHLY;INTERVAL=5;BYMONTHDAY=29,30",
        "FREQ=YEARLY",
        "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29",
        "FREQ=YEARLY;BYMONTH=3,10;BYDAY=-1SU",
        "FREQ=YEARLY;BYYEARDAY=1,-1,100",
        "FREQ=YEARLY;BYDAY=1MO,-1MO",
        "FREQ=YEARLY;INTERVAL=2;BYMONTH=1,6;BYDAY=1SU",
        "FREQ=YEARLY;BYMONTH=11;BYDAY=TH;BYSETPOS=4",
        "FREQ=HOURLY;INTERVAL=5",
        "FREQ=HOURLY;BYDAY=SA",
        "FREQ=MINUTELY;INTERVAL=45;COUNT=50",
        "FREQ=DAILY;COUNT=17",
        "FREQ=MONTHLY;COUNT=13;BYDAY=3WE",
        "FREQ=WEEKLY;UNTIL=20261231T235959;BYDAY=MO",
    };
    const char* const startsAt[] = {
        "20240131T093000",
        "20240229T000000",
        "20251231T235900",
        "20250330T013000",
        "19991231T120000",
    };
    for (const char* shape : shapes) {
        for (const char* start : startsAt) {
            const auto ours = starts(shape, start, 60);
            const auto theirs = libicalStarts(shape, start, 60);
            EXPECT_EQ(ours, theirs) << shape << " from " << start;
        }
    }
}

// Where libical 3.0 strays from RFC 5545, Kalvix follows the RFC.
INSTANTIATE_TEST_SUITE_P(WhereLibicalErrs,
                         RfcExamples,
                         ::testing::Values(
                             // libical drops negative month days from daily rules.
                             RfcRow{"negative_month_day_on_a_daily_rule",
                                    "FREQ=DAILY;BYMONTH=1,7;BYMONTHDAY=-1",
                                    "20240101T093000",
                                    nullptr,
                                    days("093000", {"20240131", "20240731", "20250131", "20250731"})},
                             // libical loses the 45-minute rhythm when it passes over the hours the rule leaves out.
                             RfcRow{"minutely_rule_limited_to_some_hours_keeps_its_rhythm",
                                    "FREQ=MINUTELY;INTERVAL=45;BYHOUR=9,10,11",
                                    "20250330T013000",
                                    nullptr,
                                    {"20250330T090000",
                                     "20250330T094500",
                                     "20250330T103000",
                                     "20250330T111500",
                                     "20250331T090000",
                                     "20250331T094500"}}),
                         [](const auto& row) { return std::string(row.param.name); });

struct ParseRow {
    const char* name;
    const char* text;
    bool readable;
    std::int64_t count; // when readable; 0 for none
    int interval;
};

class RuleText : public ::testing::TestWithParam<ParseRow> {};

TEST_P(RuleText, isReadOrRefused)
{
    const ParseRow& r = GetParam();
    const auto rule = RecurrenceRule::parse(QByteArray(r.text));
    ASSERT_EQ(rule.has_value(), r.readable);
    if (!rule)
        return;
    EXPECT_EQ(rule->count.value_or(0), r.count);
    EXPECT_EQ(rule->interval, r.interval);
}

INSTANTIATE_TEST_SUITE_P(
    Parts,
    RuleText,
    ::testing::Values(
        ParseRow{"plain", "FREQ=WEEKLY", true, 0, 1},
        ParseRow{"lower_case_and_spaces", " freq=daily ; count=3 ; interval=2 ", true, 3, 2},
        ParseRow{"count_beyond_32_bits_is_as_good_as_endless", "FREQ=DAILY;COUNT=2147483648", true, 2147483647, 1},
        ParseRow{"interval_beyond_64_bits", "FREQ=DAILY;INTERVAL=99999999999999999999999", true, 0, 2147483647},
        ParseRow{"unknown_extension_part", "FREQ=DAILY;X-NAME=1", true, 0, 1},
        ParseRow{"no_frequency", "COUNT=3", false, 0, 0},
        ParseRow{"unknown_frequency", "FREQ=SOMETIMES", false, 0, 0},
        ParseRow{"zero_interval", "FREQ=DAILY;INTERVAL=0", false, 0, 0},
        ParseRow{"negative_count", "FREQ=DAILY;COUNT=-1", false, 0, 0},
        ParseRow{"words_for_a_count", "FREQ=DAILY;COUNT=ten", false, 0, 0},
        ParseRow{"month_thirteen", "FREQ=YEARLY;BYMONTH=13", false, 0, 0},
        ParseRow{"weekday_typo", "FREQ=WEEKLY;BYDAY=MO,XX", false, 0, 0},
        ParseRow{"set_position_zero", "FREQ=MONTHLY;BYDAY=MO;BYSETPOS=0", false, 0, 0},
        ParseRow{"bad_until", "FREQ=DAILY;UNTIL=2025", false, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

struct HostileRow {
    const char* name;
    const char* rule;
    bool spendsItsBudget; // else it ends by itself
};

class HostileRules : public ::testing::TestWithParam<HostileRow> {};

// Rules that never or hardly ever match end after a bounded amount of work, with no start at all.
TEST_P(HostileRules, endWithoutStartsWithinTheirBudget)
{
    const HostileRow& r = GetParam();
    const auto rule = RecurrenceRule::parse(QByteArray(r.rule));
    ASSERT_TRUE(rule);
    RecurrenceIterator it(*rule, wall("20250101T090000"), false, std::nullopt);
    it.setBudget(2000000);
    EXPECT_FALSE(it.next());
    EXPECT_EQ(it.outOfBudget(), r.spendsItsBudget);
    EXPECT_FALSE(it.next()) << "an iterator that ended stays ended";
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    HostileRules,
    ::testing::Values(
        HostileRow{"set_position_beyond_any_month", "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-366", false},
        HostileRow{"february_the_thirty_first", "FREQ=MONTHLY;BYMONTHDAY=31;BYMONTH=2", false},
        HostileRow{"february_the_thirtieth_yearly", "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30", false},
        HostileRow{"february_the_thirtieth_hourly", "FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30", false},
        HostileRow{"february_the_thirtieth_every_second", "FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30", false},
        HostileRow{"last_day_of_the_year_in_january", "FREQ=WEEKLY;BYYEARDAY=-1;BYMONTH=1", false},
        HostileRow{"interval_past_the_year_9999", "FREQ=YEARLY;INTERVAL=2147483647;BYMONTH=2;BYMONTHDAY=29", false},
        HostileRow{"every_second_of_every_day_of_the_year",
                   "FREQ=YEARLY;BYHOUR=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23;"
                   "BYMINUTE=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,"
                   "30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59;"
                   "BYSETPOS=-1;BYMONTH=2;BYMONTHDAY=30",
                   false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RecurrenceBudget, aRuleThatGivesTooManyStartsInOnePeriodSpendsItsBudget)
{
    const auto rule = RecurrenceRule::parse(
        "FREQ=YEARLY;BYMONTHDAY=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28;"
        "BYHOUR=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23;"
        "BYMINUTE=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,"
        "30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58,59");
    ASSERT_TRUE(rule);
    RecurrenceIterator it(*rule, wall("20250101T090000"), false, std::nullopt);
    EXPECT_FALSE(it.next());
    EXPECT_TRUE(it.outOfBudget());
}

TEST(RecurrenceSkip, startingNearALaterDateGivesTheSameStartsAsIteratingFromTheStart)
{
    const char* const shapes[] = {
        "FREQ=DAILY;INTERVAL=3",
        "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,SU;WKST=SU",
        "FREQ=MONTHLY;INTERVAL=5;BYMONTHDAY=-1",
        "FREQ=YEARLY;INTERVAL=3;BYMONTH=2;BYMONTHDAY=29",
        "FREQ=HOURLY;INTERVAL=7;BYDAY=TU",
        "FREQ=MINUTELY;INTERVAL=97;BYHOUR=8",
    };
    for (const char* shape : shapes) {
        const auto rule = RecurrenceRule::parse(QByteArray(shape));
        ASSERT_TRUE(rule) << shape;
        const WallTime start = wall("20240131T093000");
        const WallTime from = wall("20310617T120000");
        RecurrenceIterator full(*rule, start, false, std::nullopt);
        // From three years before `from`, longer than any period, to 25 starts after it.
        std::vector<std::string> expected;
        for (int after = 0; after < 25;) {
            const auto next = full.next();
            ASSERT_TRUE(next) << shape;
            if (wallSeconds(*next) >= wallSeconds(from) - 3 * 366 * kSecondsPerDay)
                expected.push_back(text(*next));
            after += wallSeconds(*next) >= wallSeconds(from);
        }
        RecurrenceIterator skipping(*rule, start, false, std::nullopt);
        skipping.skipTo(from);
        auto first = skipping.next();
        ASSERT_TRUE(first) << shape;
        // The skip lands on the period that holds `from`, so everything from there on is the same.
        const auto at = std::find(expected.begin(), expected.end(), text(*first));
        ASSERT_NE(at, expected.end()) << shape;
        std::vector<std::string> got{text(*first)};
        while (got.size() < std::size_t(expected.end() - at))
            got.push_back(text(*skipping.next()));
        EXPECT_EQ(got, std::vector<std::string>(at, expected.end())) << shape;
    }
}

// The month grid's decisions without a widget: which days, in which order, and how each cell looks.
#include "popover/MonthGrid.h"
#include "tests/support/CalendarTestSupport.h"
#include "time/DateFormat.h"

#include <QDate>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

constexpr int kSunday = 1;
constexpr int kMonday = 2;
constexpr int kSaturday = 7;

CivilCalendar london()
{
    return CivilCalendar::current();
}

CivilDate dateOf(Instant t)
{
    return *london().dateOf(t);
}

struct GridCase {
    const char* name;
    int year;
    int month;
    int firstWeekday;
    int leading;
    int rows;
    int trailing;
};

class GridDays : public ::testing::TestWithParam<GridCase> {};

} // namespace

TEST_P(GridDays, wholeWeeksFromTheFirstWeekdayBeforeThe1stToTheWeekOfTheLastDay)
{
    const GridCase& c = GetParam();
    // Any instant inside the month will do: the 17th, late in the evening.
    const QList<Instant> days = MonthGrid::gridDays(local(c.year, c.month, 17, 23, 30), c.firstWeekday, london());
    ASSERT_EQ(days.size(), c.rows * 7);
    EXPECT_EQ(MonthGrid::leadingDays(local(c.year, c.month, 17), c.firstWeekday, london()), c.leading);
    EXPECT_EQ(dateOf(days[c.leading]), (CivilDate{c.year, c.month, 1}));
    if (c.leading > 0) {
        EXPECT_NE(dateOf(days[c.leading - 1]).month, c.month);
    }
    const CivilDate last = dateOf(days.last());
    const CivilDate expectedLast = c.trailing == 0
                                       ? CivilDate{c.year, c.month, QDate(c.year, c.month, 1).daysInMonth()}
                                       : CivilDate{c.month == 12 ? c.year + 1 : c.year, c.month % 12 + 1, c.trailing};
    EXPECT_EQ(last, expectedLast);
    // Every entry is a local midnight, one calendar day after the one before.
    for (qsizetype i = 0; i < days.size(); ++i) {
        EXPECT_EQ(london().startOfDay(days[i]), days[i]) << i;
        if (i > 0) {
            EXPECT_EQ(london().daysBetween(days[i - 1], days[i]), 1) << i;
        }
    }
    // The first column is the first weekday (CivilCalendar counts Monday as 1).
    EXPECT_EQ(MonthGrid::toSundayBased(*london().weekdayOf(days.first())), c.firstWeekday);
}

INSTANTIATE_TEST_SUITE_P(February_and_August_2026,
                         GridDays,
                         ::testing::Values(GridCase{"february_sunday_first_fits_four_rows", 2026, 2, kSunday, 0, 4, 0},
                                           GridCase{"august_sunday_first_six_rows", 2026, 8, kSunday, 6, 6, 5},
                                           GridCase{"february_monday_first_five_rows", 2026, 2, kMonday, 6, 5, 1},
                                           GridCase{"august_monday_first_six_rows", 2026, 8, kMonday, 5, 6, 6},
                                           GridCase{"march_across_spring_forward", 2026, 3, kMonday, 6, 6, 5},
                                           GridCase{"october_across_fall_back", 2026, 10, kMonday, 3, 5, 1},
                                           GridCase{"december_into_next_year", 2026, 12, kSaturday, 3, 5, 1}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WeekdaySymbols, startAtTheLocalesFirstWeekday)
{
    const QStringList sundayFirst = veryShortWeekdaySymbols(QStringLiteral("en_US"));
    EXPECT_EQ(sundayFirst, (QStringList{u"S"_qs, u"M"_qs, u"T"_qs, u"W"_qs, u"T"_qs, u"F"_qs, u"S"_qs}));
    EXPECT_EQ(MonthGrid::weekdaySymbols(sundayFirst, kSunday), sundayFirst);
    EXPECT_EQ(MonthGrid::weekdaySymbols(sundayFirst, kMonday),
              (QStringList{u"M"_qs, u"T"_qs, u"W"_qs, u"T"_qs, u"F"_qs, u"S"_qs, u"S"_qs}));
    EXPECT_EQ(MonthGrid::weekdaySymbols(sundayFirst, kSaturday).first(), u"S"_qs);
    EXPECT_EQ(MonthGrid::weekdaySymbols(sundayFirst, kSaturday)[1], u"S"_qs) << "Saturday, then Sunday";
    EXPECT_EQ(MonthGrid::weekdaySymbols(sundayFirst, kSaturday)[2], u"M"_qs);

    // The locale decides both the letters and where the week starts.
    EXPECT_EQ(kalvix::firstWeekday(QStringLiteral("en_US")), kSunday);
    EXPECT_EQ(kalvix::firstWeekday(QStringLiteral("en_GB")), kMonday);
    const QStringList german = veryShortWeekdaySymbols(QStringLiteral("de_DE"));
    EXPECT_EQ(MonthGrid::weekdaySymbols(german, kalvix::firstWeekday(QStringLiteral("de_DE"))).first(), u"M"_qs);
    EXPECT_EQ(german.first(), u"S"_qs) << "Sonntag";
    EXPECT_EQ(german[3], u"M"_qs) << "Mittwoch";
}

TEST(MonthNavigation, thirtyFirstOfJanuaryPlusAMonthTwiceStaysInMarch)
{
    const Instant january31 = local(2026, 1, 31, 9, 41);
    const auto february = MonthGrid::shift(january31, 1, london());
    ASSERT_TRUE(february);
    EXPECT_EQ(dateOf(*february), (CivilDate{2026, 2, 28}));
    const auto march = MonthGrid::shift(*february, 1, london());
    ASSERT_TRUE(march);
    EXPECT_EQ(dateOf(*march), (CivilDate{2026, 3, 28}));
    EXPECT_EQ(dateOf(*MonthGrid::shift(local(2028, 3, 31), -1, london())), (CivilDate{2028, 2, 29})) << "leap year";
    EXPECT_EQ(dateOf(*MonthGrid::shift(local(2026, 12, 15), 1, london())), (CivilDate{2027, 1, 15}));
}

TEST(MonthNavigation, steppingDaysLandsOnLocalMidnightsAcrossDaylightSavingChanges)
{
    const Instant saturday = local(2026, 3, 28, 0, 0);
    const auto monday = MonthGrid::stepDays(saturday, 2, london());
    ASSERT_TRUE(monday);
    EXPECT_EQ(*monday, local(2026, 3, 30));
    EXPECT_EQ(*monday - saturday, 47 * 3600.0) << "one hour less across the spring-forward night";
    EXPECT_EQ(*MonthGrid::stepDays(local(2026, 3, 1, 13, 5), -1, london()), local(2026, 2, 28));
    EXPECT_FALSE(MonthGrid::stepDays(Instant{1e300}, 1, london()));
}

TEST(MonthCells, todayAndTheSelectionAreDecidedPerDayAlsoInTheNeighbouringMonths)
{
    const Instant now = local(2026, 3, 31, 18, 0); // today is the last day of March
    const Instant april = local(2026, 4, 10);
    const QList<Instant> days = MonthGrid::gridDays(april, kMonday, london());
    MonthDotMap dots;
    dots.insert(local(2026, 3, 31), DayColors{kRed, kBlue});
    dots.insert(local(2026, 4, 2), DayColors{kGreen});
    const auto cells = MonthGrid::cells(days, april, now, local(2026, 3, 30, 12), dots, london());
    ASSERT_EQ(cells.size(), 35);
    // April 2026 starts on a Wednesday: Monday 30 and Tuesday 31 March lead the grid.
    EXPECT_EQ(cells[0].dayNumber, 30);
    EXPECT_TRUE(cells[0].isSelected);
    EXPECT_FALSE(cells[0].inDisplayedMonth);
    EXPECT_TRUE(cells[1].isToday);
    EXPECT_FALSE(cells[1].inDisplayedMonth);
    EXPECT_EQ(cells[1].dots, (DayColors{kRed, kBlue}));
    EXPECT_EQ(cells[3].dayNumber, 2);
    EXPECT_EQ(cells[3].dots, DayColors{kGreen});
    EXPECT_TRUE(cells[3].inDisplayedMonth);
    int today = 0, selected = 0, withDots = 0;
    for (const DayCellState& cell : cells) {
        today += cell.isToday;
        selected += cell.isSelected;
        withDots += !cell.dots.isEmpty();
    }
    EXPECT_EQ(today, 1);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(withDots, 2);

    // Without a selection no cell is selected; a month the calendar cannot give has no days.
    for (const DayCellState& cell : MonthGrid::cells(days, april, now, std::nullopt, dots, london()))
        EXPECT_FALSE(cell.isSelected);
    EXPECT_TRUE(MonthGrid::gridDays(Instant{-1e300}, kMonday, london()).isEmpty());
}

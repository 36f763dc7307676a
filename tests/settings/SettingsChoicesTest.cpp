#include "settings/SettingsChoices.h"
#include "clock/Cities.h"
#include "settings/CountdownDates.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestEnv.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

using namespace kalvix;
using namespace kalvix::settings;

namespace {

QStringList catalogNames()
{
    QStringList names;
    for (const City& city : Cities::all())
        names << city.name;
    return names;
}

const QString kDecomposedSaoPaulo = QStringLiteral("Sa\u0303o Paulo");

} // namespace

TEST(PickerOptions, aStoredNumberShowsItsOptionOrNone)
{
    struct Row {
        const char* name;
        const QList<PickerOption>& options;
        int value;
        int index;
    };
    const Row rows[] = {
        {"date_text", dateStyleOptions(), 0, 0},
        {"date_numeric", dateStyleOptions(), 1, 1},
        {"date_hand_edited_2", dateStyleOptions(), 2, -1},
        {"time_system", timeFormatOptions(), 0, 0},
        {"time_24_hour", timeFormatOptions(), 2, 2},
        {"time_hand_edited_7", timeFormatOptions(), 7, -1},
        {"time_negative", timeFormatOptions(), -1, -1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(optionIndex(row.options, row.value), row.index) << row.name;
}

TEST(HomeCityPicker, findsTheCatalogPlaceOfAStoredName)
{
    EXPECT_EQ(homeCityIndex(QStringLiteral("Amsterdam")), 0);
    EXPECT_EQ(homeCityIndex(QStringLiteral("London")), 23);
    EXPECT_EQ(homeCityIndex(QStringLiteral("Zurich")), 45);
    EXPECT_EQ(homeCityIndex(kDecomposedSaoPaulo), 36) << "a canonically equal spelling is the same city";
    EXPECT_EQ(homeCityIndex(QStringLiteral("london")), -1);
    EXPECT_EQ(homeCityIndex(QStringLiteral("Atlantis")), -1);
    EXPECT_EQ(homeCityIndex(QString()), -1);
}

TEST(AddCityPicker, offersTheCitiesNotYetChosenInCatalogOrder)
{
    const QStringList all = catalogNames();
    EXPECT_EQ(citiesToOffer({}), all);

    const QStringList chosen{QStringLiteral("Tokyo"), QStringLiteral("Amsterdam"), QStringLiteral("Atlantis")};
    QStringList expected = all;
    expected.removeOne(QStringLiteral("Tokyo"));
    expected.removeOne(QStringLiteral("Amsterdam"));
    EXPECT_EQ(citiesToOffer(chosen), expected) << "unknown names take nothing away";

    // Removing a city puts it back at its catalog place, not at the end.
    const QStringList offered = citiesToOffer({QStringLiteral("Amsterdam"), QStringLiteral("Atlantis")});
    EXPECT_EQ(offered.indexOf(QStringLiteral("Tokyo")), offered.indexOf(QStringLiteral("Toronto")) - 1);

    EXPECT_FALSE(citiesToOffer({kDecomposedSaoPaulo}).contains(QStringLiteral("S\u00e3o Paulo")))
        << "a stored spelling of the same city counts as chosen";
}

TEST(AddCityPicker, addAllowsOnlyAnOfferedChoiceBelowSixClocks)
{
    const QStringList five{QStringLiteral("London"),
                           QStringLiteral("New York"),
                           QStringLiteral("Dubai"),
                           QStringLiteral("Tokyo"),
                           QStringLiteral("Paris")};
    const QStringList six = five + QStringList{QStringLiteral("Rome")};
    const QStringList eightStored = six + QStringList{QStringLiteral("Lagos"), QStringLiteral("Seoul")};
    struct Row {
        const char* name;
        QStringList chosen;
        QString choice;
        bool allowed;
    };
    const Row rows[] = {
        {"nothing_chosen", five, QString(), false},
        {"fifth_becomes_sixth", five, QStringLiteral("Sydney"), true},
        {"six_shown", six, QStringLiteral("Sydney"), false},
        {"more_than_six_stored", eightStored, QStringLiteral("Sydney"), false},
        {"already_shown", five, QStringLiteral("Paris"), false},
        {"not_in_catalog", five, QStringLiteral("Atlantis"), false},
        {"empty_list", {}, QStringLiteral("Lisbon"), true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(canAddCity(row.chosen, row.choice), row.allowed) << row.name;
}

TEST(MatchRows, keepsTheRowOfEachKeyThatStays)
{
    struct Row {
        const char* name;
        QList<int> shown;
        QList<int> wanted;
        QList<int> match;
    };
    const Row rows[] = {
        {"unchanged", {7, 8, 9}, {7, 8, 9}, {0, 1, 2}},
        {"appended", {7, 8}, {7, 8, 9}, {0, 1, -1}},
        {"middle_removed", {7, 8, 9}, {7, 9}, {0, 2}},
        {"reordered", {7, 8, 9}, {9, 7, 8}, {2, 0, 1}},
        {"repeated_key_keeps_both_rows", {5, 5}, {5, 6, 5}, {0, -1, 1}},
        {"all_new", {}, {1, 2}, {-1, -1}},
        {"all_gone", {1, 2}, {}, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(matchRows(row.shown, row.wanted), row.match) << row.name;
}

TEST(CountdownDates, thePickerShowsTheLocalDayOfEveryInstantItCan)
{
    const CivilCalendar london(QTimeZone(QByteArrayLiteral("Europe/London")));
    const CivilCalendar tokyo(QTimeZone(QByteArrayLiteral("Asia/Tokyo")));
    struct Row {
        const char* name;
        const CivilCalendar& calendar;
        double seconds;
        std::optional<QDate> day;
    };
    const Row rows[] = {
        {"london_evening", london, test::utcSeconds(2025, 7, 18, 22, 30), QDate(2025, 7, 18)},
        {"tokyo_is_tomorrow", tokyo, test::utcSeconds(2025, 7, 18, 22, 30), QDate(2025, 7, 19)},
        {"first_pickable_day", london, test::utcSeconds(100, 1, 1, 12), QDate(100, 1, 1)},
        {"last_pickable_day", london, test::utcSeconds(9999, 12, 31, 12), QDate(9999, 12, 31)},
        {"year_99_too_early", london, test::utcSeconds(99, 12, 31, 12), std::nullopt},
        {"before_any_calendar", london, -1e13, std::nullopt},
        {"far_past_every_year", london, 1e300, std::nullopt},
        {"not_a_number", london, std::nan(""), std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(pickerDate(Instant{row.seconds}, row.calendar), row.day) << row.name;
}

TEST(CountdownDates, pickingADayKeepsTheTimeOfDay)
{
    const CivilCalendar london(QTimeZone(QByteArrayLiteral("Europe/London")));
    const CivilCalendar newYork(QTimeZone(QByteArrayLiteral("America/New_York")));
    const Instant winterMorning{test::utcSeconds(2025, 1, 10, 9, 15, 30)};
    struct Row {
        const char* name;
        const CivilCalendar& calendar;
        QDate day;
        Instant previous;
        std::optional<double> expected;
    };
    const Row rows[] = {
        {"same_wall_time_in_summer", london, QDate(2025, 7, 1), winterMorning, test::utcSeconds(2025, 7, 1, 8, 15, 30)},
        {"spring_forward_gap_moves_on",
         london,
         QDate(2025, 3, 30),
         Instant{test::utcSeconds(2025, 1, 10, 1, 30)},
         test::utcSeconds(2025, 3, 30, 1, 30)},
        {"no_time_to_keep_starts_the_day",
         london,
         QDate(2025, 7, 1),
         Instant{1e300},
         test::utcSeconds(2025, 6, 30, 23)},
        {"last_evening_west_of_greenwich_keeps_its_day",
         newYork,
         QDate(9999, 12, 31),
         Instant{test::utcSeconds(2025, 1, 11, 4)}, // 23:00 in New York
         test::utcSeconds(9999, 12, 31, 5)},
        {"before_the_range", london, QDate(99, 12, 31), winterMorning, std::nullopt},
        {"no_day", london, QDate(), winterMorning, std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<Instant> picked = pickedInstant(row.day, row.previous, row.calendar);
        ASSERT_EQ(picked.has_value(), row.expected.has_value()) << row.name;
        if (picked) {
            EXPECT_EQ(picked->seconds, *row.expected) << row.name;
        }
    }
}

TEST(CountdownDates, theFormatIsTheLocalesWithFourDigitYears)
{
    EXPECT_EQ(pickerDateFormat(QLocale(QStringLiteral("en_GB"))), QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(pickerDateFormat(QLocale(QStringLiteral("en_US"))), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(pickerDateFormat(QLocale(QStringLiteral("de_DE"))), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(pickerDateFormat(QLocale(QStringLiteral("ja_JP"))), QStringLiteral("yyyy/MM/dd"));
}

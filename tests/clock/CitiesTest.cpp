#include "clock/Cities.h"

#include "tests/support/QtPrinters.h"

#include <QCollator>
#include <QLocale>
#include <QSet>
#include <QTimeZone>

#include <cctype>
#include <cmath>

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

struct EntryRow {
    const char* name;
    int index; // 0-based position in the catalog
    const char* zone;
    double latitude;
    double longitude;
};

class CatalogEntries : public ::testing::TestWithParam<EntryRow> {};

} // namespace

TEST(Cities, catalogHas46UniqueNamesInPickerOrder)
{
    const auto& all = Cities::all();
    ASSERT_EQ(all.size(), 46);
    QSet<QString> names;
    for (const City& city : all)
        names.insert(city.name);
    EXPECT_EQ(names.size(), 46);

    // The picker order is alphabetical as people read it (São Paulo between San Francisco and Seoul),
    // which is not code-point order.
    QCollator collator{QLocale(QStringLiteral("en_GB"))};
    for (qsizetype i = 1; i < all.size(); ++i)
        EXPECT_LT(collator.compare(all[i - 1].name, all[i].name), 0) << all[i - 1].name.toStdString();
}

TEST(Cities, everyZoneIsKnownToTheTzDatabaseAndCoordinatesAreOnEarth)
{
    for (const City& city : Cities::all()) {
        EXPECT_TRUE(QTimeZone(city.timeZoneID.toUtf8()).isValid()) << city.timeZoneID.toStdString();
        EXPECT_LE(std::abs(city.latitude), 90.0);
        EXPECT_LE(std::abs(city.longitude), 180.0);
    }
}

TEST(Cities, saoPauloIsPrecomposed)
{
    const City& city = Cities::all().at(36);
    EXPECT_EQ(city.name.toUtf8(), QByteArray("S\xC3\xA3o Paulo"));
    EXPECT_EQ(Cities::all().at(35).name, u8("San Francisco"));
    EXPECT_EQ(Cities::all().at(37).name, u8("Seoul"));
}

TEST_P(CatalogEntries, entryIsExactlyAsListed)
{
    const EntryRow& r = GetParam();
    const City& city = Cities::all().at(r.index);
    EXPECT_EQ(city, (City{u8(r.name), u8(r.zone), r.latitude, r.longitude}));
}

INSTANTIATE_TEST_SUITE_P(Extremes,
                         CatalogEntries,
                         ::testing::Values(EntryRow{"Amsterdam", 0, "Europe/Amsterdam", 52.37, 4.9},
                                           EntryRow{"Auckland", 1, "Pacific/Auckland", -36.85, 174.76},
                                           EntryRow{"Buenos Aires", 5, "America/Argentina/Buenos_Aires", -34.6, -58.38},
                                           EntryRow{"Cape Town", 7, "Africa/Johannesburg", -33.92, 18.42},
                                           EntryRow{"Edinburgh", 13, "Europe/London", 55.95, -3.19},
                                           EntryRow{"Honolulu", 15, "Pacific/Honolulu", 21.31, -157.86},
                                           EntryRow{"London", 23, "Europe/London", 51.51, -0.13},
                                           EntryRow{"Nairobi", 30, "Africa/Nairobi", -1.29, 36.82},
                                           EntryRow{"S\xC3\xA3o Paulo", 36, "America/Sao_Paulo", -23.55, -46.63},
                                           EntryRow{"Stockholm", 40, "Europe/Stockholm", 59.33, 18.07},
                                           EntryRow{"Tel Aviv", 42, "Asia/Jerusalem", 32.09, 34.78},
                                           EntryRow{"Zurich", 45, "Europe/Zurich", 47.37, 8.54}),
                         [](const auto& row) {
                             std::string name = row.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

struct LookupRow {
    const char* name;
    const char* query; // UTF-8
    int expectedIndex; // -1: nothing found
};

class CityLookup : public ::testing::TestWithParam<LookupRow> {};

TEST_P(CityLookup, findsOnlyTheEquivalentName)
{
    const LookupRow& r = GetParam();
    const std::optional<City> found = Cities::named(u8(r.query));
    if (r.expectedIndex < 0) {
        EXPECT_FALSE(found.has_value()) << found->name.toStdString();
    } else {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, Cities::all().at(r.expectedIndex));
    }
}

INSTANTIATE_TEST_SUITE_P(Names,
                         CityLookup,
                         ::testing::Values(LookupRow{"exact", "London", 23},
                                           LookupRow{"lower_case", "london", -1},
                                           LookupRow{"upper_case", "LONDON", -1},
                                           LookupRow{"trailing_space", "London ", -1},
                                           LookupRow{"empty", "", -1},
                                           LookupRow{"precomposed", "S\xC3\xA3o Paulo", 36},
                                           LookupRow{"decomposed_tilde", "Sa\xCC\x83o Paulo", 36},
                                           LookupRow{"tilde_dropped", "Sao Paulo", -1},
                                           LookupRow{"decomposed_elsewhere_no_match", "Zu\xCC\x88rich", -1},
                                           LookupRow{"last_entry", "Zurich", 45}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(City, equalityAndHashTakeAllFourFields)
{
    const City london = Cities::all().at(23);
    City moved = london;
    moved.longitude = -0.12;
    City rezoned = london;
    rezoned.timeZoneID = QStringLiteral("Europe/Dublin");
    EXPECT_EQ(london, *Cities::named(QStringLiteral("London")));
    EXPECT_EQ(qHash(london), qHash(*Cities::named(QStringLiteral("London"))));
    EXPECT_NE(london, moved);
    EXPECT_NE(london, rezoned);
    EXPECT_EQ(london.id(), QStringLiteral("London"));
}

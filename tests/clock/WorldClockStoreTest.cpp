#include "clock/WorldClockStore.h"
#include "clock/Cities.h"
#include "prefs/IniPreferencesStore.h"
#include "prefs/Prefs.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace kalvix;
using kalvix::test::MemoryPreferencesStore;

namespace {

QStringList names(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

QStringList namesOf(const QList<City>& cities)
{
    QStringList out;
    for (const City& city : cities)
        out << city.name;
    return out;
}

struct LoadRow {
    const char* name;
    std::optional<const char*> stored; // the text in the preferences file; nullopt: key absent
    QStringList cityNames;
    QStringList cities;
};

class WorldClockLoading : public ::testing::TestWithParam<LoadRow> {};

} // namespace

TEST_P(WorldClockLoading, keepsWhatIsStoredAndWritesNothing)
{
    const LoadRow& r = GetParam();
    MemoryPreferencesStore prefs;
    if (r.stored)
        prefs.simulateExternalEdit({{Pref::worldClockCities.name, QString::fromUtf8(*r.stored)}});
    const auto before = prefs.stored();

    WorldClockStore store(prefs);

    EXPECT_EQ(store.cityNames(), r.cityNames);
    EXPECT_EQ(namesOf(store.cities()), r.cities);
    EXPECT_EQ(prefs.persistCount(), 0);
    EXPECT_EQ(prefs.stored(), before);
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues,
    WorldClockLoading,
    ::testing::Values(
        LoadRow{"absent_gives_default",
                std::nullopt,
                names({"London", "New York", "Dubai", "Tokyo"}),
                names({"London", "New York", "Dubai", "Tokyo"})},
        LoadRow{"unreadable_gives_default",
                "\"London",
                names({"London", "New York", "Dubai", "Tokyo"}),
                names({"London", "New York", "Dubai", "Tokyo"})},
        LoadRow{"empty_list_stays_empty", "", {}, {}},
        LoadRow{"unknown_name_kept_but_not_drawn",
                "\"Tokyo\", \"Atlantis\", \"Paris\"",
                names({"Tokyo", "Atlantis", "Paris"}),
                names({"Tokyo", "Paris"})},
        LoadRow{"wrong_case_not_drawn", "\"london\", \"Rome\"", names({"london", "Rome"}), names({"Rome"})},
        LoadRow{"duplicate_drawn_twice",
                "\"Rome\", \"Lagos\", \"Rome\"",
                names({"Rome", "Lagos", "Rome"}),
                names({"Rome", "Lagos", "Rome"})},
        LoadRow{"decomposed_name_resolves",
                "\"Sa\xCC\x83o Paulo\"",
                names({"Sa\xCC\x83o Paulo"}),
                names({"S\xC3\xA3o Paulo"})},
        LoadRow{"eight_names_not_capped",
                "\"Amsterdam\", \"Auckland\", \"Bangkok\", \"Beijing\", \"Berlin\", \"Cairo\", \"Delhi\", \"Dubai\"",
                names({"Amsterdam", "Auckland", "Bangkok", "Beijing", "Berlin", "Cairo", "Delhi", "Dubai"}),
                names({"Amsterdam", "Auckland", "Bangkok", "Beijing", "Berlin", "Cairo", "Delhi", "Dubai"})}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WorldClockStore, aListOfAnyLengthGivesNoMoreClocksThanTheCatalogHasCities)
{
    MemoryPreferencesStore prefs;
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << (i % 2 ? QStringLiteral("Atlantis") : QStringLiteral("Rome"));
    prefs.set(Pref::worldClockCities, many);
    WorldClockStore store(prefs);
    EXPECT_EQ(store.cityNames().size(), 100000) << "kept as stored";
    const QList<City> cities = store.cities();
    EXPECT_EQ(cities.size(), Cities::all().size());
    EXPECT_EQ(cities.front().name, QStringLiteral("Rome"));
}

TEST(WorldClockStore, defaultCitiesAreTheCatalogEntries)
{
    MemoryPreferencesStore prefs;
    WorldClockStore store(prefs);
    const QList<City> cities = store.cities();
    ASSERT_EQ(cities.size(), 4);
    EXPECT_EQ(cities[0], Cities::all().at(23));
    EXPECT_EQ(cities[3].timeZoneID, QStringLiteral("Asia/Tokyo"));
}

TEST(WorldClockStore, everyWriteAnnouncesThenStoresTheWholeList)
{
    MemoryPreferencesStore prefs;
    WorldClockStore store(prefs);
    QSignalSpy spy(&store, &WorldClockStore::cityNamesChanged);
    std::optional<QStringList> storedWhenAnnounced;
    QObject::connect(&store, &WorldClockStore::cityNamesChanged, &store, [&] {
        storedWhenAnnounced = prefs.value(Pref::worldClockCities);
    });

    const QStringList added = names({"London", "New York", "Dubai", "Tokyo", "S\xC3\xA3o Paulo"});
    EXPECT_TRUE(store.setCityNames(added));

    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), added);
    EXPECT_FALSE(storedWhenAnnounced.has_value()); // observers hear of it before it is stored
    EXPECT_EQ(prefs.value(Pref::worldClockCities), added);
    EXPECT_EQ(prefs.persistCount(), 1);

    // Writing the same list again still announces and stores.
    EXPECT_TRUE(store.setCityNames(added));
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(prefs.persistCount(), 2);

    // Removing every occurrence leaves an empty list stored, not the default.
    store.setCityNames({});
    EXPECT_EQ(prefs.value(Pref::worldClockCities), QStringList{});
    WorldClockStore reloaded(prefs);
    EXPECT_TRUE(reloaded.cityNames().isEmpty());
}

TEST(WorldClockStore, namesThatNeedQuotingSurviveAReload)
{
    MemoryPreferencesStore prefs;
    const QStringList odd = names({"Tokyo", "A, \"quoted\" place", " padded ", "back\\slash", ""});
    WorldClockStore(prefs).setCityNames(odd);
    EXPECT_EQ(WorldClockStore(prefs).cityNames(), odd);
}

TEST(WorldClockStore, failedPersistenceIsReportedButTheListStillChanges)
{
    MemoryPreferencesStore prefs;
    prefs.setFailWrites(true);
    WorldClockStore store(prefs);
    QSignalSpy spy(&store, &WorldClockStore::cityNamesChanged);
    EXPECT_FALSE(store.setCityNames(names({"Rome"})));
    EXPECT_EQ(store.cityNames(), names({"Rome"}));
    EXPECT_EQ(spy.count(), 1);
}

TEST(WorldClockStore, followsTheKeyAndAnnouncesOnlyRealChanges)
{
    MemoryPreferencesStore prefs;
    WorldClockStore store(prefs);
    QSignalSpy spy(&store, &WorldClockStore::cityNamesChanged);
    prefs.simulateExternalEdit({{Pref::worldClockCities.name, QStringLiteral("\"Rome\", \"Lagos\"")}});
    EXPECT_EQ(store.cityNames(), names({"Rome", "Lagos"}));
    EXPECT_EQ(spy.count(), 1);

    prefs.simulateExternalEdit({{Pref::worldClockCities.name, QStringLiteral("Rome, Lagos")}}); // same list
    prefs.simulateExternalEdit(
        {{Pref::worldClockCities.name, QStringLiteral("Rome, Lagos")}, {Pref::homeCity.name, QStringLiteral("Rome")}});
    EXPECT_EQ(spy.count(), 1);

    prefs.simulateExternalEdit({}); // the key removed: the default list
    EXPECT_EQ(store.cityNames(), WorldClockStore::defaultCityNames());
    EXPECT_EQ(spy.count(), 2);
    prefs.simulateExternalEdit({{Pref::worldClockCities.name, QStringLiteral("\"unclosed")}}); // reads as absent
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(prefs.persistCount(), 0); // following never writes
}

TEST(WorldClockStore, addAppendsAndRemoveDropsEveryOccurrence)
{
    MemoryPreferencesStore prefs;
    WorldClockStore store(prefs);
    QSignalSpy spy(&store, &WorldClockStore::cityNamesChanged);
    EXPECT_TRUE(store.addCity(QStringLiteral("Tokyo")));
    EXPECT_EQ(store.cityNames(), names({"London", "New York", "Dubai", "Tokyo", "Tokyo"}));
    EXPECT_TRUE(store.removeCity(QStringLiteral("Tokyo")));
    EXPECT_EQ(prefs.value(Pref::worldClockCities), names({"London", "New York", "Dubai"}));
    EXPECT_EQ(spy.count(), 2);
}

TEST(WorldClockStore, aHandEditOfTheFileIsPickedUpAndSurvivesTheNextChange)
{
    test::testApplication();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    test::writeFile(path, "[General]\nworldClockCities=\"Tokyo\"\n");
    test::FakeTimeSource later(Instant{stampOf(path).mtimeSeconds() + 3600}); // every edit settled
    IniPreferencesStore prefs(path, later);
    WorldClockStore store(prefs);
    QSignalSpy spy(&store, &WorldClockStore::cityNamesChanged);

    test::writeFile(path, "[General]\n# mine\nworldClockCities=Tokyo, Lagos\n");
    prefs.reload(); // what the file watcher does after its settle window
    EXPECT_EQ(store.cityNames(), names({"Tokyo", "Lagos"}));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(store.addCity(QStringLiteral("Paris")));
    EXPECT_EQ(test::readFile(path),
              QByteArray("[General]\n# mine\nworldClockCities=\"Tokyo\", \"Lagos\", \"Paris\"\n"));

    // An edit the watcher has not delivered yet is the list the next change starts from.
    test::writeFile(path, "[General]\n# mine\nworldClockCities=Rome\n");
    EXPECT_TRUE(store.addCity(QStringLiteral("Cairo")));
    EXPECT_EQ(store.cityNames(), names({"Rome", "Cairo"}));
    EXPECT_EQ(test::readFile(path), QByteArray("[General]\n# mine\nworldClockCities=\"Rome\", \"Cairo\"\n"));
    EXPECT_TRUE(store.removeCity(QStringLiteral("Rome")));
    EXPECT_EQ(IniPreferencesStore(path).value(Pref::worldClockCities), names({"Cairo"}));
}

#include "countdowns/CountdownStore.h"
#include "countdowns/CountdownJson.h"
#include "prefs/IniPreferencesStore.h"
#include "prefs/Prefs.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace kalvix;
using kalvix::test::MemoryPreferencesStore;

namespace {

const QByteArray
    kTwoCountdowns(R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":740000000},)"
                   R"({"id":"0A2B4C6D-8E0F-4A1B-8C3D-5E7F9A1B3C5D","title":"Birthday","date":741000000.5}])");

// Stores the bytes as the preferences file would hold them.
void storeBytes(MemoryPreferencesStore& prefs, const QByteArray& bytes)
{
    MemoryPreferencesStore writer;
    writer.set(Pref::countdowns, bytes);
    prefs.simulateExternalEdit(writer.stored());
}

QStringList titles(const QList<Countdown>& items)
{
    QStringList out;
    for (const Countdown& item : items)
        out << item.title;
    return out;
}

struct BadValueRow {
    const char* name;
    QByteArray bytes;
};

class UnreadableCountdowns : public ::testing::TestWithParam<BadValueRow> {};

QByteArray hugeGarbage()
{
    return QByteArray(8 * 1024 * 1024, 'x');
}

QByteArray hugeArrayWithOneBadElement()
{
    QByteArray out = "[";
    for (int i = 0; i < 50000; ++i)
        out += R"({"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":740000000},)";
    out += R"({"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","date":740000000}])";
    return out;
}

} // namespace

TEST(CountdownStore, nothingStoredGivesAnEmptyListAndWritesNothing)
{
    MemoryPreferencesStore prefs;
    CountdownStore store(prefs);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_FALSE(prefs.contains(Pref::countdowns.name));
    EXPECT_EQ(prefs.persistCount(), 0);
}

TEST(CountdownStore, loadsTheStoredListInOrder)
{
    MemoryPreferencesStore prefs;
    storeBytes(prefs, kTwoCountdowns);
    CountdownStore store(prefs);
    EXPECT_EQ(titles(store.items()), (QStringList{QStringLiteral("Launch"), QStringLiteral("Birthday")}));
    EXPECT_EQ(store.items()[1].date.seconds, 741000000.5 + CountdownJson::kReferenceDateOffset);
    EXPECT_EQ(prefs.persistCount(), 0);
}

TEST_P(UnreadableCountdowns, startEmptyAndLeaveTheBytesUntilTheNextSave)
{
    MemoryPreferencesStore prefs;
    storeBytes(prefs, GetParam().bytes);
    const auto before = prefs.rawValue(Pref::countdowns.name);

    CountdownStore store(prefs);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(prefs.rawValue(Pref::countdowns.name), before);
    EXPECT_EQ(prefs.persistCount(), 0);

    const Countdown fresh = Countdown::create(QStringLiteral("New countdown"), Instant{1.7e9});
    EXPECT_TRUE(store.setItems({fresh}));
    EXPECT_EQ(CountdownJson::decode(*prefs.value(Pref::countdowns)), QList<Countdown>{fresh});
}

INSTANTIATE_TEST_SUITE_P(
    StoredValues,
    UnreadableCountdowns,
    ::testing::Values(BadValueRow{"one_object_lacks_title",
                                  R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Launch","date":740000000},)"
                                  R"({"id":"0A2B4C6D-8E0F-4A1B-8C3D-5E7F9A1B3C5D","date":741000000}])"},
                      BadValueRow{"not_json", "this is not json"},
                      BadValueRow{"binary_bytes", QByteArray("\x00\xff\xfe[\n", 5)},
                      BadValueRow{"date_beyond_double",
                                  R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"x","date":-1e999}])"},
                      BadValueRow{"huge_garbage", hugeGarbage()},
                      BadValueRow{"huge_array_bad_at_the_end", hugeArrayWithOneBadElement()}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CountdownStore, datesOutsideTheCalendarAreKeptAndSurviveTheNextSave)
{
    MemoryPreferencesStore prefs;
    storeBytes(prefs, R"([{"id":"6F1C2A9E-0B7D-4C3E-9A51-D2E4F8B7C601","title":"Far","date":1e300}])");
    CountdownStore store(prefs);
    ASSERT_EQ(store.items().size(), 1);

    QList<Countdown> items = store.items();
    items.append(Countdown::create(QStringLiteral("Near"), Instant{1.7e9}));
    ASSERT_TRUE(store.setItems(items));
    EXPECT_EQ(CountdownStore(prefs).items(), items);
}

TEST(CountdownStore, everyWriteAnnouncesThenStores)
{
    MemoryPreferencesStore prefs;
    CountdownStore store(prefs);
    QSignalSpy spy(&store, &CountdownStore::itemsChanged);
    bool storedWhenAnnounced = true;
    QObject::connect(&store, &CountdownStore::itemsChanged, &store, [&] {
        storedWhenAnnounced = prefs.contains(Pref::countdowns.name);
    });

    QList<Countdown> items{Countdown::create(QStringLiteral("New countdown"), Instant{1.7e9})};
    EXPECT_TRUE(store.setItems(items));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(storedWhenAnnounced);
    EXPECT_EQ(prefs.persistCount(), 1);

    // Editing one title in place, as a keystroke in the settings does.
    items[0].title = QStringLiteral("New countdown!");
    store.setItems(items);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(CountdownStore(prefs).items(), items);

    // Deleting the last one stores an empty array, not nothing.
    store.setItems({});
    EXPECT_EQ(prefs.value(Pref::countdowns), QByteArray("[]"));
    EXPECT_EQ(prefs.persistCount(), 3);
}

TEST(CountdownStore, aListThatCannotBeEncodedLeavesTheStoredValue)
{
    MemoryPreferencesStore prefs;
    storeBytes(prefs, kTwoCountdowns);
    CountdownStore store(prefs);
    QList<Countdown> items = store.items();
    items[0].date = Instant{std::numeric_limits<double>::quiet_NaN()};

    EXPECT_FALSE(store.setItems(items));
    EXPECT_EQ(store.items().size(), 2); // the list in memory is what was written
    EXPECT_EQ(prefs.value(Pref::countdowns), kTwoCountdowns);
    EXPECT_EQ(prefs.persistCount(), 0);
}

TEST(CountdownStore, failedPersistenceIsReported)
{
    MemoryPreferencesStore prefs;
    prefs.setFailWrites(true);
    CountdownStore store(prefs);
    EXPECT_FALSE(store.setItems({Countdown::create(QStringLiteral("x"), Instant{1.7e9})}));
    EXPECT_EQ(store.items().size(), 1);
}

TEST(CountdownStore, roundTripThroughThePreferencesFile)
{
    test::testApplication(); // the argc that Qt keeps a reference to must outlive the test
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    const QList<Countdown> items{
        Countdown::create(QStringLiteral("Quotes \" and, commas = [brackets]"), Instant{1718971200.5}),
        Countdown::create(QStringLiteral("Line\nbreak and \u00FCml\u00E4uts"), Instant{1893456000.0}),
    };
    {
        IniPreferencesStore prefs(path);
        CountdownStore store(prefs);
        ASSERT_TRUE(store.setItems(items));
    }
    IniPreferencesStore reopened(path);
    EXPECT_EQ(CountdownStore(reopened).items(), items);
}

TEST(CountdownStore, followsTheKeyAndLeavesAnUndecodableValueUntilTheNextChange)
{
    MemoryPreferencesStore prefs;
    CountdownStore store(prefs);
    QSignalSpy spy(&store, &CountdownStore::itemsChanged);
    storeBytes(prefs, kTwoCountdowns);
    EXPECT_EQ(titles(store.items()), (QStringList{QStringLiteral("Launch"), QStringLiteral("Birthday")}));
    EXPECT_EQ(spy.count(), 1);
    QByteArray spaced = kTwoCountdowns;
    storeBytes(prefs, spaced.replace(",", ", ")); // the same list written differently
    EXPECT_EQ(spy.count(), 1);

    storeBytes(prefs, "[{\"id\": broken");
    const auto broken = prefs.rawValue(Pref::countdowns.name);
    EXPECT_TRUE(store.items().isEmpty());
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(prefs.rawValue(Pref::countdowns.name), broken);
    EXPECT_EQ(prefs.persistCount(), 0);

    const Countdown fresh = Countdown::create(QStringLiteral("New"), Instant{1.7e9});
    EXPECT_TRUE(store.add(fresh)); // the user's change replaces it
    EXPECT_EQ(CountdownJson::decode(*prefs.value(Pref::countdowns)), QList<Countdown>{fresh});
}

TEST(CountdownStore, addUpdateAndRemoveWorkByIdOnTheStoredList)
{
    MemoryPreferencesStore prefs;
    storeBytes(prefs, kTwoCountdowns);
    CountdownStore store(prefs);
    Countdown launch = store.items().at(0);
    launch.title = QStringLiteral("Launch day");
    EXPECT_TRUE(store.update(launch));
    EXPECT_EQ(titles(CountdownStore(prefs).items()),
              (QStringList{QStringLiteral("Launch day"), QStringLiteral("Birthday")}));

    EXPECT_TRUE(store.remove(launch.id));
    EXPECT_TRUE(store.remove(launch.id)); // already gone
    EXPECT_FALSE(store.update(launch));   // edited after it was deleted elsewhere: not brought back
    EXPECT_EQ(titles(store.items()), QStringList{QStringLiteral("Birthday")});
    EXPECT_EQ(prefs.persistCount(), 2);
}

TEST(CountdownStore, aHandEditOfTheFileIsPickedUpAndSurvivesTheNextChange)
{
    test::testApplication();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    test::writeFile(path, "[General]\ncountdowns=[]\n");
    test::FakeTimeSource later(Instant{stampOf(path).mtimeSeconds() + 3600}); // every edit settled
    IniPreferencesStore prefs(path, later);
    CountdownStore store(prefs);
    QSignalSpy spy(&store, &CountdownStore::itemsChanged);

    test::writeFile(path, "[General]\ncountdowns=" + kTwoCountdowns + "\n");
    prefs.reload(); // what the file watcher does after its settle window
    EXPECT_EQ(store.items().size(), 2);
    EXPECT_EQ(spy.count(), 1);
    const Countdown added = Countdown::create(QStringLiteral("Added"), Instant{1.7e9});
    EXPECT_TRUE(store.add(added));
    EXPECT_EQ(titles(CountdownStore(prefs).items()),
              (QStringList{QStringLiteral("Launch"), QStringLiteral("Birthday"), QStringLiteral("Added")}));

    // An edit the watcher has not delivered yet (the first countdown deleted by hand) is where the next
    // change starts from.
    const QByteArray second = kTwoCountdowns.mid(kTwoCountdowns.indexOf("},{") + 2).prepend('[');
    test::writeFile(path, "[General]\ncountdowns=" + second + "\n");
    Countdown renamed = added;
    renamed.title = QStringLiteral("Renamed");
    EXPECT_FALSE(store.update(renamed)); // "Added" is not in the file any more
    EXPECT_EQ(titles(store.items()), QStringList{QStringLiteral("Birthday")});
    EXPECT_TRUE(store.add(added));
    IniPreferencesStore reopened(path);
    EXPECT_EQ(titles(CountdownStore(reopened).items()),
              (QStringList{QStringLiteral("Birthday"), QStringLiteral("Added")}));
}

#include "prefs/PreferencesStore.h"
#include "prefs/IniPreferencesStore.h"
#include "prefs/Prefs.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalvix;

TEST(PreferencesStore, typedReadsFallBackToRegisteredDefaultsOnWrongTypes)
{
    test::MemoryPreferencesStore store;
    store.registerDefaults(
        {{QStringLiteral("flag"), true}, {QStringLiteral("n"), 0}, {QStringLiteral("s"), QStringLiteral("London")}});
    store.simulateExternalEdit({{QStringLiteral("flag"), QStringLiteral("banana")},
                                {QStringLiteral("n"), QStringLiteral("2x")},
                                {QStringLiteral("other"), QStringLiteral("TRUE")}});
    EXPECT_TRUE(store.boolValue(QStringLiteral("flag"), false)); // registered default, not the fallback
    EXPECT_EQ(store.intValue(QStringLiteral("n"), 9), 0);
    EXPECT_TRUE(store.boolValue(QStringLiteral("other"), false));
    EXPECT_EQ(store.stringValue(QStringLiteral("s"), QString()), QStringLiteral("London"));
    EXPECT_FALSE(store.boolValue(QStringLiteral("absent"), false));
    EXPECT_EQ(store.intValue(QStringLiteral("absent"), 7), 7);
    EXPECT_EQ(store.persistCount(), 0); // registering and reading never write
}

TEST(PreferencesStore, listsRoundTripAndBareTypedListsAreAccepted)
{
    const QStringList names = {QStringLiteral("São Paulo"), QStringLiteral("a, \"quoted\" \\ name"), QString()};
    EXPECT_EQ(PreferencesStore::decodeList(PreferencesStore::encodeList(names)), names);
    EXPECT_EQ(PreferencesStore::decodeList(QString()), QStringList());
    EXPECT_EQ(PreferencesStore::decodeList(QStringLiteral("London, New York,Tokyo")),
              (QStringList{QStringLiteral("London"), QStringLiteral("New York"), QStringLiteral("Tokyo")}));
    EXPECT_FALSE(PreferencesStore::decodeList(QStringLiteral("\"unclosed")));
    EXPECT_FALSE(PreferencesStore::decodeList(QStringLiteral("\"a\" b")));
    EXPECT_FALSE(PreferencesStore::decodeList(QStringLiteral("a,")));
}

TEST(PreferencesStore, writesAnnounceTheKeyAndReportPersistFailure)
{
    test::MemoryPreferencesStore store;
    QSignalSpy spy(&store, &PreferencesStore::changed);
    EXPECT_TRUE(store.setBool(QStringLiteral("k"), true));
    store.setFailWrites(true);
    EXPECT_FALSE(store.setInt(QStringLiteral("n"), 3));
    EXPECT_EQ(store.intValue(QStringLiteral("n"), 0), 3); // still in effect for this run
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("n"));
    const QByteArray odd("line one\nline two \x01");
    store.setData(QStringLiteral("d"), odd);
    EXPECT_EQ(store.dataValue(QStringLiteral("d")), odd);
    store.setString(QStringLiteral("s"), QStringLiteral("  padded  "));
    EXPECT_EQ(store.stringValue(QStringLiteral("s"), QString()), QStringLiteral("  padded  "));
    store.setString(QStringLiteral("s"), QStringLiteral("carriage\rreturn"));
    EXPECT_FALSE(store.rawValue(QStringLiteral("s"))->contains(u'\r')); // a line break in the file
    EXPECT_EQ(store.stringValue(QStringLiteral("s"), QString()), QStringLiteral("carriage\rreturn"));
}

TEST(PreferencesStore, commandLinesKeepTheirOwnQuotes)
{
    test::MemoryPreferencesStore store;
    const QString key = QStringLiteral("calendarDayCommand");
    store.simulateExternalEdit({{key, QStringLiteral("\"/opt/My Calendar/cal\"")}});
    EXPECT_EQ(store.commandLineValue(key), QStringLiteral("\"/opt/My Calendar/cal\""));
    EXPECT_EQ(store.stringValue(key, QString()), QStringLiteral("/opt/My Calendar/cal")); // a plain string
    EXPECT_TRUE(store.setCommandLine(key, QStringLiteral(" \"/opt/My Calendar/cal\" --day {date} ")));
    EXPECT_EQ(store.rawValue(key), QStringLiteral("\"/opt/My Calendar/cal\" --day {date}"));
    EXPECT_FALSE(store.setCommandLine(key, QStringLiteral("cal\nrm -rf ~")));
    EXPECT_EQ(store.commandLineValue(key), QStringLiteral("\"/opt/My Calendar/cal\" --day {date}"));
    EXPECT_FALSE(store.commandLineValue(QStringLiteral("absent")));
}

namespace {

// Reads `key` the way code did before keys carried their defaults: with a fallback that is not the default,
// so only a registered default can answer it.
template <typename T> bool answersFromRegistration(const PreferencesStore& store, const PrefKey<T>& key)
{
    if constexpr (std::is_same_v<T, bool>)
        return store.boolValue(key.name, !key.fallback) == key.fallback;
    else if constexpr (std::is_enum_v<T>)
        return store.intValue(key.name, 99) == static_cast<int>(key.fallback);
    else
        return store.stringValue(key.name, QStringLiteral("elsewhere")) == key.fallback;
}

} // namespace

TEST(Prefs, everyKeyReadsItsDefaultFromAnEmptyFileAndOnlyTheSevenAreRegistered)
{
    test::testApplication();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    test::writeFile(path, QByteArray());
    IniPreferencesStore bare(path);
    IniPreferencesStore registered(path);
    Prefs::registerDefaults(registered);

    const auto expect = [&](const auto& key, const auto& value, bool isRegistered) {
        SCOPED_TRACE(key.name.toStdString());
        EXPECT_EQ(bare.value(key), value);
        EXPECT_EQ(registered.value(key), value);
        EXPECT_EQ(answersFromRegistration(registered, key), isRegistered);
        EXPECT_FALSE(answersFromRegistration(bare, key));
    };
    expect(Pref::showWeekday, true, true);
    expect(Pref::showYear, true, true);
    expect(Pref::showSeconds, false, true);
    expect(Pref::timeStyle, TimeStyle::systemDefault, true);
    expect(Pref::dateStyle, DateStyle::text, true);
    expect(Pref::compactMode, false, true);
    expect(Pref::homeCity, QStringLiteral("London"), true);
    expect(Pref::didDismissClockTip, false, false);
    expect(Pref::didRegisterLoginItem, false, false);
    // Their owners decide what absence means.
    EXPECT_EQ(registered.value(Pref::countdowns), std::nullopt);
    EXPECT_EQ(registered.value(Pref::worldClockCities), std::nullopt);
    EXPECT_EQ(registered.value(Pref::calendarSources), std::nullopt);
    EXPECT_EQ(registered.value(Pref::calendarDayCommand), std::nullopt);
    EXPECT_EQ(test::readFile(path), QByteArray()) << "reading and registering never write";
}

struct StyleRow {
    const char* name;
    const char* stored;         // the text in the file
    std::optional<int> written; // the style written to produce it, as its integer; nullopt: typed by hand
    int readBack;
};

void PrintTo(const StyleRow& row, std::ostream* os)
{
    *os << row.name;
}

class StylesInTheFile : public ::testing::TestWithParam<StyleRow> {};

TEST_P(StylesInTheFile, keepTheirIntegers)
{
    test::testApplication();
    const StyleRow& r = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    {
        IniPreferencesStore writer(path);
        if (r.written) {
            ASSERT_TRUE(writer.set(Pref::timeStyle, static_cast<TimeStyle>(*r.written)));
            ASSERT_TRUE(writer.set(Pref::dateStyle, static_cast<DateStyle>(*r.written)));
        } else {
            test::writeFile(path, QByteArray("[General]\ntimeStyle=") + r.stored + "\ndateStyle=" + r.stored + "\n");
        }
    }
    IniPreferencesStore reader(path);
    Prefs::registerDefaults(reader);
    EXPECT_EQ(reader.rawValue(Pref::timeStyle.name), QString::fromUtf8(r.stored));
    EXPECT_EQ(reader.rawValue(Pref::dateStyle.name), QString::fromUtf8(r.stored));
    EXPECT_EQ(static_cast<int>(reader.value(Pref::timeStyle)), r.readBack);
    EXPECT_EQ(static_cast<int>(reader.value(Pref::dateStyle)), r.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Prefs,
    StylesInTheFile,
    ::testing::Values(StyleRow{"system_default_and_text", "0", static_cast<int>(TimeStyle::systemDefault), 0},
                      StyleRow{"twelve_hour_and_numeric", "1", static_cast<int>(TimeStyle::twelveHour), 1},
                      StyleRow{"twenty_four_hour_and_a_date_style_past_the_options",
                               "2",
                               static_cast<int>(TimeStyle::twentyFourHour),
                               2},
                      StyleRow{"hand_typed_outside_the_options_kept", "7", std::nullopt, 7},
                      StyleRow{"hand_typed_word_reads_as_default", "twelve", std::nullopt, 0}),
    [](const auto& row) { return std::string(row.param.name); });

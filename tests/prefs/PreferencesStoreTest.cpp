#include "prefs/PreferencesStore.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/QtPrinters.h"

#include <QSignalSpy>

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

#include "platform/IniPreferencesStore.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

struct App {
    App() { test::testApplication(); }
};

} // namespace

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
}

TEST(IniPreferencesStore, parseKeepsGeneralKeysAndSkipsGarbage)
{
    const auto values = IniPreferencesStore::parse("showSeconds = true\n"
                                                   "garbage line without equals\n"
                                                   "=novalue\n"
                                                   "; comment=ignored\n"
                                                   "[Other]\n"
                                                   "showYear=false\n"
                                                   "[General]\n"
                                                   "timeStyle=1\n"
                                                   "timeStyle=2\n");
    EXPECT_EQ(values.value(QStringLiteral("showSeconds")), QStringLiteral("true"));
    EXPECT_FALSE(values.contains(QStringLiteral("showYear")));
    EXPECT_EQ(values.value(QStringLiteral("timeStyle")), QStringLiteral("2"));
    EXPECT_EQ(values.size(), 2);
}

TEST(IniPreferencesStore, rewriteChangesOnlyTheKeysLine)
{
    const QByteArray before = "# my settings\n[General]\nshowSeconds=false\nbogus line\n\n[Other]\nx=1\n";
    EXPECT_EQ(IniPreferencesStore::rewrite(before, QStringLiteral("showSeconds"), QStringLiteral("true")),
              QByteArray("# my settings\n[General]\nshowSeconds=true\nbogus line\n\n[Other]\nx=1\n"));
    EXPECT_EQ(IniPreferencesStore::rewrite(before, QStringLiteral("timeStyle"), QStringLiteral("2")),
              QByteArray("# my settings\n[General]\nshowSeconds=false\nbogus line\ntimeStyle=2\n\n[Other]\nx=1\n"));
    EXPECT_EQ(IniPreferencesStore::rewrite(before, QStringLiteral("showSeconds"), std::nullopt),
              QByteArray("# my settings\n[General]\nbogus line\n\n[Other]\nx=1\n"));
    EXPECT_EQ(IniPreferencesStore::rewrite(QByteArray(), QStringLiteral("a"), QStringLiteral("b")),
              QByteArray("[General]\na=b\n"));
    EXPECT_EQ(IniPreferencesStore::rewrite("[Other]\nx=1\n", QStringLiteral("a"), QStringLiteral("b")),
              QByteArray("[General]\na=b\n[Other]\nx=1\n"));
}

TEST(IniPreferencesStore, readingAndDefaultsNeverTouchTheFile)
{
    App app;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kalvix/kalvix.conf");
    {
        IniPreferencesStore store(path);
        store.registerDefaults({{QStringLiteral("showWeekday"), true}});
        EXPECT_TRUE(store.boolValue(QStringLiteral("showWeekday"), false));
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(IniPreferencesStore, writesAtomicallyAndKeepsTheUsersOtherLines)
{
    App app;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kalvix.conf");
    writeAll(path, "# hand written\n[General]\nunknownKey=42\nshowYear=perhaps\n");
    IniPreferencesStore store(path);
    EXPECT_TRUE(store.setBool(QStringLiteral("showSeconds"), true));
    EXPECT_EQ(readAll(path),
              QByteArray("# hand written\n[General]\nunknownKey=42\nshowYear=perhaps\nshowSeconds=true\n"));

    IniPreferencesStore again(path);
    EXPECT_TRUE(again.boolValue(QStringLiteral("showSeconds"), false));
    EXPECT_EQ(again.stringValue(QStringLiteral("unknownKey"), QString()), QStringLiteral("42"));
}

TEST(IniPreferencesStore, unwritableFileIsReportedAndLeftAlone)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root can write anywhere";
    App app;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kalvix.conf");
    writeAll(path, "[General]\nshowSeconds=false\n");
    ::chmod(dir.path().toLocal8Bit().constData(), 0500);
    ::chmod(path.toLocal8Bit().constData(), 0400);
    IniPreferencesStore store(path);
    EXPECT_FALSE(store.setBool(QStringLiteral("showSeconds"), true));
    EXPECT_TRUE(store.boolValue(QStringLiteral("showSeconds"), false));
    EXPECT_EQ(readAll(path), QByteArray("[General]\nshowSeconds=false\n"));
    ::chmod(dir.path().toLocal8Bit().constData(), 0700);
}

TEST(IniPreferencesStore, writeIntoAFolderThatCannotBeMadeFails)
{
    App app;
    QTemporaryDir dir;
    writeAll(dir.path() + QStringLiteral("/kalvix"), "a file, not a folder");
    IniPreferencesStore store(dir.path() + QStringLiteral("/kalvix/kalvix.conf"));
    EXPECT_FALSE(store.setBool(QStringLiteral("showSeconds"), true));
}

TEST(IniPreferencesStore, editsByAnotherProcessAreAnnouncedPerKey)
{
    App app;
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kalvix/kalvix.conf");
    IniPreferencesStore store(path); // the folder does not exist yet
    QSignalSpy spy(&store, &PreferencesStore::changed);

    QDir().mkpath(dir.path() + QStringLiteral("/kalvix"));
    writeAll(path + QStringLiteral(".tmp"), "[General]\nshowSeconds=true\ntimeStyle=2\n");
    QFile::rename(path + QStringLiteral(".tmp"), path); // as editors and atomic writers do
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 2; }, 3000));
    EXPECT_TRUE(store.boolValue(QStringLiteral("showSeconds"), false));
    EXPECT_EQ(store.intValue(QStringLiteral("timeStyle"), 0), 2);

    spy.clear();
    writeAll(path, "[General]\nshowSeconds=true\ntimeStyle=1\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 1; }, 3000));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("timeStyle"));
}

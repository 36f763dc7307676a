#include "prefs/IniPreferencesStore.h"
#include "prefs/IniText.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace kalvix;
using kalvix::test::readFile;
using kalvix::test::writeFile;

namespace {

const QString kShowSeconds = QStringLiteral("showSeconds");
const QString kShowYear = QStringLiteral("showYear");
const QString kTimeStyle = QStringLiteral("timeStyle");
const QByteArray kUsersFile("# hand written\n[General]\nshowYear=false\nunknownKey=42\n");

struct Folder {
    Folder() { test::testApplication(); }
    QString file() const { return dir.filePath(QStringLiteral("kalvix.conf")); }
    QTemporaryDir dir;
};

struct MidSaveRow {
    const char* name;
    std::optional<QByteArray> editorState; // what the file holds now; nullopt: moved away
    double secondsSinceThen;
    bool looksMidSave;
};

void PrintTo(const MidSaveRow& row, std::ostream* os)
{
    *os << row.name;
}

class EditorSavingInPlace : public ::testing::TestWithParam<MidSaveRow> {};

} // namespace

TEST(IniPreferencesStore, readingAndDefaultsNeverTouchTheFile)
{
    Folder folder;
    const QString path = folder.dir.filePath(QStringLiteral("kalvix/kalvix.conf"));
    {
        IniPreferencesStore store(path);
        store.registerDefaults({{QStringLiteral("showWeekday"), true}});
        EXPECT_TRUE(store.boolValue(QStringLiteral("showWeekday"), false));
        store.reload();
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(IniPreferencesStore, writesOnlyTheKeysLineAndKeepsModeAndLineEndings)
{
    Folder folder;
    writeFile(folder.file(), kUsersFile);
    test::setMode(folder.file(), 0600);
    IniPreferencesStore store(folder.file());
    EXPECT_TRUE(store.setBool(kShowSeconds, true));
    EXPECT_EQ(readFile(folder.file()), kUsersFile + "showSeconds=true\n");
    EXPECT_EQ(test::modeOf(folder.file()), 0600u); // not reset to 0644
    EXPECT_EQ(test::namesIn(folder.dir.path()), QStringList{QStringLiteral("kalvix.conf")});

    IniPreferencesStore again(folder.file());
    EXPECT_TRUE(again.boolValue(kShowSeconds, false));
    EXPECT_EQ(again.stringValue(QStringLiteral("unknownKey"), QString()), QStringLiteral("42"));

    writeFile(folder.file(), "[General]\r\nshowYear=false\r\n");
    IniPreferencesStore crlf(folder.file());
    EXPECT_TRUE(crlf.setInt(kTimeStyle, 2));
    EXPECT_EQ(readFile(folder.file()), QByteArray("[General]\r\nshowYear=false\r\ntimeStyle=2\r\n"));

    writeFile(folder.file(), "[General]\rshowYear=false\rtimeStyle=1\r");
    IniPreferencesStore cr(folder.file());
    EXPECT_FALSE(cr.boolValue(kShowYear, true)); // a CR-only file is read
    EXPECT_EQ(cr.intValue(kTimeStyle, 0), 1);
    EXPECT_TRUE(cr.setInt(kTimeStyle, 2));
    EXPECT_EQ(readFile(folder.file()), QByteArray("[General]\rshowYear=false\rtimeStyle=2\r"));
}

TEST(IniPreferencesStore, writeIntoAFolderThatCannotBeMadeFails)
{
    Folder folder;
    writeFile(folder.dir.filePath(QStringLiteral("kalvix")), "a file, not a folder");
    IniPreferencesStore store(folder.dir.filePath(QStringLiteral("kalvix/kalvix.conf")));
    EXPECT_FALSE(store.setBool(kShowSeconds, true));
    EXPECT_TRUE(store.boolValue(kShowSeconds, false)); // in effect for this run
}

TEST(IniPreferencesStore, withoutAPathNothingIsReadOrWritten)
{
    Folder folder;
    IniPreferencesStore store{QString()};
    EXPECT_FALSE(store.setBool(kShowSeconds, true));
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    store.reload();
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
}

TEST(IniPreferencesStore, editsByAnotherProcessAreAnnouncedPerKey)
{
    Folder folder;
    const QString path = folder.dir.filePath(QStringLiteral("kalvix/kalvix.conf"));
    IniPreferencesStore store(path); // the folder does not exist yet
    QSignalSpy spy(&store, &PreferencesStore::changed);

    QDir().mkpath(folder.dir.filePath(QStringLiteral("kalvix")));
    writeFile(path + QStringLiteral(".tmp"), "[General]\nshowSeconds=true\ntimeStyle=2\n");
    QFile::rename(path + QStringLiteral(".tmp"), path); // as editors and atomic writers do
    store.reload();                                     // what the watcher does after its settle window
    EXPECT_EQ(spy.count(), 2);
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    EXPECT_EQ(store.intValue(kTimeStyle, 0), 2);

    spy.clear();
    writeFile(path, "[General]\nshowSeconds=true\ntimeStyle=1\n");
    store.reload();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), kTimeStyle);
    store.reload(); // nothing new: nothing announced
    EXPECT_EQ(spy.count(), 1);
}

TEST(IniPreferencesStore, aSaveMergesIntoTheFileAsItIsNow)
{
    Folder folder;
    writeFile(folder.file(), kUsersFile);
    IniPreferencesStore store(folder.file());
    QSignalSpy spy(&store, &PreferencesStore::changed);
    // A hand edit the watcher has not delivered yet.
    writeFile(folder.file(), kUsersFile + "timeStyle=2\n# more notes\n");
    EXPECT_TRUE(store.setBool(kShowSeconds, true));
    EXPECT_EQ(readFile(folder.file()), kUsersFile + "timeStyle=2\n# more notes\nshowSeconds=true\n");
    EXPECT_EQ(store.intValue(kTimeStyle, 0), 2); // and the edit is taken in on the way
    EXPECT_EQ(spy.count(), 2);
}

TEST_P(EditorSavingInPlace, aStateCaughtMidSaveIsNotTakenAsTheTruth)
{
    const MidSaveRow& row = GetParam();
    Folder folder;
    writeFile(folder.file(), kUsersFile);
    test::FakeTimeSource time;
    IniPreferencesStore store(folder.file(), time);

    if (row.editorState) {
        writeFile(folder.file(), *row.editorState);
        time.set(Instant{stampOf(folder.file()).mtimeSeconds() + row.secondsSinceThen});
    } else {
        ASSERT_TRUE(QFile::rename(folder.file(), folder.file() + u'~'));
        time.set(Instant{stampOf(folder.dir.path()).mtimeSeconds() + row.secondsSinceThen});
    }
    store.reload();
    const QByteArray before = row.editorState.value_or(QByteArray());
    const bool adoptedShowYear = IniText::parse(before).value(kShowYear, QStringLiteral("true")) == u"true";
    EXPECT_EQ(store.boolValue(kShowYear, true), row.looksMidSave ? false : adoptedShowYear);
    EXPECT_EQ(store.reloadScheduled(), row.looksMidSave);

    EXPECT_EQ(store.setBool(kShowSeconds, true), !row.looksMidSave);
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    EXPECT_EQ(store.hasWaitingWrites(), row.looksMidSave);
    if (row.looksMidSave) {
        EXPECT_EQ(QFile::exists(folder.file()), row.editorState.has_value()); // nothing renamed over it
        EXPECT_EQ(readFile(folder.file()), before);
    } else {
        EXPECT_EQ(readFile(folder.file()), IniText::rewrite(before, kShowSeconds, QStringLiteral("true")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    States,
    EditorSavingInPlace,
    ::testing::Values(MidSaveRow{"truncated_a_moment_ago", QByteArray(), 0.2, true},
                      MidSaveRow{"partly_written_a_moment_ago", QByteArray("# hand wr"), 0.5, true},
                      MidSaveRow{"moved_away_a_moment_ago", std::nullopt, 0.3, true},
                      MidSaveRow{"clock_a_little_behind_the_disk", QByteArray(), -0.5, true},
                      MidSaveRow{"emptied_on_purpose_earlier", QByteArray(), 3.0, false},
                      MidSaveRow{"deleted_on_purpose_earlier", std::nullopt, 3.0, false},
                      MidSaveRow{"grew_a_moment_ago", kUsersFile + "timeStyle=2\n", 0.2, false},
                      MidSaveRow{"shortened_on_purpose_earlier", QByteArray("[General]\nshowYear=true\n"), 2.5, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(IniPreferencesStore, aWaitingWriteIsMergedIntoTheEditorsTextOnceItSettles)
{
    Folder folder;
    writeFile(folder.file(), kUsersFile);
    test::FakeTimeSource time;
    IniPreferencesStore store(folder.file(), time);
    QSignalSpy spy(&store, &PreferencesStore::changed);

    writeFile(folder.file(), QByteArray()); // the editor truncates...
    time.set(Instant{stampOf(folder.file()).mtimeSeconds() + 0.1});
    EXPECT_FALSE(store.setBool(kShowSeconds, true)); // ...while Kalvix saves: the save waits
    EXPECT_TRUE(store.reloadScheduled());

    const QByteArray edited = kUsersFile + "timeStyle=2\n";
    writeFile(folder.file(), edited); // ...and writes its text
    time.set(Instant{stampOf(folder.file()).mtimeSeconds() + 0.6});
    store.reload(); // the settle timer's reload
    EXPECT_EQ(readFile(folder.file()), edited + "showSeconds=true\n");
    EXPECT_FALSE(store.hasWaitingWrites());
    EXPECT_EQ(store.intValue(kTimeStyle, 0), 2);
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    EXPECT_EQ(spy.count(), 2); // showSeconds when set, timeStyle when the edit arrived
}

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

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

namespace {

// An editor saving in place: it truncates the file, then writes its text in 4 KiB chunks a millisecond
// apart. Its text is longer than the file was, so no chunk looks like a file that lost content.
struct InPlaceWriter {
    QString path;
    test::FakeTimeSource& time;
    QByteArray text;
    qsizetype written = -1; // not started

    bool done() const { return written >= text.size(); }
    void next()
    {
        QFile file(path);
        ASSERT_TRUE(file.open(written < 0 ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append));
        written = std::max<qsizetype>(written, 0);
        file.write(text.mid(written, 4096));
        written += 4096;
        file.close();
        time.set(Instant{kalvix::stampOf(path).mtimeSeconds() + 0.001});
    }
    QByteArray soFar() const { return text.left(std::max<qsizetype>(written, 0)); }
};

QByteArray longNotes()
{
    QByteArray text("[General]\nshowWeekday=true\n");
    for (int line = 0; line < 251; ++line)
        text += "# note " + QByteArray::number(line) + ' ' + QByteArray(40, 'x') + '\n';
    return text;
}

struct RaceRow {
    const char* name;
    IniPreferencesStore::SaveMoment writerStarts;
};

void PrintTo(const RaceRow& row, std::ostream* os)
{
    *os << row.name;
}

class EditorRacingASave : public ::testing::TestWithParam<RaceRow> {};

} // namespace

TEST_P(EditorRacingASave, aSaveNeverRenamesAPartlyWrittenFileIntoPlace)
{
    Folder folder;
    const QByteArray before("[General]\nshowWeekday=true\n");
    writeFile(folder.file(), before);
    test::FakeTimeSource time(Instant{kalvix::stampOf(folder.file()).mtimeSeconds() + 5});
    IniPreferencesStore store(folder.file(), time);
    InPlaceWriter editor{folder.file(), time, longNotes()};
    ASSERT_EQ(editor.text.count('\n'), 253);
    const bool startsDuringTheSettle = GetParam().writerStarts == IniPreferencesStore::SaveMoment::settling;
    if (startsDuringTheSettle)
        editor.next(); // already truncated and a chunk in when Show weekday is clicked
    // Every pause and every gap before a rename is where the editor's next chunk lands.
    store.setSaveHook([&](IniPreferencesStore::SaveMoment moment) {
        if ((moment == IniPreferencesStore::SaveMoment::settling || editor.written < 0) && !editor.done())
            editor.next();
    });

    EXPECT_FALSE(store.setBool(QStringLiteral("showWeekday"), false)); // waits: the file is being written
    EXPECT_TRUE(store.hasWaitingWrites());
    EXPECT_TRUE(store.reloadScheduled());
    EXPECT_EQ(readFile(folder.file()), editor.soFar());
    while (!editor.done()) {
        store.reload(); // the settle timer comes back while the editor is still writing
        ASSERT_EQ(readFile(folder.file()), editor.soFar()) << "after " << editor.written << " bytes";
        ASSERT_TRUE(store.hasWaitingWrites());
    }
    time.advance(IniPreferencesStore::kSettleSeconds + 0.5);
    store.reload();
    EXPECT_FALSE(store.hasWaitingWrites());
    EXPECT_EQ(readFile(folder.file()),
              IniText::rewrite(editor.text, QStringLiteral("showWeekday"), QStringLiteral("false")));
    EXPECT_EQ(test::namesIn(folder.dir.path()), QStringList{QStringLiteral("kalvix.conf")});
}

INSTANTIATE_TEST_SUITE_P(Moments,
                         EditorRacingASave,
                         ::testing::Values(RaceRow{"writer_already_writing", IniPreferencesStore::SaveMoment::settling},
                                           RaceRow{"writer_starts_between_read_and_rename",
                                                   IniPreferencesStore::SaveMoment::beforeReplace}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(IniPreferencesStore, theLaterOfAHandEditAndAKalvixChangeWinsPerKey)
{
    const QString countdowns = QStringLiteral("countdowns");
    struct Row {
        const char* name;
        double changeAfterEdit; // seconds from the hand edit to the change made in Settings
        const char* kept;
    };
    for (const Row& row :
         {Row{"edited_after_the_change", -9.0, "byscript"}, Row{"edited_before_the_change", 0.5, "Triptyped"}}) {
        SCOPED_TRACE(row.name);
        Folder folder;
        writeFile(folder.file(), "[General]\ncountdowns=Trip\n");
        test::FakeTimeSource time;
        IniPreferencesStore store(folder.file(), time);
        QSignalSpy spy(&store, &PreferencesStore::changed);
        // A script's rewrite the watcher has not delivered yet.
        writeFile(folder.file(), "[General]\ncountdowns=byscript\n");
        const double editedAt = kalvix::stampOf(folder.file()).mtimeSeconds();
        time.set(Instant{editedAt + row.changeAfterEdit});
        {
            // Another save holds the folder, so the change waits until the settle timer.
            const int other = ::open(QFile::encodeName(folder.dir.path()).constData(), O_RDONLY | O_DIRECTORY);
            ASSERT_EQ(::flock(other, LOCK_EX), 0);
            EXPECT_FALSE(store.setString(countdowns, QStringLiteral("Triptyped")));
            EXPECT_FALSE(store.setBool(kShowSeconds, true)); // another key: merged whichever wins
            ::close(other);
        }
        time.set(Instant{editedAt + 5});
        store.reload();
        EXPECT_FALSE(store.hasWaitingWrites());
        EXPECT_EQ(readFile(folder.file()), QByteArray("[General]\ncountdowns=") + row.kept + "\nshowSeconds=true\n");
        EXPECT_EQ(store.stringValue(countdowns, QString()), QString::fromUtf8(row.kept));
        // The change and showSeconds when made; countdowns again when the later edit replaced the change.
        EXPECT_EQ(spy.count(), row.changeAfterEdit < 0 ? 3 : 2);
    }
}

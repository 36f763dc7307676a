// The preferences file in the states that destroy data or hang a careless reader: a full disk, a file too
// large to read, one that cannot be read, a read-only link, and special files in its place. Every file
// is made by the test.
#include "prefs/IniPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;
using kalvix::test::readFile;
using kalvix::test::writeFile;

namespace {

const QString kShowSeconds = QStringLiteral("showSeconds");
const QByteArray kUsersFile("# hand written\n[General]\nshowSeconds=false\ntimeStyle=2\n");

QString fileIn(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("kalvix.conf"));
}

struct FullDiskRow {
    const char* name;
    WriteStep step;
};

struct SpecialRow {
    const char* name;
    std::function<void(const QString& path)> make;
    unsigned type; // S_IFIFO, S_IFDIR, S_IFLNK
};

template <typename Row> void printName(const Row& row, std::ostream* os)
{
    *os << row.name;
}
void PrintTo(const FullDiskRow& row, std::ostream* os)
{
    printName(row, os);
}
void PrintTo(const SpecialRow& row, std::ostream* os)
{
    printName(row, os);
}

class FullDisk : public ::testing::TestWithParam<FullDiskRow> {};
class SpecialFileInPlace : public ::testing::TestWithParam<SpecialRow> {};

unsigned typeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

TEST_P(FullDisk, aFailedSaveLeavesTheFileWholeAndSaysSo)
{
    test::testApplication();
    QTemporaryDir dir;
    writeFile(fileIn(dir), kUsersFile);
    test::setMode(fileIn(dir), 0640);
    IniPreferencesStore store(fileIn(dir));
    store.setWriteFault(WriteFault{GetParam().step, ENOSPC});

    EXPECT_FALSE(store.setBool(kShowSeconds, true));
    EXPECT_TRUE(store.boolValue(kShowSeconds, false)); // in effect for this run
    EXPECT_FALSE(store.hasWaitingWrites());            // a failure is not retried
    EXPECT_EQ(readFile(fileIn(dir)), kUsersFile);
    EXPECT_EQ(test::modeOf(fileIn(dir)), 0640u);
    EXPECT_EQ(test::namesIn(dir.path()), QStringList{QStringLiteral("kalvix.conf")});

    store.setWriteFault(std::nullopt); // room again
    EXPECT_TRUE(store.setInt(QStringLiteral("dateStyle"), 1));
    EXPECT_EQ(readFile(fileIn(dir)), kUsersFile + "dateStyle=1\n");
}

INSTANTIATE_TEST_SUITE_P(Steps,
                         FullDisk,
                         ::testing::Values(FullDiskRow{"no_room_for_the_temporary", WriteStep::create},
                                           FullDiskRow{"full_while_writing", WriteStep::write},
                                           FullDiskRow{"full_at_sync", WriteStep::sync},
                                           FullDiskRow{"full_at_close", WriteStep::close},
                                           FullDiskRow{"refused_at_rename", WriteStep::rename}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(HostilePreferencesFile, aFileTooLargeToReadIsNeitherReadInPartNorWritten)
{
    test::testApplication();
    QTemporaryDir dir;
    QByteArray big = "[General]\nshowSeconds=true\n#";
    big += QByteArray(kMaxUserFileSize, 'x');
    big += "\ntimeStyle=2\n[Other]\nkept=yes\n";
    writeFile(fileIn(dir), big);

    IniPreferencesStore store(fileIn(dir));
    EXPECT_FALSE(store.contains(kShowSeconds)); // nothing read, not even the start
    EXPECT_FALSE(store.setInt(QStringLiteral("dateStyle"), 1));
    EXPECT_EQ(QFileInfo(fileIn(dir)).size(), big.size());
    EXPECT_TRUE(readFile(fileIn(dir)) == big);
}

TEST(HostilePreferencesFile, aChangeThatWouldTakeTheFilePastTheLimitIsNotWritten)
{
    test::testApplication();
    QTemporaryDir dir;
    QByteArray justUnder = "[General]\ntimeStyle=2\n#";
    justUnder += QByteArray(kalvix::kMaxUserFileSize - justUnder.size() - 1, 'x');
    justUnder += '\n';
    ASSERT_EQ(justUnder.size(), kalvix::kMaxUserFileSize);
    writeFile(fileIn(dir), justUnder);

    IniPreferencesStore store(fileIn(dir));
    EXPECT_EQ(store.intValue(QStringLiteral("timeStyle"), 0), 2);
    EXPECT_FALSE(store.setBool(kShowSeconds, true)); // the file would no longer be read at all
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    EXPECT_TRUE(readFile(fileIn(dir)) == justUnder);
    EXPECT_TRUE(store.setInt(QStringLiteral("timeStyle"), 1)); // the same length: written
    IniPreferencesStore again(fileIn(dir));
    EXPECT_EQ(again.intValue(QStringLiteral("timeStyle"), 0), 1);
}

TEST(HostilePreferencesFile, aFileThatCannotBeReadIsNeverReplaced)
{
    test::testApplication();
    QTemporaryDir dir;
    writeFile(fileIn(dir), kUsersFile);
    test::setMode(fileIn(dir), 0200);
    {
        const test::ScopedUnprivileged as({dir.path(), fileIn(dir)});
        IniPreferencesStore store(fileIn(dir));
        EXPECT_FALSE(store.contains(QStringLiteral("timeStyle")));
        EXPECT_FALSE(store.setBool(kShowSeconds, true));
        store.reload();
        EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    }
    EXPECT_EQ(test::modeOf(fileIn(dir)), 0200u);
    test::setMode(fileIn(dir), 0600); // to look inside
    EXPECT_EQ(readFile(fileIn(dir)), kUsersFile);
    EXPECT_EQ(test::namesIn(dir.path()), QStringList{QStringLiteral("kalvix.conf")});
}

TEST(HostilePreferencesFile, aReadOnlyLinkIsReadAndReportsEveryWriteAsFailed)
{
    // As home-manager makes it: the file a link into a read-only store of generated files.
    test::testApplication();
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("store"));
    ASSERT_TRUE(QDir().mkpath(store));
    const QString target = store + QStringLiteral("/kalvix.conf");
    writeFile(target, kUsersFile);
    const QString config = dir.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(config));
    const QString link = config + QStringLiteral("/kalvix.conf");
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    test::setMode(target, 0444);
    test::setMode(store, 0555);
    {
        const test::ScopedUnprivileged as({dir.path(), store, target, config, link});
        IniPreferencesStore prefs(link);
        EXPECT_EQ(prefs.intValue(QStringLiteral("timeStyle"), 0), 2);
        EXPECT_FALSE(prefs.setBool(kShowSeconds, true));
    }
    EXPECT_EQ(typeOf(link), unsigned(S_IFLNK));
    EXPECT_EQ(readFile(target), kUsersFile);
    test::setMode(store, 0755);
}

TEST_P(SpecialFileInPlace, isNeverOpenedAndNeverReplaced)
{
    const SpecialRow& row = GetParam();
    test::testApplication();
    QTemporaryDir dir;
    row.make(fileIn(dir));
    IniPreferencesStore store(fileIn(dir)); // returns: a FIFO with no writer would block a plain open
    store.reload();
    EXPECT_FALSE(store.contains(kShowSeconds));
    EXPECT_FALSE(store.setBool(kShowSeconds, true));
    EXPECT_EQ(typeOf(fileIn(dir)), row.type);
    for (const QString& name : test::namesIn(dir.path()))
        EXPECT_TRUE(name.startsWith(QStringLiteral("kalvix.conf"))) << name.toStdString(); // no temporary left
}

INSTANTIATE_TEST_SUITE_P(
    Kinds,
    SpecialFileInPlace,
    ::testing::Values(
        SpecialRow{"fifo",
                   [](const QString& p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
                   unsigned(S_IFIFO)},
        SpecialRow{"folder", [](const QString& p) { ASSERT_TRUE(QDir().mkpath(p)); }, unsigned(S_IFDIR)},
        SpecialRow{"link_to_an_endless_device",
                   [](const QString& p) { ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(p).constData()), 0); },
                   unsigned(S_IFLNK)},
        SpecialRow{"link_to_a_fifo",
                   [](const QString& p) {
                       const QByteArray fifo = QFile::encodeName(p) + ".fifo";
                       ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
                       ASSERT_EQ(::symlink(fifo.constData(), QFile::encodeName(p).constData()), 0);
                   },
                   unsigned(S_IFLNK)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HostilePreferencesFile, aLockHeldByAnotherProcessDelaysASaveWithoutBlockingIt)
{
    test::testApplication();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("kalvix"));
    const QString path = folder + QStringLiteral("/kalvix.conf");
    IniPreferencesStore store(path);
    EXPECT_TRUE(store.setBool(kShowSeconds, false));
    EXPECT_EQ(test::modeOf(folder) & 0077, 0u); // made private: others cannot open it to lock it
    // One an older Kalvix made open to all is closed at the first save.
    const QString older = dir.filePath(QStringLiteral("older"));
    ASSERT_EQ(::mkdir(QFile::encodeName(older).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(older).constData(), 0755), 0); // whatever the umask
    IniPreferencesStore olderStore(older + QStringLiteral("/kalvix.conf"));
    EXPECT_TRUE(olderStore.setBool(kShowSeconds, true));
    EXPECT_EQ(test::modeOf(older), 0700u);
    writeFile(folder + QStringLiteral("/.kalvix.conf.k1llEd.tmp"), "left by a save that was killed");

    // Whoever holds it (the lock is per open folder, so this stands for another process's hold).
    const int other = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_FALSE(store.setBool(kShowSeconds, true)); // returns at once, not stored yet
    EXPECT_TRUE(store.boolValue(kShowSeconds, false));
    EXPECT_TRUE(store.hasWaitingWrites());
    EXPECT_TRUE(store.reloadScheduled());
    EXPECT_EQ(readFile(path), QByteArray("[General]\nshowSeconds=false\n"));
    store.reload(); // the settle timer, still held: still waiting
    EXPECT_TRUE(store.hasWaitingWrites());

    ::close(other);
    store.reload();
    EXPECT_FALSE(store.hasWaitingWrites());
    EXPECT_EQ(readFile(path), QByteArray("[General]\nshowSeconds=true\n"));
    EXPECT_EQ(test::namesIn(folder), QStringList{QStringLiteral("kalvix.conf")}); // the stale temporary went
}

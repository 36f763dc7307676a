#include "desktop/UserFile.h"
#include "tests/support/UserFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;
using kalvix::test::namesIn;
using kalvix::test::readFile;
using kalvix::test::writeFile;

namespace {

const QByteArray kOld("[General]\nshowYear=false\n# the user's notes\n");
const QByteArray kNew("[General]\nshowYear=true\n");

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

struct FaultRow {
    const char* name;
    WriteStep step;
    int error;
};

void PrintTo(const FaultRow& row, std::ostream* os)
{
    *os << row.name;
}

class FailedReplacement : public ::testing::TestWithParam<FaultRow> {};

} // namespace

TEST(UserFile, readsRegularFilesWholeAndNamesWhatItWillNotOpen)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    const UserFileRead ok = readUserFile(file);
    EXPECT_EQ(ok.status, ReadStatus::ok);
    EXPECT_EQ(ok.bytes, kOld);
    EXPECT_EQ(ok.stamp, stampOf(file));

    EXPECT_EQ(readUserFile(dir.filePath(QStringLiteral("none"))).status, ReadStatus::absent);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(encoded(fifo).constData(), 0600), 0);
    EXPECT_EQ(readUserFile(fifo).status, ReadStatus::notAFile); // returns: nothing writes to the FIFO
    const QString device = dir.filePath(QStringLiteral("zero"));
    ASSERT_EQ(::symlink("/dev/zero", encoded(device).constData()), 0);
    EXPECT_EQ(readUserFile(device).status, ReadStatus::notAFile); // an endless device, never read
    EXPECT_EQ(readUserFile(dir.path()).status, ReadStatus::notAFile);
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_EQ(::symlink("nowhere", encoded(dangling).constData()), 0);
    EXPECT_EQ(readUserFile(dangling).status, ReadStatus::absent);
}

TEST(UserFile, aFileOverTheLimitIsNotReadAtAll)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big"));
    writeFile(file, QByteArray(100, 'x'));
    EXPECT_EQ(readUserFile(file, 100).status, ReadStatus::ok);
    const UserFileRead over = readUserFile(file, 99);
    EXPECT_EQ(over.status, ReadStatus::tooLarge);
    EXPECT_TRUE(over.bytes.isEmpty()); // never a part of it
}

TEST(UserFile, unreadableFileIsReportedNotTakenAsEmpty)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    test::setMode(file, 0200);
    const test::ScopedUnprivileged as({dir.path(), file});
    EXPECT_EQ(readUserFile(file).status, ReadStatus::unreadable);
}

TEST(UserFile, replacementKeepsTheModeAndWritesThroughLinks)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real.conf"));
    const QString link = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(target, kOld);
    test::setMode(target, 0640);
    ASSERT_EQ(::symlink("real.conf", encoded(link).constData()), 0);

    ASSERT_EQ(replaceUserFile(link, kNew).status, WriteStatus::ok);
    EXPECT_EQ(readFile(target), kNew);
    EXPECT_EQ(test::modeOf(target), 0640u);
    struct stat st {};
    ASSERT_EQ(::lstat(encoded(link).constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)); // the link stays a link
    EXPECT_EQ(namesIn(dir.path()), (QStringList{QStringLiteral("kalvix.conf"), QStringLiteral("real.conf")}));

    const QString fresh = dir.filePath(QStringLiteral("new.conf"));
    const mode_t mask = ::umask(022);
    EXPECT_EQ(replaceUserFile(fresh, kNew).status, WriteStatus::ok);
    ::umask(mask);
    EXPECT_EQ(test::modeOf(fresh), 0644u);
}

TEST(UserFile, aFileMadeReadOnlyIsNotReplaced)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    test::setMode(file, 0444);
    {
        const test::ScopedUnprivileged as({dir.path(), file});
        const WriteResult result = replaceUserFile(file, kNew);
        EXPECT_EQ(result.status, WriteStatus::failed);
        EXPECT_EQ(result.error, EACCES);
    }
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(test::modeOf(file), 0444u);
}

TEST(UserFile, specialFilesAndDanglingLinksAreNeverReplaced)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(encoded(fifo).constData(), 0600), 0);
    EXPECT_EQ(replaceUserFile(fifo, kNew).status, WriteStatus::failed);
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_EQ(::symlink("nowhere", encoded(dangling).constData()), 0);
    EXPECT_EQ(replaceUserFile(dangling, kNew).status, WriteStatus::failed);
    EXPECT_EQ(namesIn(dir.path()), (QStringList{QStringLiteral("dangling"), QStringLiteral("fifo")}));
}

TEST_P(FailedReplacement, leavesTheOldFileWholeAndNoTemporary)
{
    const FaultRow& row = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    test::setMode(file, 0600);
    const WriteResult result = replaceUserFile(file, kNew, std::nullopt, WriteFault{row.step, row.error});
    EXPECT_EQ(result.status, WriteStatus::failed);
    EXPECT_EQ(result.error, row.error);
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(test::modeOf(file), 0600u);
    EXPECT_EQ(namesIn(dir.path()), QStringList{QStringLiteral("kalvix.conf")});
}

INSTANTIATE_TEST_SUITE_P(Steps,
                         FailedReplacement,
                         ::testing::Values(FaultRow{"no_room_for_the_temporary", WriteStep::create, ENOSPC},
                                           FaultRow{"disk_full_while_writing", WriteStep::write, ENOSPC},
                                           FaultRow{"quota_at_sync", WriteStep::sync, EDQUOT},
                                           FaultRow{"network_error_at_close", WriteStep::close, EIO},
                                           FaultRow{"read_only_at_rename", WriteStep::rename, EROFS}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(UserFile, aWriteTheKernelRefusesLeavesTheOldFileWhole)
{
    // A file-size limit makes the kernel refuse the write itself (EFBIG), as a full disk refuses with
    // ENOSPC, with no help from the seam.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const WriteResult result = replaceUserFile(file, QByteArray(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.status, WriteStatus::failed);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(namesIn(dir.path()), QStringList{QStringLiteral("kalvix.conf")});
}

TEST(UserFile, aFileChangedSinceItWasReadIsNotReplaced)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kalvix.conf"));
    writeFile(file, kOld);
    const FileStamp read = stampOf(file);
    writeFile(file, kOld + "timeStyle=2\n"); // an editor saved after Kalvix read
    EXPECT_EQ(replaceUserFile(file, kNew, read).status, WriteStatus::changedMeanwhile);
    EXPECT_EQ(readFile(file), kOld + "timeStyle=2\n");

    const QString absent = dir.filePath(QStringLiteral("absent.conf"));
    const FileStamp none = stampOf(absent);
    writeFile(absent, "made meanwhile\n");
    EXPECT_EQ(replaceUserFile(absent, kNew, none).status, WriteStatus::changedMeanwhile);
    EXPECT_EQ(readFile(absent), QByteArray("made meanwhile\n"));
    EXPECT_EQ(namesIn(dir.path()), (QStringList{QStringLiteral("absent.conf"), QStringLiteral("kalvix.conf")}));

    EXPECT_EQ(replaceUserFile(file, kNew, stampOf(file)).status, WriteStatus::ok);
    EXPECT_EQ(readFile(file), kNew);
}

TEST(UserFile, folderLockExcludesOtherHolders)
{
    QTemporaryDir dir;
    const int other = ::open(encoded(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(other, 0);
    {
        const FolderLock lock(dir.path());
        ASSERT_TRUE(lock.held());
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0); // another process's save would wait here
        EXPECT_EQ(errno, EWOULDBLOCK);
    }
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

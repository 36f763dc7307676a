// Saves onto a disk that is really full: a 64 KiB tmpfs mounted in a mount namespace of this process
// alone (as root, or as root of a fresh user namespace where the kernel lets anyone make one), filled
// to the last byte. Where neither is allowed the tests are skipped and say why; the same failures are
// also covered through the writer's seam in the other tests.
#include "desktop/LoginItems.h"
#include "prefs/IniPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/UserFiles.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace kalvix;
using kalvix::test::readFile;
using kalvix::test::writeFile;

namespace {

struct SmallDisk {
    QString folder; // empty when none could be mounted
    QString whyNot;
};

SmallDisk& smallDisk()
{
    static SmallDisk disk;
    return disk;
}

bool writeText(const char* path, const char* text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text));
    ::close(fd);
    return ok;
}

// Must run while the process has one thread: a user namespace cannot be entered otherwise.
bool enterOwnMountNamespace(QString* whyNot)
{
    if (::unshare(CLONE_NEWNS) == 0)
        return true;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        *whyNot =
            QStringLiteral("no mount namespace without root here: ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QByteArray uidMap = "0 " + QByteArray::number(uid) + " 1";
    const QByteArray gidMap = "0 " + QByteArray::number(gid) + " 1";
    if (!writeText("/proc/self/setgroups", "deny") || !writeText("/proc/self/uid_map", uidMap.constData()) ||
        !writeText("/proc/self/gid_map", gidMap.constData())) {
        *whyNot = QStringLiteral("cannot map this user into a user namespace");
        return false;
    }
    return true;
}

void mountSmallDisk()
{
    SmallDisk& disk = smallDisk();
    char folder[] = "/tmp/kalvix-full-disk-XXXXXX";
    if (!::mkdtemp(folder)) {
        disk.whyNot = QStringLiteral("no temporary folder");
        return;
    }
    if (!enterOwnMountNamespace(&disk.whyNot))
        return;
    // Private, so the mount never shows outside this process.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("kalvix-test", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755") != 0) {
        disk.whyNot = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    disk.folder = QFile::decodeName(folder);
}

// Fills the disk to the last byte.
void fill(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                          0600);
    ASSERT_GE(fd, 0);
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {
    }
    while (::write(fd, "f", 1) == 1) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(fd);
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (smallDisk().folder.isEmpty())
            GTEST_SKIP() << "no small file system to fill: " << smallDisk().whyNot.toStdString();
        test::testApplication();
        for (const QString& name : test::namesIn(smallDisk().folder))
            QFile::remove(smallDisk().folder + u'/' + name);
    }
    QString path(const char* name) const { return smallDisk().folder + u'/' + QString::fromUtf8(name); }
};

} // namespace

TEST_F(FullDisk, thePreferencesFileStaysWholeAndTheSaveSaysItFailed)
{
    const QByteArray users = "# hand written\n[General]\nshowSeconds=false\ntimeStyle=2\n";
    writeFile(path("kalvix.conf"), users);
    IniPreferencesStore store(path("kalvix.conf"));
    fill(smallDisk().folder);

    EXPECT_FALSE(store.setBool(QStringLiteral("showSeconds"), true));
    EXPECT_FALSE(store.setString(QStringLiteral("homeCity"), QStringLiteral("Tokyo")));
    EXPECT_EQ(readFile(path("kalvix.conf")), users);
    EXPECT_EQ(test::namesIn(smallDisk().folder),
              (QStringList{QStringLiteral("filler"), QStringLiteral("kalvix.conf")}));

    QFile::remove(path("filler"));
    EXPECT_TRUE(store.setInt(QStringLiteral("dateStyle"), 1)); // failed saves are not retried
    EXPECT_EQ(readFile(path("kalvix.conf")), users + "dateStyle=1\n");
}

TEST_F(FullDisk, theAutostartEntryStaysWhole)
{
    const QString entry = path("kalvix.desktop");
    XdgAutostart items(entry, QStringLiteral("/usr/bin/kalvix"), QString());
    fill(smallDisk().folder);
    EXPECT_FALSE(items.registerApp());
    EXPECT_FALSE(QFile::exists(entry));

    QFile::remove(path("filler"));
    ASSERT_TRUE(items.registerApp());
    const QByteArray written = readFile(entry);
    fill(smallDisk().folder);
    EXPECT_FALSE(items.setEnabled(false));
    EXPECT_EQ(readFile(entry), written);
    EXPECT_TRUE(items.isEnabled());
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    mountSmallDisk(); // before anything starts a thread
    const int result = RUN_ALL_TESTS();
    if (!smallDisk().folder.isEmpty()) {
        ::umount2(QFile::encodeName(smallDisk().folder).constData(), MNT_DETACH);
        ::rmdir(QFile::encodeName(smallDisk().folder).constData());
    }
    return result;
}

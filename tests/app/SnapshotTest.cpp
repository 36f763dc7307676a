// --snapshot: what the launch schedules, and the two pictures it writes or fails to write.
#include "app/AppDelegate.h"
#include "statusitem/StatusItem.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/ColorRoles.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

QApplication& app()
{
    auto& application = testApplication<QApplication>();
    ui::setPreferOwnSymbols(true);
    QApplication::setPalette(ui::lightPalette());
    return application;
}

std::unique_ptr<StatusItem> noStatusItem()
{
    return nullptr;
}

struct Launched {
    explicit Launched(QStringList arguments)
        : fakes(local(2026, 3, 5, 9, 41))
        , delegate(std::move(arguments), fakes.context(), noStatusItem)
    {
        fakes.store.add(timed("Sync", local(2026, 3, 5, 9, 30), local(2026, 3, 5, 10), kBlue));
        fakes.store.announceChange();
        processQueued();
        delegate.applicationDidFinishLaunching();
    }
    QApplication& application = app();
    TestContext fakes;
    AppDelegate delegate;
};

} // namespace

TEST(Snapshot, theLaunchSchedulesBothPicturesAfterTwoAndAHalfSecondsThenQuits)
{
    QTemporaryDir folder;
    Launched launch({u"kalvix"_qs, u"--snapshot"_qs, folder.path(), u"--snapshot"_qs, u"elsewhere"_qs});
    QTimer* timer = launch.delegate.snapshotTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 2500);
    EXPECT_EQ(launch.fakes.actions.quits, 0) << "the launch goes on meanwhile";

    // An old picture of the same name is replaced.
    QImage(10, 10, QImage::Format_ARGB32).save(QDir(folder.path()).filePath(u"compact.png"_qs));
    launch.delegate.renderScheduledSnapshot();
    EXPECT_EQ(launch.delegate.snapshotTimer(), nullptr);
    EXPECT_EQ(launch.fakes.actions.quits, 1);
    const QImage standard(QDir(folder.path()).filePath(u"standard.png"_qs));
    const QImage compact(QDir(folder.path()).filePath(u"compact.png"_qs));
    EXPECT_EQ(standard.width(), 1280);
    EXPECT_EQ(compact.width(), 600);
    EXPECT_GT(standard.height(), 2 * 280) << "at least the calendar row, at scale 2";
    EXPECT_GT(compact.height(), 2 * 200);
    EXPECT_EQ(standard.height() % 2, 0);
    // The window background behind, out to the edges.
    const QColor window = ui::roleColor(ui::ColorRole::windowBackground, ui::lightPalette());
    for (const QImage* image : {&standard, &compact})
        for (QPoint corner : {QPoint(0, 0), QPoint(image->width() - 1, image->height() - 1)})
            EXPECT_EQ(image->pixelColor(corner), window);
    EXPECT_FALSE(QDir(u"elsewhere"_qs).exists()) << "only the first --snapshot counts";
}

TEST(Snapshot, withoutAFolderNothingIsScheduledAndKalvixRunsOn)
{
    Launched launch({u"kalvix"_qs, u"--open-settings"_qs, u"--snapshot"_qs});
    EXPECT_EQ(launch.delegate.snapshotTimer(), nullptr);
    launch.delegate.renderScheduledSnapshot(); // nothing pending: nothing happens
    EXPECT_EQ(launch.fakes.actions.quits, 0);
    EXPECT_EQ(launch.fakes.actions.settingsTabs.size(), 1u);
}

TEST(Snapshot, aFileThatCannotBeWrittenIsNamedAndCountsAsAFailure)
{
    QTemporaryDir parent;
    const QString missing = QDir(parent.path()).filePath(u"no/such/folder"_qs);
    Launched launch({u"kalvix"_qs});
    testing::internal::CaptureStderr();
    const bool written = AppDelegate::renderSnapshots(launch.fakes.context(), missing);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(written);
    EXPECT_NE(said.find(QDir(missing).filePath(u"standard.png"_qs).toStdString()), std::string::npos) << said;
    EXPECT_NE(said.find(QDir(missing).filePath(u"compact.png"_qs).toStdString()), std::string::npos) << said;

    // One of the two written is still a failure; the other file is written all the same.
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(u"compact.png"_qs); // a folder where the file should go
    testing::internal::CaptureStderr();
    EXPECT_FALSE(AppDelegate::renderSnapshots(launch.fakes.context(), folder.path()));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(QImage(QDir(folder.path()).filePath(u"standard.png"_qs)).width(), 1280);
}

TEST(Snapshot, aFifoOrALinkInPlaceOfAPictureIsRefusedNotWaitedOnOrFollowed)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QByteArray usersFile("a file of the user's that a link in the folder names\n");
    const QString target = dir.filePath(u"notes.txt"_qs);
    QFile notes(target);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(usersFile);
    notes.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"standard.png"_qs)).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(target, dir.filePath(u"compact.png"_qs)));

    Launched launch({u"kalvix"_qs});
    testing::internal::CaptureStderr();
    EXPECT_FALSE(AppDelegate::renderSnapshots(launch.fakes.context(), folder.path())); // returns
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("standard.png"), std::string::npos) << said;
    EXPECT_NE(said.find("compact.png"), std::string::npos) << said;
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), usersFile);
}

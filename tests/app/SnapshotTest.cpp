// --snapshot: what the launch schedules, and the two pictures it writes or fails to write.
#include "app/AppDelegate.h"
#include "popover/AnalogClockFace.h"
#include "popover/StandardView.h"
#include "statusitem/StatusItem.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/ColorRoles.h"
#include "ui/Symbols.h"
#include "ui/TextLabel.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

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

// WCAG 2 relative luminance of an opaque sRGB colour.
double luminance(QColor c)
{
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(QColor a, QColor b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour most pixels in `rect` have: what the text there is painted on.
QColor backgroundIn(const QImage& image, const QRect& rect)
{
    QHash<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb most = 0;
    int mostCount = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > mostCount)
            most = it.key(), mostCount = it.value();
    return QColor::fromRgb(most);
}

// The strongest painted pixel in `rect` against `background`: the ink where a glyph's stem covers whole
// pixels, which is the colour a reader sees.
double strongestContrast(const QImage& image, const QRect& rect, QColor background)
{
    double best = 1.0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            best = std::max(best, contrast(image.pixelColor(x, y), background));
    return best;
}

QRect deviceRect(const QWidget* child, const QWidget* root, const QImage& image)
{
    const qreal dpr = image.devicePixelRatio();
    const QRect logical(child->mapTo(root, QPoint(0, 0)), child->size());
    return QRect(QPoint(qRound(logical.left() * dpr), qRound(logical.top() * dpr)),
                 QSize(qRound(logical.width() * dpr), qRound(logical.height() * dpr)))
        .intersected(image.rect());
}

} // namespace

TEST(Snapshot, everyCaptionAndEveryDialEdgeIsLegibleOnWhatItIsPaintedOnInBothThemes)
{
    app();
    for (const bool dark : {false, true}) {
        const char* theme = dark ? "dark" : "light";
        QApplication::setPalette(dark ? ui::darkPalette() : ui::lightPalette());
        // Half past eight in the evening in London: Tokyo and Sydney are at night, New York in the day.
        TestContext t(local(2026, 3, 5, 20, 30));
        t.worldClocks.setCityNames(
            {u"London"_qs, u"New York"_qs, u"Tokyo"_qs, u"Sydney"_qs, u"Los Angeles"_qs, u"Paris"_qs});
        t.calendar.setDisplayedMonth(t.time.now());
        StandardView standard(t.context());
        const QImage image = AppDelegate::snapshotImage(standard, 640);
        ASSERT_FALSE(image.isNull());
        const QColor window = ui::roleColor(ui::ColorRole::windowBackground, QApplication::palette());

        int measured = 0;
        for (const ui::TextLabel* label : standard.findChildren<ui::TextLabel*>()) {
            // A lone "|" is a divider drawn with a glyph, not text to read.
            if (!label->isVisibleTo(&standard) || label->text().trimmed() == u"|" || label->text().isEmpty())
                continue;
            const QRect rect = deviceRect(label, &standard, image);
            const QColor background = backgroundIn(image, rect);
            const double ratio = strongestContrast(image, rect, background);
            EXPECT_GE(ratio, 4.5) << theme << " \"" << label->text().toStdString() << "\" at " << ratio;
            // Kept in the test report, to follow the margins over time.
            RecordProperty(QStringLiteral("%1 %2").arg(QLatin1String(theme), label->text()).toStdString(),
                           QString::number(ratio, 'f', 2).toStdString());
            ++measured;
        }
        EXPECT_GE(measured, 10) << theme << ": the tip, the clocks' names, days and times, the footer";

        // A dial's edge is found against the window (3:1, as for any control's outline), day or night.
        int dials = 0, nightDials = 0;
        for (const AnalogClockFace* face : standard.findChildren<AnalogClockFace*>()) {
            if (!face->isVisibleTo(&standard))
                continue;
            const QRect rect = deviceRect(face, &standard, image);
            const QRect edge(rect.left(), rect.center().y() - 1, rect.width() / 20, 3); // the left rim, short of the 9
            const double ratio = strongestContrast(image, edge, window);
            EXPECT_GE(ratio, 3.0) << theme << " dial " << dials << " edge at " << ratio;
            RecordProperty(QStringLiteral("%1 dial %2").arg(QLatin1String(theme)).arg(dials).toStdString(),
                           QString::number(ratio, 'f', 2).toStdString());
            ++dials;
            nightDials += contrast(image.pixelColor(rect.center() + QPoint(-rect.width() / 5, -rect.height() / 5)),
                                   Qt::black) < 2;
        }
        EXPECT_EQ(dials, 6) << theme;
        EXPECT_GE(nightDials, 2) << theme << ": the night dials are among them";
    }
    QApplication::setPalette(ui::lightPalette());
}

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

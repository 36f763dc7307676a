// The title file that lets `kalvix --print-title` answer without starting the program: believed only
// when it is current, the user's own and made in the caller's environment.
#include "app/TitleCache.h"
#include "app/TitlePublisher.h"
#include "prefs/Prefs.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;
namespace cache = kalvix::titlecache;

namespace {

constexpr std::int64_t kMinute = 60000;
// 2026-07-05 14:05:09.250 UTC.
constexpr std::int64_t kNow = 1783260309250;

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(TitleCache, validUntilTheNextMinuteOrSecondWithTheTicksLateness)
{
    const std::int64_t minuteStart = kNow - kNow % kMinute;
    EXPECT_EQ(cache::validUntil(kNow, false), minuteStart + kMinute + 1500);
    EXPECT_EQ(cache::validUntil(kNow, true), kNow - kNow % 1000 + 1000 + 1500);
    EXPECT_EQ(cache::validUntil(minuteStart, false), minuteStart + kMinute + 1500);
}

TEST(TitleCache, pathNeedsAnAbsoluteRuntimeFolderAndNothingElseIsUsed)
{
    {
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        EXPECT_EQ(cache::path(), "/run/user/1000/kalvix/title");
    }
    {
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", "relative/dir");
        EXPECT_EQ(cache::path(), "");
    }
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(cache::path(), "");
    EXPECT_EQ(cache::readCurrent(cache::path(), cache::environmentKey(), kNow), std::nullopt);
}

TEST(TitleCache, environmentKeyTellsUnsetFromEmptyAndChangesWithTheZone)
{
    test::ScopedEnv zone("TZ", "Europe/London");
    const std::string london = cache::environmentKey();
    {
        test::ScopedEnv tokyo("TZ", "Asia/Tokyo");
        EXPECT_NE(cache::environmentKey(), london);
    }
    {
        test::ScopedEnv empty("TZ", "");
        const std::string emptyZone = cache::environmentKey();
        test::ScopedEnv unset("TZ", nullptr);
        EXPECT_NE(cache::environmentKey(), emptyZone);
    }
    EXPECT_EQ(cache::environmentKey(), london);
}

struct ReadRow {
    const char* name;
    std::int64_t readAt;   // relative to the writing moment
    const char* readerEnv; // null: the writer's
    bool found;
};

class TitleReads : public ::testing::TestWithParam<ReadRow> {};

TEST_P(TitleReads, onlyACurrentTitleFromTheSameEnvironmentIsTaken)
{
    const ReadRow& row = GetParam();
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("kalvix/title")).toStdString();
    ASSERT_TRUE(cache::write(file, {"Sun, 5 Jul 2026 15:05", cache::validUntil(kNow, false), "TZ=Europe/London\x1f"}));
    const auto got =
        cache::readCurrent(file, row.readerEnv ? row.readerEnv : "TZ=Europe/London\x1f", kNow + row.readAt);
    EXPECT_EQ(got.has_value(), row.found);
    if (row.found) {
        EXPECT_EQ(*got, "Sun, 5 Jul 2026 15:05");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reads,
    TitleReads,
    ::testing::Values(ReadRow{"at_once", 0, nullptr, true},
                      ReadRow{"just_before_the_next_minute_and_its_tick", 50750 + 1499, nullptr, true},
                      ReadRow{"after_the_next_tick_was_due", 50750 + 1501, nullptr, false},
                      // The clock was set back an hour: a title "valid" for an hour ahead is not believed.
                      ReadRow{"clock_set_back", -3600000, nullptr, false},
                      ReadRow{"another_zone", 0, "TZ=Asia/Tokyo\x1f", false},
                      ReadRow{"unset_zone", 0, "TZ\x1f", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TitleCache, damagedForeignAndSpecialFilesAreNotBelieved)
{
    QTemporaryDir dir;
    const std::string env = "TZ=Europe/London\x1f";
    const std::string file = dir.filePath(QStringLiteral("title")).toStdString();
    const auto writeRaw = [&](const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
        ::chmod(file.c_str(), 0600);
    };
    const std::string good = cache::encode({"14:05", kNow + 1000, env});
    ASSERT_TRUE(cache::decode(good).has_value());

    for (const std::string& bad : {std::string(),
                                   good.substr(0, good.size() - 1),
                                   std::string("garbage\n"),
                                   good + "extra line\n",
                                   std::string(good).replace(0, 6, "other-"),
                                   cache::encode({"14:05", kNow, env}).replace(26, 1, "x")}) {
        writeRaw(bad);
        EXPECT_EQ(cache::readCurrent(file, env, kNow), std::nullopt) << bad;
    }
    // Writable by others: anybody could have put a title there.
    writeRaw(good);
    ::chmod(file.c_str(), 0622);
    EXPECT_EQ(cache::readCurrent(file, env, kNow), std::nullopt);
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(cache::readCurrent(file, env, kNow), std::optional<std::string>("14:05"));
    // A FIFO in its place is never opened for a blocking read.
    ::unlink(file.c_str());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(cache::readCurrent(file, env, kNow), std::nullopt);
    // A title that would break the file's lines is not written.
    EXPECT_FALSE(cache::write(dir.filePath(QStringLiteral("other")).toStdString(), {"a\nb", kNow, env}));
    EXPECT_FALSE(cache::write("", {"14:05", kNow, env}));
}

TEST(TitleCache, aRuntimeFolderAnotherUserCouldPlantThingsInIsNotUsed)
{
    const std::string env = "TZ=Europe/London\x1f";
    const cache::Entry entry{"14:05", kNow + 1000, env};
    struct Row {
        const char* name;
        unsigned runtimeMode;
        std::function<void(const std::string& runtime, const std::string& elsewhere)> plant;
        bool used;
    };
    const Row rows[] = {
        {"private", 0700, [](const std::string&, const std::string&) {}, true},
        {"shared_with_a_fifo_for_the_new_title",
         01777,
         [](const std::string& runtime, const std::string&) {
             ASSERT_EQ(::mkdir((runtime + "/kalvix").c_str(), 0777), 0);
             ::chmod((runtime + "/kalvix").c_str(), 0777);
             ASSERT_EQ(::mkfifo((runtime + "/kalvix/title.new").c_str(), 0666), 0);
         },
         false},
        {"link_to_the_users_documents",
         0700,
         [](const std::string& runtime, const std::string& elsewhere) {
             ASSERT_EQ(::symlink(elsewhere.c_str(), (runtime + "/kalvix").c_str()), 0);
         },
         false},
        {"kalvix_folder_open_to_others",
         0700,
         [](const std::string& runtime, const std::string&) {
             ASSERT_EQ(::mkdir((runtime + "/kalvix").c_str(), 0700), 0);
             ::chmod((runtime + "/kalvix").c_str(), 0733);
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const std::string runtime = dir.filePath(QStringLiteral("runtime")).toStdString();
        const std::string documents = dir.filePath(QStringLiteral("Documents")).toStdString();
        ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
        ::chmod(runtime.c_str(), row.runtimeMode);
        ASSERT_EQ(::mkdir(documents.c_str(), 0700), 0);
        std::ofstream(documents + "/title") << "the user's own file\n";
        row.plant(runtime, documents);
        const std::string file = runtime + "/kalvix/title";

        EXPECT_EQ(cache::write(file, entry), row.used); // returns: the FIFO is never opened
        EXPECT_EQ(slurp(documents + "/title"), "the user's own file\n");
        EXPECT_EQ(cache::readCurrent(file, env, kNow).has_value(), row.used);
        struct stat info {};
        if (::lstat((runtime + "/kalvix/title.new").c_str(), &info) == 0) {
            EXPECT_TRUE(S_ISFIFO(info.st_mode)); // the planted one, left as it was
        }
    }
}

TEST(TitlePublisher, writesEachNewTitleAndRemovesTheFileAtTheEnd)
{
    test::testApplication();
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("kalvix/title")).toStdString();
    test::TestContext fakes(Instant{test::utcSeconds(2026, 7, 5, 14, 5, 9)});
    {
        TitlePublisher publisher(fakes.context().clock, file);
        const std::int64_t now = fakes.context().clock.now().toMSecs();
        EXPECT_EQ(cache::readCurrent(file, cache::environmentKey(), now),
                  std::optional<std::string>("Sun, 5 Jul 2026 15:05"));
        struct stat info {};
        ASSERT_EQ(::stat(dir.filePath(QStringLiteral("kalvix")).toLocal8Bit().constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);

        fakes.advance(60);
        EXPECT_EQ(cache::readCurrent(file, cache::environmentKey(), now + kMinute),
                  std::optional<std::string>("Sun, 5 Jul 2026 15:06"));
        // With seconds in the title, the file is current for one second only.
        fakes.prefs.set(Pref::showSeconds, true);
        fakes.advance(1);
        const std::int64_t later = fakes.context().clock.now().toMSecs();
        EXPECT_TRUE(cache::readCurrent(file, cache::environmentKey(), later).has_value());
        EXPECT_FALSE(cache::readCurrent(file, cache::environmentKey(), later + 3000).has_value());
    }
    EXPECT_EQ(slurp(file), "");
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
}

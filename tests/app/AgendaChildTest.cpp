// The agenda command's reader in a child process: its answer comes through whole, it reads nothing
// when the running Kalvix answered, and a reader stuck for ever (as one on a hung mount is) costs
// the command its bound, not its return.
#include "app/AgendaChild.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kalvix;

TEST(AgendaChild, aReadersAnswerComesThroughWholeWithItsStatus)
{
    // Larger than a pipe's buffer, with line breaks and non-ASCII text.
    const QString longText = QStringLiteral("Résumé review\n").repeated(20000);
    auto reader = AgendaChild::start([&](int waitMs) {
        return std::pair{QString(longText + QString::number(waitMs)), 2};
    });
    ASSERT_TRUE(reader.has_value());
    const auto answer = reader->read(1234);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->first, QString(longText + QStringLiteral("1234")));
    EXPECT_EQ(answer->second, 2);
    // Reaped once it answered, so that its cost counts with the command's.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(AgendaChild, aDismissedReaderReadsNothing)
{
    QTemporaryDir dir;
    const QByteArray marker = dir.filePath(QStringLiteral("read")).toLocal8Bit();
    auto reader = AgendaChild::start([&](int) {
        ::close(::open(marker.constData(), O_CREAT | O_WRONLY, 0600));
        return std::pair{QString(), 0};
    });
    ASSERT_TRUE(reader.has_value());
    reader->dismiss(); // waits for the reader to end
    EXPECT_NE(::access(marker.constData(), F_OK), 0);
}

TEST(AgendaChild, aReaderThatNeverAnswersCostsTheBoundNotTheReturn)
{
    constexpr int kWaitMs = 50;
    constexpr int kMarginMs = 50;
    auto reader = AgendaChild::start(
        [](int) -> std::pair<QString, int> {
            for (;;)
                ::pause();
        },
        kMarginMs);
    ASSERT_TRUE(reader.has_value());
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(reader->read(kWaitMs).has_value());
    EXPECT_GE(waited.elapsed(), kWaitMs + kMarginMs);
    reader.reset(); // leaves the stuck reader to the system; the test must not hang here
}

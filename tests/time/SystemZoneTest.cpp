// The system zone where /etc/localtime is a copied zone file rather than a link, and where TZ names a
// zone file of its own: zone files copied into a temporary folder stand in for both.
#include "time/SystemZone.h"
#include "tests/support/TestEnv.h"
#include "time/CivilCalendar.h"
#include "time/ZoneFile.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kalvix;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;

namespace {

QByteArray zoneBytes(const char* name)
{
    QFile f(zoneinfoRoot() + u'/' + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ZoneFolder {
public:
    QByteArray write(const char* file, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QLatin1String(file));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path.toLocal8Bit();
    }
    QByteArray path(const char* file) const { return m_dir.filePath(QLatin1String(file)).toLocal8Bit(); }

private:
    QTemporaryDir m_dir;
};

} // namespace

struct CopiedZoneRow {
    const char* name;
    const char* copiedFrom; // a file of the system zoneinfo tree
    const char* hint;       // the name file's text, or none
    const char* expected;
};

class CopiedLocaltime : public ::testing::TestWithParam<CopiedZoneRow> {};

TEST_P(CopiedLocaltime, isNamedByTheZoneWithTheSameBytes)
{
    const CopiedZoneRow& row = GetParam();
    ScopedEnv tz("TZ", nullptr);
    ZoneFolder folder;
    const QByteArray bytes = zoneBytes(row.copiedFrom);
    ASSERT_FALSE(bytes.isEmpty()) << row.copiedFrom;
    const QByteArray localtime = folder.write("localtime", bytes);
    const QByteArray hint = row.hint ? folder.write("timezone", QByteArray(row.hint) + '\n') : folder.path("none");
    EXPECT_EQ(systemZone(localtime.constData(), hint.constData()).id(), QByteArray(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Copies,
    CopiedLocaltime,
    ::testing::Values(CopiedZoneRow{"tokyo", "Asia/Tokyo", nullptr, "Asia/Tokyo"},
                      CopiedZoneRow{"link_name_gives_the_canonical_zone", "GB", nullptr, "Europe/London"},
                      CopiedZoneRow{"utc", "UTC", nullptr, "Etc/UTC"},
                      CopiedZoneRow{"kathmandu", "Asia/Kathmandu", nullptr, "Asia/Kathmandu"},
                      CopiedZoneRow{"hint_with_the_same_bytes_is_kept", "Europe/London", "GB", "GB"},
                      CopiedZoneRow{"stale_hint_is_ignored", "America/Sao_Paulo", "Europe/Paris", "America/Sao_Paulo"},
                      CopiedZoneRow{"hostile_hint_is_ignored", "Asia/Tokyo", "../../../etc/passwd", "Asia/Tokyo"},
                      CopiedZoneRow{"leap_second_variant", "right/Europe/Berlin", nullptr, "Europe/Berlin"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SystemZone, aZoneFileOfItsOwnIsReadByItsClosingRule)
{
    ScopedEnv tz("TZ", nullptr);
    ZoneFolder folder;
    QByteArray bytes = zoneBytes("Europe/Berlin");
    ASSERT_GT(bytes.size(), 100);
    bytes[60] = static_cast<char>(bytes[60] ^ 0x55); // one transition moved: no system file matches
    const QByteArray localtime = folder.write("localtime", bytes);
    const QTimeZone zone = systemZone(localtime.constData(), folder.path("none").constData());
    EXPECT_EQ(zone.id(), QByteArray("CET-1CEST,M3.5.0,M10.5.0/3"));
    const CivilCalendar cal(zone);
    EXPECT_EQ(cal.offsetAt(Instant{utcSeconds(2030, 7, 1)}), 7200);
    EXPECT_EQ(cal.offsetAt(Instant{utcSeconds(2030, 1, 1)}), 3600);
}

TEST(SystemZone, whatIsNoZoneFileGivesUtcWithoutBlocking)
{
    ScopedEnv tz("TZ", nullptr);
    ZoneFolder folder;
    const QByteArray none = folder.path("none");
    const QByteArray text = folder.write("text", "Europe/Paris\n");
    EXPECT_EQ(systemZone(text.constData(), none.constData()), QTimeZone::utc());
    const QByteArray empty = folder.write("empty", QByteArray());
    EXPECT_EQ(systemZone(empty.constData(), none.constData()), QTimeZone::utc());
    // A FIFO in its place is never opened (an open would wait for a writer for ever).
    const QByteArray fifo = folder.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_EQ(systemZone(fifo.constData(), none.constData()), QTimeZone::utc());
    // No file at all: the name file alone still names the zone.
    const QByteArray named = folder.write("timezone", "Asia/Kolkata\n");
    EXPECT_EQ(systemZone(folder.path("missing").constData(), named.constData()).id(), QByteArray("Asia/Kolkata"));
}

TEST(SystemZone, aCopiedFileReplacedInPlaceShowsAtTheNextCall)
{
    ScopedEnv tz("TZ", nullptr);
    ZoneFolder folder;
    const QByteArray none = folder.path("none");
    const QByteArray localtime = folder.write("localtime", zoneBytes("Asia/Tokyo"));
    EXPECT_EQ(systemZone(localtime.constData(), none.constData()).id(), QByteArray("Asia/Tokyo"));
    folder.write("localtime", zoneBytes("Europe/Paris"));
    EXPECT_EQ(systemZone(localtime.constData(), none.constData()).id(), QByteArray("Europe/Paris"));
}

struct TzRow {
    const char* name;
    const char* tz; // "%s" is replaced by the path of a copy of Australia/Sydney
    const char* expected;
};

class TzNamingAFile : public ::testing::TestWithParam<TzRow> {};

TEST_P(TzNamingAFile, isReadLikeTheCLibraryReadsIt)
{
    const TzRow& row = GetParam();
    ZoneFolder folder;
    const QByteArray copy = folder.write("my zone", zoneBytes("Australia/Sydney"));
    const QByteArray value = QByteArray(row.tz).replace("%s", copy);
    ScopedEnv tz("TZ", value.constData());
    EXPECT_EQ(systemZone().id(), QByteArray(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values,
    TzNamingAFile,
    ::testing::Values(TzRow{"path_of_a_copy", "%s", "Australia/Sydney"},
                      TzRow{"colon_path_of_a_copy", ":%s", "Australia/Sydney"},
                      TzRow{"colon_name", ":Europe/Paris", "Europe/Paris"},
                      TzRow{"path_into_the_tree", "/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"},
                      TzRow{"colon_path_into_the_tree", ":/usr/share/zoneinfo/posix/Asia/Tokyo", "Asia/Tokyo"},
                      TzRow{"posix_rule", "JST-9", "JST-9"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SystemZone, aTzNamingNoReadableFileIsUtcAsForTheCLibrary)
{
    ZoneFolder folder;
    const QByteArray none = folder.path("none");
    const QByteArray localtime = folder.write("localtime", zoneBytes("Asia/Tokyo"));
    for (const QByteArray& value :
         {QByteArray(":"), QByteArray(":" + folder.path("missing")), folder.path("missing")}) {
        ScopedEnv tz("TZ", value.constData());
        EXPECT_EQ(kalvix::systemZone(localtime.constData(), none.constData()).id(), QByteArray("UTC"))
            << value.constData();
    }
    ScopedEnv tz("TZ", "Mars/Olympus_Mons"); // a name the database lacks: the system's zone, as documented
    EXPECT_EQ(kalvix::systemZone(localtime.constData(), none.constData()).id(), QByteArray("Asia/Tokyo"));
}

#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "calendar/CalendarService.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"

#include <QSignalSpy>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

// Wednesday 5 March 2025, 10:00 in London.
const Instant kNow = local(2025, 3, 5, 10, 0);

QByteArray calendar(const QByteArray& body, const QByteArray& header = {})
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + header + body + "END:VCALENDAR\r\n";
}

QByteArray vevent(const QByteArray& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    std::unique_ptr<IcalCalendarStore> load(QStringList sources, bool* granted = nullptr)
    {
        IcalCalendarStore::Options options;
        options.time = &m_time;
        // Loads and months ahead run at once on this thread; the result arrives on the next turn.
        options.executor = [](std::function<void()> task) { task(); };
        auto store = std::make_unique<IcalCalendarStore>(std::move(sources), options);
        std::optional<bool> answer;
        store->requestFullAccess([&](bool g) { answer = g; });
        QCoreApplication::processEvents();
        EXPECT_TRUE(answer.has_value());
        if (granted)
            *granted = answer.value_or(false);
        return store;
    }

    std::unique_ptr<IcalCalendarStore> loadOne(const QByteArray& text)
    {
        writeFile(path(u"cal.ics"_qs), text);
        return load({path(u"cal.ics"_qs)});
    }

    QTemporaryDir m_dir;
    FakeTimeSource m_time{kNow};
};

// The event's UID, without the calendar that qualifies it.
QString uidOf(const CalendarOccurrence& o)
{
    const QString id = o.identifier.value_or(QString());
    return id.mid(id.lastIndexOf(QLatin1Char('#')) + 1);
}

std::vector<CalendarOccurrence> sorted(std::vector<CalendarOccurrence> v)
{
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    return v;
}

std::vector<double> startsOf(const IcalCalendarStore& store, Instant from, Instant to)
{
    std::vector<double> out;
    for (const auto& o : sorted(store.occurrences(from, to)))
        out.push_back(o.start.seconds);
    return out;
}

} // namespace

// ---- time zones and recurrence -----------------------------------------------------------------

struct DstRow {
    const char* name;
    const char* tzid;
    const char* zone;
    int firstDay; // in March 2025, a week before the change
};

class WeeklyAcrossDst : public StoreTest, public ::testing::WithParamInterface<DstRow> {};

TEST_P(WeeklyAcrossDst, keepsItsWallClockTime)
{
    const auto& r = GetParam();
    const QByteArray day = QByteArray::number(r.firstDay).rightJustified(2, '0');
    auto store = loadOne(calendar(vevent("UID:weekly\r\nSUMMARY:Sync\r\nDTSTART;TZID=" + QByteArray(r.tzid) +
                                         ":202503" + day + "T090000\r\nDTEND;TZID=" + QByteArray(r.tzid) + ":202503" +
                                         day + "T093000\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n")));
    const auto occ = sorted(store->occurrences(local(2025, 3, 1), local(2025, 5, 1)));
    ASSERT_EQ(occ.size(), 4u);
    const CivilCalendar zone(QTimeZone(QByteArray(r.zone)));
    for (const auto& o : occ) {
        EXPECT_EQ(zone.timeOf(o.start)->hour, 9);
        EXPECT_EQ(zone.timeOf(o.start)->minute, 0);
        EXPECT_EQ(o.end - o.start, 1800.0);
        EXPECT_EQ(uidOf(o), u"weekly"_qs);
    }
    EXPECT_NE(zone.offsetAt(occ.front().start), zone.offsetAt(occ.back().start)) << "the rows must cross a change";
}

INSTANTIATE_TEST_SUITE_P(
    Zones,
    WeeklyAcrossDst,
    ::testing::Values(
        DstRow{"london_spring_forward", "Europe/London", "Europe/London", 23},
        DstRow{"new_york_spring_forward", "America/New_York", "America/New_York", 2},
        DstRow{"vendor_prefixed_new_york", "/mozilla.org/20050126_1/America/New_York", "America/New_York", 2},
        DstRow{"windows_name_for_new_york", "Eastern Standard Time", "America/New_York", 2}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(StoreTest, embeddedTimezoneWithAnUnknownNameIsUsed)
{
    const QByteArray zone = "BEGIN:VTIMEZONE\r\nTZID:Custom Eastern\r\n"
                            "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
                            "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
                            "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
                            "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    auto store = loadOne(calendar(vevent("UID:e\r\nDTSTART;TZID=Custom Eastern:20250303T090000\r\n"
                                         "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n"),
                                  zone));
    EXPECT_EQ(startsOf(*store, local(2025, 3, 1), local(2025, 4, 1)),
              (std::vector<double>{utcSeconds(2025, 3, 3, 14), utcSeconds(2025, 3, 10, 13)}));
}

TEST_F(StoreTest, floatingUtcUnknownZoneAndDuration)
{
    auto store = loadOne(calendar(vevent("UID:floating\r\nDTSTART:20250310T090000\r\nDTEND:20250310T100000\r\n") +
                                  vevent("UID:utc\r\nDTSTART:20250310T090000Z\r\nDURATION:PT45M\r\n") +
                                  vevent("UID:unknown\r\nDTSTART;TZID=Mars/Olympus:20250310T120000\r\n"
                                         "DURATION:P1DT2H\r\n") +
                                  vevent("UID:summer\r\nDTSTART:20250710T090000\r\n")));
    std::map<QString, CalendarOccurrence> byUid;
    for (const auto& o : store->occurrences(local(2025, 3, 1), local(2025, 8, 1)))
        byUid.emplace(uidOf(o), o);
    ASSERT_EQ(byUid.size(), 4u);
    EXPECT_EQ(byUid[u"floating"_qs].start, local(2025, 3, 10, 9));
    EXPECT_EQ(byUid[u"utc"_qs].end, Instant{utcSeconds(2025, 3, 10, 9, 45)});
    EXPECT_EQ(byUid[u"unknown"_qs].start, local(2025, 3, 10, 12)) << "an unknown TZID reads as floating";
    EXPECT_EQ(byUid[u"unknown"_qs].end, local(2025, 3, 11, 14));
    EXPECT_EQ(byUid[u"summer"_qs].start, local(2025, 7, 10, 9)) << "floating in summer time";
    EXPECT_EQ(byUid[u"summer"_qs].end, byUid[u"summer"_qs].start) << "no DTEND and no DURATION: zero length";
}

TEST_F(StoreTest, untilInUtcIsComparedInTheEventsOwnZone)
{
    // 09:00 New York is 14:00 UTC in winter; UNTIL at 14:00 UTC on the 6th includes that day and stops.
    auto store = loadOne(calendar(vevent("UID:u\r\nDTSTART;TZID=America/New_York:20250303T090000\r\n"
                                         "RRULE:FREQ=DAILY;UNTIL=20250306T140000Z\r\n")));
    EXPECT_EQ(startsOf(*store, local(2025, 3, 1), local(2025, 4, 1)).size(), 4u);
}

TEST_F(StoreTest, exdateRdateAndMovedOverride)
{
    auto store = loadOne(
        calendar(vevent("UID:team\r\nSUMMARY:Team\r\nDTSTART;TZID=Europe/London:20250303T100000\r\nDURATION:PT1H\r\n"
                        "RRULE:FREQ=WEEKLY;COUNT=5\r\nEXDATE;TZID=Europe/London:20250310T100000\r\n"
                        "RDATE;TZID=Europe/London:20250305T150000\r\n")
                 // The 17 March occurrence moves to Wednesday the 19th at 11:00.
                 + vevent("UID:team\r\nSUMMARY:Team (moved)\r\nRECURRENCE-ID;TZID=Europe/London:20250317T100000\r\n"
                          "DTSTART;TZID=Europe/London:20250319T110000\r\nDURATION:PT1H\r\n")));
    std::vector<std::pair<double, QString>> seen;
    for (const auto& o : sorted(store->occurrences(local(2025, 3, 1), local(2025, 5, 1))))
        seen.emplace_back(o.start.seconds, *o.title);
    const std::vector<std::pair<double, QString>> expected{
        {local(2025, 3, 3, 10).seconds, u"Team"_qs},
        {local(2025, 3, 5, 15).seconds, u"Team"_qs},
        {local(2025, 3, 19, 11).seconds, u"Team (moved)"_qs},
        {local(2025, 3, 24, 10).seconds, u"Team"_qs},
        {local(2025, 3, 31, 10).seconds, u"Team"_qs},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(StoreTest, overrideInAnotherVdirItemOrderStillReplacesTheOriginal)
{
    // The override comes first in the file and the master's RECURRENCE-ID is given in UTC.
    auto store = loadOne(calendar(
        vevent("UID:x\r\nRECURRENCE-ID:20250310T100000Z\r\nDTSTART:20250311T100000Z\r\nSUMMARY:moved\r\n") +
        vevent("UID:x\r\nDTSTART;TZID=Europe/London:20250303T100000\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:s\r\n")));
    EXPECT_EQ(startsOf(*store, local(2025, 3, 1), local(2025, 4, 1)),
              (std::vector<double>{
                  local(2025, 3, 3, 10).seconds, local(2025, 3, 11, 10).seconds, local(2025, 3, 17, 10).seconds}));
}

TEST_F(StoreTest, allDayEventsUseDatesWithExclusiveEnd)
{
    auto store = loadOne(
        calendar(vevent("UID:three\r\nDTSTART;VALUE=DATE:20250310\r\nDTEND;VALUE=DATE:20250313\r\nSUMMARY:Trip\r\n") +
                 vevent("UID:one\r\nDTSTART;VALUE=DATE:20250330\r\nSUMMARY:Clocks change\r\n") +
                 vevent("UID:dur\r\nDTSTART;VALUE=DATE:20250401\r\nDURATION:P2D\r\n") +
                 vevent("UID:yearly\r\nDTSTART;VALUE=DATE:19800306\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:Birthday\r\n")));
    std::map<QString, CalendarOccurrence> byUid;
    for (const auto& o : store->occurrences(local(2025, 3, 1), local(2025, 5, 1)))
        byUid.emplace(uidOf(o), o);
    ASSERT_EQ(byUid.size(), 4u);
    EXPECT_TRUE(byUid[u"three"_qs].isAllDay);
    EXPECT_EQ(byUid[u"three"_qs].start, local(2025, 3, 10));
    EXPECT_EQ(byUid[u"three"_qs].end, local(2025, 3, 13));
    EXPECT_EQ(byUid[u"one"_qs].end - byUid[u"one"_qs].start, 23 * 3600.0) << "one day, DST night included";
    EXPECT_EQ(byUid[u"dur"_qs].end, local(2025, 4, 3));
    EXPECT_EQ(byUid[u"yearly"_qs].start, local(2025, 3, 6));

    FakeTimeSource time(kNow);
    CalendarService service(*store, time);
    for (int day : {10, 11, 12})
        EXPECT_TRUE(service.monthDots().contains(local(2025, 3, day))) << day;
    EXPECT_FALSE(service.monthDots().contains(local(2025, 3, 13)));
}

TEST_F(StoreTest, missingUidAndSummaryGiveFreshIdsAndUntitled)
{
    auto store = loadOne(calendar(vevent("DTSTART:20250305T140000\r\nDTEND:20250305T150000\r\n")));
    FakeTimeSource time(kNow);
    CalendarService service(*store, time);
    ASSERT_EQ(service.upNext().size(), 1);
    EXPECT_EQ(service.upNext()[0].title, QStringLiteral("Untitled"));
    const QString firstId = service.upNext()[0].id;
    store->changed();
    processQueued();
    ASSERT_EQ(service.upNext().size(), 1);
    EXPECT_NE(service.upNext()[0].id, firstId);
}

TEST_F(StoreTest, queriesFarOutsideTheLoadWindowStillExpandRules)
{
    auto store = loadOne(calendar(vevent("UID:w\r\nDTSTART;TZID=Europe/London:20250303T090000\r\n"
                                         "RRULE:FREQ=WEEKLY;BYDAY=MO\r\n") +
                                  vevent("UID:c\r\nDTSTART:20250303T090000Z\r\nRRULE:FREQ=DAILY;COUNT=3000\r\n")));
    // June 2031: Mondays at 09:00 BST, plus the daily COUNT rule which runs into 2033.
    const auto starts = startsOf(*store, local(2031, 6, 1), local(2031, 7, 1));
    EXPECT_EQ(starts.size(), 5u + 30u);
    EXPECT_EQ(std::count(starts.begin(), starts.end(), local(2031, 6, 2, 9).seconds), 1);
    // And back in time, before the window (the weekly rule only starts in 2025).
    EXPECT_TRUE(startsOf(*store, local(2020, 1, 1), local(2020, 2, 1)).empty());
}

// ---- calendars and sources ---------------------------------------------------------------------

TEST_F(StoreTest, vdirColourAndNameThenCalendarPropertiesThenPalette)
{
    writeFile(path(u"cals/work/a.ics"_qs), calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    writeFile(path(u"cals/work/b.ics"_qs), calendar(vevent("UID:b\r\nDTSTART:20250311T090000Z\r\n")));
    writeFile(path(u"cals/work/color"_qs), "#00ff00\n");
    writeFile(path(u"cals/work/displayname"_qs), "Work\n");
    writeFile(path(u"cals/apple/x.ics"_qs),
              calendar(vevent("UID:x\r\nDTSTART:20250312T090000Z\r\n"),
                       "X-WR-CALNAME:Family\r\nX-APPLE-CALENDAR-COLOR:#FF0000FF\r\n"));
    writeFile(path(u"cals/plain/p.ics"_qs), calendar(vevent("UID:p\r\nDTSTART:20250313T090000Z\r\n")));
    auto store = load({path(u"cals"_qs)});
    std::map<QString, CalendarInfo> byName;
    for (const auto& c : store->calendars())
        byName.emplace(c.name, c);
    ASSERT_EQ(byName.size(), 3u);
    EXPECT_EQ(byName[u"Work"_qs].color, (CalendarColor{0, 255, 0, 255}));
    EXPECT_EQ(byName[u"Work"_qs].events, 2);
    EXPECT_EQ(byName[u"Family"_qs].color, (CalendarColor{255, 0, 0, 255}));
    EXPECT_TRUE(byName.count(u"plain"_qs));
    for (const auto& o : store->occurrences(local(2025, 3, 10), local(2025, 3, 11)))
        EXPECT_EQ(o.color, (CalendarColor{0, 255, 0, 255}));
}

TEST_F(StoreTest, overlappingSourcesReadEachCalendarOnce)
{
    writeFile(path(u"cals/work/a.ics"_qs), calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({path(u"cals"_qs), path(u"cals/work"_qs)});
    EXPECT_EQ(store->occurrences(local(2025, 3, 1), local(2025, 4, 1)).size(), 1u);
}

TEST_F(StoreTest, accessIsGrantedWithMissingSourcesAndTheStatusIsFinalAfterLoading)
{
    bool granted = false;
    auto store = load({path(u"nowhere"_qs)}, &granted);
    EXPECT_TRUE(granted);
    EXPECT_EQ(store->accessStatus(), CalendarAccess::fullAccess);
    EXPECT_TRUE(store->occurrences(local(2025, 1, 1), local(2026, 1, 1)).empty());
}

TEST_F(StoreTest, unreadableSourcesDenyAccess)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    writeFile(path(u"locked/a.ics"_qs), calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    ::chmod(QFile::encodeName(path(u"locked"_qs)).constData(), 0);
    bool granted = true;
    auto store = load({path(u"locked"_qs)}, &granted);
    ::chmod(QFile::encodeName(path(u"locked"_qs)).constData(), 0700);
    EXPECT_FALSE(granted);
    EXPECT_EQ(store->accessStatus(), CalendarAccess::denied);
    EXPECT_EQ(store->unreadableSource(), path(u"locked"_qs));
}

// ---- calendars of a service beside the files ---------------------------------------------------

// A service's calendars as the feed hands them over, set by the test.
class FakeFeed final : public CalendarFeed {
public:
    bool ready() const override { return m_ready; }
    std::vector<FeedCalendar> calendars() const override { return m_calendars; }
    QStringList servedFiles() const override { return m_served; }

    void publish(bool ready, std::vector<FeedCalendar> calendars, QStringList served = {})
    {
        m_ready = ready;
        m_calendars = std::move(calendars);
        m_served = std::move(served);
        Q_EMIT changed();
    }

private:
    bool m_ready = false;
    std::vector<FeedCalendar> m_calendars;
    QStringList m_served;
};

FeedCalendar feedCalendar(const char* name, const QByteArray& text, const char* problem = "")
{
    static std::uint64_t revisions = 0;
    FeedCalendar out;
    out.id = QStringLiteral("service:") + QString::fromUtf8(name);
    out.name = QString::fromUtf8(name);
    out.color = CalendarColor::fromName(u"#2ec27e");
    out.revision = ++revisions;
    if (!text.isEmpty())
        out.text = std::make_shared<const QByteArray>(text);
    out.problem = QString::fromUtf8(problem);
    return out;
}

struct FeedRow {
    const char* name;
    std::vector<FeedCalendar> feed;
    bool fileServed; // the file source is one the service serves itself
    CalendarAccess access;
    QStringList titles;
};

class ServiceCalendars : public StoreTest, public ::testing::WithParamInterface<FeedRow> {};

TEST_P(ServiceCalendars, mergeWithTheFilesAndSettleAccessOnlyOnceTheServiceHasAnswered)
{
    const FeedRow& row = GetParam();
    const QByteArray lunch = calendar(vevent("UID:lunch\r\nSUMMARY:Lunch\r\nDTSTART:20250306T120000Z\r\n"
                                             "DTEND:20250306T130000Z\r\n"));
    writeFile(path(u"evolution.ics"_qs), lunch);
    const QStringList sources = row.fileServed ? QStringList{path(u"evolution.ics"_qs)} : QStringList{};
    FakeFeed feed;
    IcalCalendarStore::Options options;
    options.time = &m_time;
    options.executor = [](std::function<void()> task) { task(); };
    options.feed = &feed;
    IcalCalendarStore store(sources, options);
    std::optional<bool> granted;
    store.requestFullAccess([&](bool g) { granted = g; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(granted.has_value()) << "access waits for the service's first answer";
    EXPECT_EQ(store.accessStatus(), CalendarAccess::notDetermined);

    feed.publish(true, row.feed, row.fileServed ? QStringList{path(u"evolution.ics"_qs)} : QStringList{});
    QCoreApplication::processEvents();
    EXPECT_EQ(store.accessStatus(), row.access);
    QStringList titles;
    for (const CalendarOccurrence& o : store.occurrences(kNow, kNow + 7 * 86400.0))
        titles << o.title.value_or(QString());
    titles.sort();
    EXPECT_EQ(titles, row.titles);
    QStringList problems;
    for (const CalendarInfo& c : store.calendars()) {
        if (!c.problem.isEmpty())
            problems << c.name + u": "_qs + c.problem;
    }
    for (const FeedCalendar& c : row.feed)
        EXPECT_EQ(problems.contains(c.name + u": "_qs + c.problem), !c.problem.isEmpty()) << c.name.toStdString();
}

const QByteArray kReview = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review\r\n"
                           "DTSTART:20250307T150000Z\r\nDTEND:20250307T160000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
const QByteArray kLunch = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:lunch\r\nSUMMARY:Lunch\r\n"
                          "DTSTART:20250306T120000Z\r\nDTEND:20250306T130000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

INSTANTIATE_TEST_SUITE_P(
    Feed,
    ServiceCalendars,
    ::testing::Values(
        FeedRow{"one_that_reads", {feedCalendar("Team", kReview)}, false, CalendarAccess::fullAccess, {u"Review"_qs}},
        FeedRow{
            "only_one_that_failed", {feedCalendar("Team", {}, "Backend not found")}, false, CalendarAccess::denied, {}},
        FeedRow{"one_failed_beside_one_that_reads",
                {feedCalendar("Broken", {}, "Backend not found"), feedCalendar("Team", kReview)},
                false,
                CalendarAccess::fullAccess,
                {u"Review"_qs}},
        // A calendar still opening when the service answered is not one that cannot be read.
        FeedRow{"only_one_still_opening", {feedCalendar("Slow", {})}, false, CalendarAccess::fullAccess, {}},
        // Evolution's own file, served by the service and also found among the files: read once.
        FeedRow{"a_file_the_service_serves",
                {feedCalendar("Personal", kLunch)},
                true,
                CalendarAccess::fullAccess,
                {u"Lunch"_qs}}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- bad input ---------------------------------------------------------------------------------

TEST_F(StoreTest, badFilesAndEventsAreSkippedAndTheRestStillShows)
{
    const QByteArray good = calendar(vevent("UID:good\r\nSUMMARY:Good\r\nDTSTART:20250310T090000Z\r\n"));
    writeFile(path(u"src/good.ics"_qs), good);
    writeFile(path(u"src/truncated.ics"_qs),
              good.left(good.size() / 2 + 10) + calendar(vevent("UID:cut\r\nDTSTART:2025")).left(80));
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    writeFile(path(u"src/garbage.ics"_qs), garbage);
    writeFile(path(u"src/empty.ics"_qs), "");
    writeFile(
        path(u"src/events.ics"_qs),
        calendar(
            vevent("UID:bad-date\r\nDTSTART:20250231T090000Z\r\n") +
            vevent("UID:bad-month\r\nDTSTART:20251301T090000\r\n") + vevent("UID:no-start\r\nSUMMARY:x\r\n") +
            vevent("UID:bad-rule\r\nDTSTART:20250310T090000Z\r\nRRULE:FREQ=SOMETIMES\r\n") +
            vevent("UID:secondly\r\nDTSTART:20250101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n") +
            vevent("UID:huge-count\r\nDTSTART:19000101T000000Z\r\nRRULE:FREQ=MINUTELY;COUNT=999999999\r\n") +
            vevent("UID:never-matches\r\nDTSTART:20250101T090000Z\r\nRRULE:FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30\r\n") +
            vevent("UID:endless\r\nSUMMARY:Endless\r\nDTSTART:20250101T090000Z\r\nRRULE:FREQ=DAILY\r\n") +
            vevent("UID:end-before-start\r\nDTSTART:20250310T120000Z\r\nDTEND:20250310T110000Z\r\n") +
            "BEGIN:VEVENT\r\nUID:unclosed\r\nDTSTART:20250310T090000Z\r\n"));
    QDir().mkpath(path(u"src/folder.ics"_qs));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u"src/pipe.ics"_qs)).constData(), 0600), 0);

    auto store = load({path(u"src"_qs)});
    std::map<QString, int> count;
    for (const auto& o : store->occurrences(local(2025, 3, 10), local(2025, 3, 11)))
        ++count[uidOf(o)];
    EXPECT_EQ(count[u"good"_qs], 1);
    EXPECT_EQ(count[u"endless"_qs], 1);
    EXPECT_EQ(count[u"end-before-start"_qs], 1);
    EXPECT_EQ(count[u"bad-rule"_qs], 1) << "a rule libical cannot read leaves the event as a single occurrence";
    for (const char* dropped : {"bad-date", "bad-month", "secondly", "huge-count", "never-matches"})
        EXPECT_EQ(count.count(QString::fromUtf8(dropped)), 0u) << dropped;
    // The endless rule goes on far beyond the load window.
    EXPECT_EQ(store->occurrences(local(2040, 3, 10), local(2040, 3, 11)).size(), 1u);
}

// The file watcher's own reports (inotify queues them as the files change, so the next turn of the
// loop delivers them); the settle window is ended through its seam.
TEST_F(StoreTest, aSourceFolderThatDisappearsAndComesBackIsAnnouncedEachTime)
{
    const QString folder = path(u"cals/work"_qs);
    writeFile(folder + u"/a.ics"_qs, calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({folder});
    QCoreApplication::processEvents(); // the watcher takes its paths
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    const auto count = [&] { return store->occurrences(local(2025, 3, 1), local(2025, 4, 1)).size(); };
    ASSERT_EQ(count(), 1u);

    QDir(folder).removeRecursively();
    QCoreApplication::processEvents();
    ASSERT_TRUE(store->changePending());
    store->settleNow();
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(count(), 0u);
    QCoreApplication::processEvents(); // the parent folder is watched now

    writeFile(folder + u"/a.ics"_qs, calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    writeFile(folder + u"/b.ics"_qs, calendar(vevent("UID:b\r\nDTSTART:20250311T090000Z\r\n")));
    QCoreApplication::processEvents();
    ASSERT_TRUE(store->changePending());
    store->settleNow();
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(count(), 2u);
}

TEST_F(StoreTest, aBurstOfRewritesSettlesIntoOneChange)
{
    writeFile(path(u"cal.ics"_qs), calendar(vevent("UID:a\r\nSUMMARY:v0\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({path(u"cal.ics"_qs)});
    QCoreApplication::processEvents();
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    QSignalSpy loaded(store.get(), &IcalCalendarStore::loaded);
    for (int i = 1; i <= 5; ++i) {
        writeFile(path(u"cal.ics"_qs),
                  calendar(vevent("UID:a\r\nSUMMARY:v" + QByteArray::number(i) + "\r\nDTSTART:20250310T090000Z\r\n")));
        QCoreApplication::processEvents();
        EXPECT_TRUE(store->changePending()) << i;
    }
    EXPECT_EQ(loaded.count(), 0) << "nothing is read while the window lasts";
    store->settleNow();
    QCoreApplication::processEvents();
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(store->changePending());
    const auto occ = store->occurrences(local(2025, 3, 10), local(2025, 3, 11));
    ASSERT_EQ(occ.size(), 1u);
    EXPECT_EQ(occ[0].title, std::optional<QString>(u"v5"_qs));
}

// ---- expansion outside the load window ---------------------------------------------------------

namespace {

// Recurring events that meet the edges of months (which the store expands on demand) in every way
// that has gone wrong before: overrides moved across a month end, exclusions, DST, all-day and long
// events, count-limited and ending rules, and an embedded zone.
QByteArray monthEdgeCalendar()
{
    const QByteArray custom = "BEGIN:VTIMEZONE\r\nTZID:Custom Eastern\r\n"
                              "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
                              "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
                              "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
                              "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    return calendar(
        // Midnight UTC on the 1st of every month is exactly where a month block begins.
        vevent("UID:first-utc\r\nDTSTART:20240101T000000Z\r\nDURATION:PT30M\r\nRRULE:FREQ=MONTHLY\r\n") +
            // 23:30 on the last day in London is the next UTC month in summer.
            vevent("UID:last-day\r\nDTSTART;TZID=Europe/London:20240131T233000\r\nDURATION:PT2H\r\n"
                   "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1\r\n") +
            vevent("UID:weekly-ny\r\nDTSTART;TZID=America/New_York:20240105T180000\r\nDURATION:PT1H\r\n"
                   "RRULE:FREQ=WEEKLY;BYDAY=FR,SU\r\nEXDATE;TZID=America/New_York:20271231T180000\r\n") +
            // Moved from Sunday 30 May 2027 into June, and from 30 September 2028 into October.
            vevent("UID:weekly-ny\r\nRECURRENCE-ID;TZID=America/New_York:20270530T180000\r\n"
                   "DTSTART;TZID=America/New_York:20270602T090000\r\nDURATION:PT1H\r\nSUMMARY:moved\r\n") +
            vevent("UID:daily\r\nDTSTART;TZID=Europe/London:20240301T083000\r\nDURATION:PT15M\r\n"
                   "RRULE:FREQ=DAILY;UNTIL=20290101T000000Z\r\nEXDATE;TZID=Europe/London:20281031T083000\r\n"
                   "EXDATE;TZID=Europe/London:20281101T083000\r\n") +
            vevent("UID:daily\r\nRECURRENCE-ID;TZID=Europe/London:20280930T083000\r\n"
                   "DTSTART;TZID=Europe/London:20281001T100000\r\nDURATION:PT15M\r\nSUMMARY:moved\r\n") +
            vevent("UID:count\r\nDTSTART:20260720T120000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=40\r\n") +
            vevent("UID:trip\r\nDTSTART;VALUE=DATE:20240129\r\nDTEND;VALUE=DATE:20240204\r\n"
                   "RRULE:FREQ=YEARLY\r\n") +
            vevent("UID:season\r\nDTSTART;VALUE=DATE:20240315\r\nDURATION:P60D\r\nRRULE:FREQ=YEARLY\r\n") +
            vevent("UID:custom\r\nDTSTART;TZID=Custom Eastern:20240102T230000\r\nDURATION:PT3H\r\n"
                   "RRULE:FREQ=WEEKLY;INTERVAL=2\r\n") +
            vevent("UID:extra\r\nDTSTART:20240110T120000Z\r\nRRULE:FREQ=YEARLY;COUNT=2\r\n"
                   "RDATE:20281130T235959Z\r\n"),
        custom);
}

using Seen = std::vector<std::tuple<double, double, QString, QString, bool>>;

Seen seen(const IcalCalendarStore& store, Instant from, Instant to)
{
    Seen out;
    for (const auto& o : store.occurrences(from, to))
        out.emplace_back(
            o.start.seconds, o.end.seconds, o.identifier.value_or(QString()), o.title.value_or(QString()), o.isAllDay);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

class OnDemandExpansion : public StoreTest {
protected:
    // The store under test, and one whose load window reaches over every query, as the reference.
    void SetUp() override
    {
        StoreTest::SetUp();
        writeFile(path(u"cal.ics"_qs), monthEdgeCalendar());
        m_store = load({path(u"cal.ics"_qs)});
        IcalCalendarStore::Options wide;
        wide.time = &m_time;
        wide.loadDaysBefore = 3 * 366;
        wide.loadDaysAfter = 5 * 366;
        m_reference = std::make_unique<IcalCalendarStore>(QStringList{path(u"cal.ics"_qs)}, wide);
        m_reference->loadNow();
    }

    std::unique_ptr<IcalCalendarStore> m_store;
    std::unique_ptr<IcalCalendarStore> m_reference;
};

TEST_F(OnDemandExpansion, everyDayOfFourYearsMatchesAFullExpansion)
{
    // Day by day, so that every query meets a month edge from either side, and then the same again
    // out of order once the months are kept.
    for (int pass = 0; pass < 2; ++pass) {
        for (int day = 0; day < 4 * 365; day += pass == 0 ? 1 : 37) {
            const Instant from = local(2025, 1, 1) + day * 86400.0;
            ASSERT_EQ(seen(*m_store, from, from + 86400.0), seen(*m_reference, from, from + 86400.0))
                << "pass " << pass << ", day " << day;
        }
    }
}

TEST_F(OnDemandExpansion, monthsVisitedBackwardsMatchAFullExpansion)
{
    // Ending rules seen first after their end must still show in the months before it.
    const CivilCalendar calendar = CivilCalendar::current();
    for (int back = 0; back <= 54; ++back) {
        const Instant from = *calendar.addMonths(local(2029, 6, 1), -back);
        const Instant to = *calendar.addMonths(from, 1);
        ASSERT_EQ(seen(*m_store, from, to), seen(*m_reference, from, to)) << back << " months back";
    }
}

struct EdgeRow {
    const char* name;
    Instant from;
    Instant to;
    std::vector<std::pair<Instant, const char*>> wanted; // starts and titles that must appear once
    std::vector<Instant> absent;                         // starts that must not appear
};

class MonthEdges : public OnDemandExpansion, public ::testing::WithParamInterface<EdgeRow> {};

TEST_P(MonthEdges, matchTheFullExpansionAndTheCalendar)
{
    const auto& r = GetParam();
    const Seen got = seen(*m_store, r.from, r.to);
    EXPECT_EQ(got, seen(*m_reference, r.from, r.to));
    for (const auto& [start, title] : r.wanted) {
        const auto count = std::count_if(got.begin(), got.end(), [&](const auto& o) {
            return std::get<0>(o) == start.seconds && std::get<3>(o) == QString::fromUtf8(title);
        });
        EXPECT_EQ(count, 1) << title << " at " << start.seconds;
    }
    for (const Instant start : r.absent) {
        EXPECT_EQ(std::count_if(got.begin(), got.end(), [&](const auto& o) { return std::get<0>(o) == start.seconds; }),
                  0)
            << start.seconds;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Far,
    MonthEdges,
    ::testing::Values(
        EdgeRow{"utc_month_start_belongs_to_one_month",
                Instant{utcSeconds(2027, 8, 31, 12)},
                Instant{utcSeconds(2027, 9, 1, 12)},
                {{Instant{utcSeconds(2027, 9, 1)}, ""}},
                {}},
        EdgeRow{"last_day_late_evening_in_summer_crosses_into_the_next_utc_month",
                local(2028, 6, 30),
                local(2028, 7, 2),
                {{local(2028, 6, 30, 23, 30), ""}},
                {}},
        EdgeRow{"override_moved_forward_across_a_month_end",
                inZone("America/New_York", 2027, 5, 28),
                inZone("America/New_York", 2027, 6, 5),
                {{inZone("America/New_York", 2027, 5, 28, 18), ""},
                 {inZone("America/New_York", 2027, 6, 2, 9), "moved"},
                 {inZone("America/New_York", 2027, 6, 4, 18), ""}},
                {inZone("America/New_York", 2027, 5, 30, 18)}},
        EdgeRow{"override_moved_forward_queried_from_the_later_month_only",
                local(2027, 6, 1, 12),
                local(2027, 6, 3),
                {{inZone("America/New_York", 2027, 6, 2, 9), "moved"}},
                {}},
        EdgeRow{"override_moved_across_a_month_end_in_the_autumn",
                local(2028, 9, 29),
                local(2028, 10, 3),
                {{local(2028, 9, 29, 8, 30), ""},
                 {local(2028, 10, 1, 8, 30), ""},
                 {local(2028, 10, 1, 10), "moved"},
                 {local(2028, 10, 2, 8, 30), ""}},
                {local(2028, 9, 30, 8, 30)}},
        EdgeRow{"exdates_on_both_sides_of_a_month_end_and_the_clock_change",
                local(2028, 10, 29),
                local(2028, 11, 3),
                {{local(2028, 10, 29, 8, 30), ""}, {local(2028, 10, 30, 8, 30), ""}, {local(2028, 11, 2, 8, 30), ""}},
                {local(2028, 10, 31, 8, 30), local(2028, 11, 1, 8, 30)}},
        EdgeRow{"exdate_in_a_later_year",
                inZone("America/New_York", 2027, 12, 26),
                inZone("America/New_York", 2028, 1, 3),
                {{inZone("America/New_York", 2027, 12, 26, 18), ""}, {inZone("America/New_York", 2028, 1, 2, 18), ""}},
                {inZone("America/New_York", 2027, 12, 31, 18)}},
        EdgeRow{"weekly_keeps_its_wall_clock_across_spring_forward",
                inZone("America/New_York", 2029, 3, 8),
                inZone("America/New_York", 2029, 3, 13),
                {{inZone("America/New_York", 2029, 3, 9, 18), ""}, {inZone("America/New_York", 2029, 3, 11, 18), ""}},
                {}},
        EdgeRow{"embedded_zone_late_evening_is_the_next_utc_day_and_month",
                Instant{utcSeconds(2026, 6, 30)},
                Instant{utcSeconds(2026, 7, 2)},
                {{Instant{utcSeconds(2026, 7, 1, 3)}, ""}},
                {}},
        EdgeRow{"count_rule_runs_on_into_the_next_months",
                Instant{utcSeconds(2026, 8, 27)},
                Instant{utcSeconds(2026, 9, 1)},
                {{Instant{utcSeconds(2026, 8, 27, 12)}, ""}, {Instant{utcSeconds(2026, 8, 28, 12)}, ""}},
                {Instant{utcSeconds(2026, 8, 29, 12)}}},
        EdgeRow{"all_day_trip_started_in_the_previous_month_still_shows",
                local(2027, 2, 2),
                local(2027, 2, 3),
                {{local(2027, 1, 29), ""}},
                {}},
        EdgeRow{"sixty_day_season_started_two_months_earlier_still_shows",
                local(2029, 5, 10),
                local(2029, 5, 11),
                {{local(2029, 3, 15), ""}},
                {}},
        EdgeRow{"rdate_a_second_before_a_utc_month_ends",
                Instant{utcSeconds(2028, 11, 30, 23)},
                Instant{utcSeconds(2028, 12, 1, 1)},
                {{Instant{utcSeconds(2028, 11, 30, 23, 59) + 59.0}, ""}, {Instant{utcSeconds(2028, 12, 1)}, ""}},
                {}},
        EdgeRow{"before_the_load_window",
                local(2024, 1, 28),
                local(2024, 2, 6),
                {{local(2024, 1, 29), ""}, {local(2024, 1, 31, 23, 30), ""}, {Instant{utcSeconds(2024, 2, 1)}, ""}},
                {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(OnDemandExpansion, aQueryLongerThanTheKeptMonthsIsExpandedDirectly)
{
    IcalCalendarStore::Options few;
    few.time = &m_time;
    few.cachedMonths = 2;
    IcalCalendarStore store(QStringList{path(u"cal.ics"_qs)}, few);
    store.loadNow();
    // Half a year in one query is more than two months; then month by month, which keeps evicting.
    EXPECT_EQ(seen(store, local(2027, 1, 1), local(2027, 7, 1)),
              seen(*m_reference, local(2027, 1, 1), local(2027, 7, 1)));
    for (int month = 1; month <= 12; ++month) {
        const Instant from = local(2028, month, 1);
        const Instant to = month == 12 ? local(2029, 1, 1) : local(2028, month + 1, 1);
        EXPECT_EQ(seen(store, from, to), seen(*m_reference, from, to)) << month;
    }
    EXPECT_EQ(seen(store, local(2028, 2, 1), local(2028, 3, 1)),
              seen(*m_reference, local(2028, 2, 1), local(2028, 3, 1)));
}

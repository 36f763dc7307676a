#include "platform/IcalCalendarStore.h"
#include "calendar/CalendarService.h"
#include "tests/calendar/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

// Wednesday 5 March 2025, 10:00 in London.
const Instant kNow = local(2025, 3, 5, 10, 0);

QByteArray calendar(const QByteArray& body, const QByteArray& header = {}) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + header + body + "END:VCALENDAR\r\n";
}

QByteArray vevent(const QByteArray& lines) {
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    std::unique_ptr<IcalCalendarStore> load(QStringList sources, bool* granted = nullptr) {
        IcalCalendarStore::Options options;
        options.time = &m_time;
        options.settleMs = 100;
        auto store = std::make_unique<IcalCalendarStore>(std::move(sources), options);
        std::optional<bool> answer;
        store->requestFullAccess([&](bool g) { answer = g; });
        EXPECT_TRUE(waitFor([&] { return answer.has_value(); }));
        if (granted)
            *granted = answer.value_or(false);
        return store;
    }

    std::unique_ptr<IcalCalendarStore> loadOne(const QByteArray& text) {
        writeFile(path(u"cal.ics"_qs), text);
        return load({path(u"cal.ics"_qs)});
    }

    QTemporaryDir m_dir;
    FakeTimeSource m_time{kNow};
};

std::vector<CalendarOccurrence> sorted(std::vector<CalendarOccurrence> v) {
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    return v;
}

std::vector<double> startsOf(const IcalCalendarStore& store, Instant from, Instant to) {
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

TEST_P(WeeklyAcrossDst, keepsItsWallClockTime) {
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
        EXPECT_EQ(o.identifier, std::optional<QString>(u"weekly"_qs));
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

TEST_F(StoreTest, embeddedTimezoneWithAnUnknownNameIsUsed) {
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

TEST_F(StoreTest, floatingUtcUnknownZoneAndDuration) {
    auto store = loadOne(calendar(vevent("UID:floating\r\nDTSTART:20250310T090000\r\nDTEND:20250310T100000\r\n") +
                                  vevent("UID:utc\r\nDTSTART:20250310T090000Z\r\nDURATION:PT45M\r\n") +
                                  vevent("UID:unknown\r\nDTSTART;TZID=Mars/Olympus:20250310T120000\r\n"
                                         "DURATION:P1DT2H\r\n") +
                                  vevent("UID:summer\r\nDTSTART:20250710T090000\r\n")));
    std::map<QString, CalendarOccurrence> byUid;
    for (const auto& o : store->occurrences(local(2025, 3, 1), local(2025, 8, 1)))
        byUid.emplace(*o.identifier, o);
    ASSERT_EQ(byUid.size(), 4u);
    EXPECT_EQ(byUid[u"floating"_qs].start, local(2025, 3, 10, 9));
    EXPECT_EQ(byUid[u"utc"_qs].end, Instant{utcSeconds(2025, 3, 10, 9, 45)});
    EXPECT_EQ(byUid[u"unknown"_qs].start, local(2025, 3, 10, 12)) << "an unknown TZID reads as floating";
    EXPECT_EQ(byUid[u"unknown"_qs].end, local(2025, 3, 11, 14));
    EXPECT_EQ(byUid[u"summer"_qs].start, local(2025, 7, 10, 9)) << "floating in summer time";
    EXPECT_EQ(byUid[u"summer"_qs].end, byUid[u"summer"_qs].start) << "no DTEND and no DURATION: zero length";
}

TEST_F(StoreTest, untilInUtcIsComparedInTheEventsOwnZone) {
    // 09:00 New York is 14:00 UTC in winter; UNTIL at 14:00 UTC on the 6th includes that day and stops.
    auto store = loadOne(calendar(vevent("UID:u\r\nDTSTART;TZID=America/New_York:20250303T090000\r\n"
                                         "RRULE:FREQ=DAILY;UNTIL=20250306T140000Z\r\n")));
    EXPECT_EQ(startsOf(*store, local(2025, 3, 1), local(2025, 4, 1)).size(), 4u);
}

TEST_F(StoreTest, exdateRdateAndMovedOverride) {
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

TEST_F(StoreTest, overrideInAnotherVdirItemOrderStillReplacesTheOriginal) {
    // The override comes first in the file and the master's RECURRENCE-ID is given in UTC.
    auto store = loadOne(calendar(
        vevent("UID:x\r\nRECURRENCE-ID:20250310T100000Z\r\nDTSTART:20250311T100000Z\r\nSUMMARY:moved\r\n") +
        vevent("UID:x\r\nDTSTART;TZID=Europe/London:20250303T100000\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nSUMMARY:s\r\n")));
    EXPECT_EQ(startsOf(*store, local(2025, 3, 1), local(2025, 4, 1)),
              (std::vector<double>{
                  local(2025, 3, 3, 10).seconds, local(2025, 3, 11, 10).seconds, local(2025, 3, 17, 10).seconds}));
}

TEST_F(StoreTest, allDayEventsUseDatesWithExclusiveEnd) {
    auto store = loadOne(
        calendar(vevent("UID:three\r\nDTSTART;VALUE=DATE:20250310\r\nDTEND;VALUE=DATE:20250313\r\nSUMMARY:Trip\r\n") +
                 vevent("UID:one\r\nDTSTART;VALUE=DATE:20250330\r\nSUMMARY:Clocks change\r\n") +
                 vevent("UID:dur\r\nDTSTART;VALUE=DATE:20250401\r\nDURATION:P2D\r\n") +
                 vevent("UID:yearly\r\nDTSTART;VALUE=DATE:19800306\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:Birthday\r\n")));
    std::map<QString, CalendarOccurrence> byUid;
    for (const auto& o : store->occurrences(local(2025, 3, 1), local(2025, 5, 1)))
        byUid.emplace(*o.identifier, o);
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

TEST_F(StoreTest, missingUidAndSummaryGiveFreshIdsAndUntitled) {
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

TEST_F(StoreTest, queriesFarOutsideTheLoadWindowStillExpandRules) {
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

TEST_F(StoreTest, vdirColourAndNameThenCalendarPropertiesThenPalette) {
    writeFile(path(u"cals/work/a.ics"_qs), calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    writeFile(path(u"cals/work/b.ics"_qs), calendar(vevent("UID:b\r\nDTSTART:20250311T090000Z\r\n")));
    writeFile(path(u"cals/work/color"_qs), "#00ff00\n");
    writeFile(path(u"cals/work/displayname"_qs), "Work\n");
    writeFile(path(u"cals/apple/x.ics"_qs),
              calendar(vevent("UID:x\r\nDTSTART:20250312T090000Z\r\n"),
                       "X-WR-CALNAME:Family\r\nX-APPLE-CALENDAR-COLOR:#FF0000FF\r\n"));
    writeFile(path(u"cals/plain/p.ics"_qs), calendar(vevent("UID:p\r\nDTSTART:20250313T090000Z\r\n")));
    auto store = load({path(u"cals"_qs)});
    std::map<QString, IcalCalendarStore::CalendarInfo> byName;
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

TEST_F(StoreTest, overlappingSourcesReadEachCalendarOnce) {
    writeFile(path(u"cals/work/a.ics"_qs), calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({path(u"cals"_qs), path(u"cals/work"_qs)});
    EXPECT_EQ(store->occurrences(local(2025, 3, 1), local(2025, 4, 1)).size(), 1u);
}

TEST_F(StoreTest, accessIsGrantedWithMissingSourcesAndTheStatusIsFinalAfterLoading) {
    bool granted = false;
    auto store = load({path(u"nowhere"_qs)}, &granted);
    EXPECT_TRUE(granted);
    EXPECT_EQ(store->accessStatus(), CalendarAccess::fullAccess);
    EXPECT_TRUE(store->occurrences(local(2025, 1, 1), local(2026, 1, 1)).empty());
}

TEST_F(StoreTest, unreadableSourcesDenyAccess) {
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

// ---- bad input ---------------------------------------------------------------------------------

TEST_F(StoreTest, badFilesAndEventsAreSkippedAndTheRestStillShows) {
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
        ++count[o.identifier.value_or(u"?"_qs)];
    EXPECT_EQ(count[u"good"_qs], 1);
    EXPECT_EQ(count[u"endless"_qs], 1);
    EXPECT_EQ(count[u"end-before-start"_qs], 1);
    EXPECT_EQ(count[u"bad-rule"_qs], 1) << "a rule libical cannot read leaves the event as a single occurrence";
    for (const char* dropped : {"bad-date", "bad-month", "secondly", "huge-count", "never-matches"})
        EXPECT_EQ(count.count(QString::fromUtf8(dropped)), 0u) << dropped;
    // The endless rule goes on far beyond the load window.
    EXPECT_EQ(store->occurrences(local(2040, 3, 10), local(2040, 3, 11)).size(), 1u);
}

TEST_F(StoreTest, aSourceFolderThatDisappearsAndComesBackIsAnnouncedEachTime) {
    const QString folder = path(u"cals/work"_qs);
    writeFile(folder + u"/a.ics"_qs, calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({folder});
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    const auto count = [&] { return store->occurrences(local(2025, 3, 1), local(2025, 4, 1)).size(); };
    ASSERT_EQ(count(), 1u);

    QDir(folder).removeRecursively();
    EXPECT_TRUE(waitFor([&] { return changed.count() == 1; }));
    EXPECT_EQ(count(), 0u);

    writeFile(folder + u"/a.ics"_qs, calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\n")));
    writeFile(folder + u"/b.ics"_qs, calendar(vevent("UID:b\r\nDTSTART:20250311T090000Z\r\n")));
    EXPECT_TRUE(waitFor([&] { return count() == 2u; }));
    QThread::msleep(300);
    QCoreApplication::processEvents();
    EXPECT_GE(changed.count(), 2);
}

TEST_F(StoreTest, aBurstOfRewritesSettlesIntoOneChange) {
    writeFile(path(u"cal.ics"_qs), calendar(vevent("UID:a\r\nSUMMARY:v0\r\nDTSTART:20250310T090000Z\r\n")));
    auto store = load({path(u"cal.ics"_qs)});
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    QSignalSpy loaded(store.get(), &IcalCalendarStore::loaded);
    for (int i = 1; i <= 5; ++i) {
        writeFile(path(u"cal.ics"_qs),
                  calendar(vevent("UID:a\r\nSUMMARY:v" + QByteArray::number(i) + "\r\nDTSTART:20250310T090000Z\r\n")));
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_TRUE(waitFor([&] { return changed.count() >= 1; }));
    QThread::msleep(400);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
    const auto occ = store->occurrences(local(2025, 3, 10), local(2025, 3, 11));
    ASSERT_EQ(occ.size(), 1u);
    EXPECT_EQ(occ[0].title, std::optional<QString>(u"v5"_qs));
}

// What the iCalendar store reads from minimal calendars: escapes, RDATE periods, THISANDFUTURE
// overrides, zones after 2037, overrides of all-day series, revisions of one event (in one file or a
// folder's), zones whose observances start on a date, and floating series excluded in UTC.
#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"

using namespace kalvix;
using namespace kalvix::test;

namespace {

QByteArray calendar(const QByteArray& body, const QByteArray& header = {})
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + header + body + "END:VCALENDAR\r\n";
}

QByteArray vevent(const QByteArray& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

struct Seen {
    double start;
    double end;
    QString title;
    friend bool operator==(const Seen&, const Seen&) = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s)
{
    return out << "{" << s.start << ", " << s.end << ", " << s.title.toStdString() << "}";
}

class Reading : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    // Loads `text` as the only calendar, on this thread.
    IcalCalendarStore& load(const QByteArray& text)
    {
        writeFile(m_dir.filePath(u"cal.ics"_qs), text);
        IcalCalendarStore::Options options;
        options.time = &m_time;
        m_store = std::make_unique<IcalCalendarStore>(QStringList{m_dir.filePath(u"cal.ics"_qs)}, options);
        m_store->loadNow();
        return *m_store;
    }

    // Loads a folder holding each of `files` (named by their order) as the only calendar.
    IcalCalendarStore& loadFolder(const std::vector<QByteArray>& files)
    {
        const QString folder = m_dir.filePath(u"folder"_qs);
        for (std::size_t i = 0; i < files.size(); ++i)
            writeFile(folder + u"/%1.ics"_qs.arg(i), files[i]);
        IcalCalendarStore::Options options;
        options.time = &m_time;
        m_store = std::make_unique<IcalCalendarStore>(QStringList{folder}, options);
        m_store->loadNow();
        return *m_store;
    }

    std::vector<Seen> seen(Instant from, Instant to) const
    {
        std::vector<Seen> out;
        for (const auto& o : m_store->occurrences(from, to))
            out.push_back({o.start.seconds, o.end.seconds, o.title.value_or(u"-"_qs)});
        return out;
    }

    CalendarInfo info() const { return m_store->calendars().value(0); }

    QTemporaryDir m_dir;
    FakeTimeSource m_time{local(2025, 3, 5, 10)};
    std::unique_ptr<IcalCalendarStore> m_store;
};

} // namespace

// ---- text ----------------------------------------------------------------------------------------

TEST_F(Reading, titlesAndCalendarNamesAreTextWithTheirEscapesResolved)
{
    load(calendar(vevent("UID:a\r\nDTSTART:20250310T090000Z\r\nSUMMARY:Lunch\\, with Bob\\; bring \\\\ notes\r\n") +
                      vevent("UID:b\r\nDTSTART:20250311T090000Z\r\nSUMMARY:Plan\\nline two\\N three\r\n"),
                  "X-WR-CALNAME:Work\\, home\r\n"));
    const auto all = seen(local(2025, 3, 10), local(2025, 3, 12));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].title, u"Lunch, with Bob; bring \\ notes"_qs);
    EXPECT_EQ(all[1].title, u"Plan\nline two\n three"_qs);
    EXPECT_EQ(info().name, u"Work, home"_qs);
}

// ---- RDATE periods -------------------------------------------------------------------------------

TEST_F(Reading, rdatePeriodsKeepTheirOwnLength)
{
    load(calendar(vevent("UID:p\r\nSUMMARY:Review\r\nDTSTART:20250305T090000Z\r\nDTEND:20250305T100000Z\r\n"
                         "RDATE;VALUE=PERIOD:20250307T090000Z/PT3H,20250308T090000Z/20250308T113000Z\r\n"
                         "RDATE:20250309T090000Z\r\n")));
    const std::vector<Seen> expected{
        {utcSeconds(2025, 3, 5, 9), utcSeconds(2025, 3, 5, 10), u"Review"_qs},
        {utcSeconds(2025, 3, 7, 9), utcSeconds(2025, 3, 7, 12), u"Review"_qs},
        {utcSeconds(2025, 3, 8, 9), utcSeconds(2025, 3, 8, 11, 30), u"Review"_qs},
        {utcSeconds(2025, 3, 9, 9), utcSeconds(2025, 3, 9, 10), u"Review"_qs},
    };
    EXPECT_EQ(seen(local(2025, 3, 1), local(2025, 4, 1)), expected);
}

// ---- THISANDFUTURE -------------------------------------------------------------------------------

TEST_F(Reading, thisAndFutureMovesTheRestOfTheSeries)
{
    load(calendar(vevent("UID:s\r\nSUMMARY:Sync\r\nDTSTART;TZID=Europe/London:20250303T100000\r\nDURATION:PT1H\r\n"
                         "RRULE:FREQ=WEEKLY;COUNT=6\r\n") +
                  // From the 17th on: four hours later and half an hour long.
                  vevent("UID:s\r\nSUMMARY:Sync (new time)\r\nRECURRENCE-ID;RANGE=THISANDFUTURE;TZID=Europe/London:"
                         "20250317T100000\r\nDTSTART;TZID=Europe/London:20250317T140000\r\nDURATION:PT30M\r\n") +
                  // One later occurrence moved on its own still goes where it says.
                  vevent("UID:s\r\nSUMMARY:Sync (once)\r\nRECURRENCE-ID;TZID=Europe/London:20250331T100000\r\n"
                         "DTSTART;TZID=Europe/London:20250401T090000\r\nDURATION:PT1H\r\n")));
    const std::vector<Seen> expected{
        {local(2025, 3, 3, 10).seconds, local(2025, 3, 3, 11).seconds, u"Sync"_qs},
        {local(2025, 3, 10, 10).seconds, local(2025, 3, 10, 11).seconds, u"Sync"_qs},
        {local(2025, 3, 17, 14).seconds, local(2025, 3, 17, 14, 30).seconds, u"Sync (new time)"_qs},
        {local(2025, 3, 24, 14).seconds, local(2025, 3, 24, 14, 30).seconds, u"Sync (new time)"_qs},
        {local(2025, 4, 1, 9).seconds, local(2025, 4, 1, 10).seconds, u"Sync (once)"_qs},
        {local(2025, 4, 7, 14).seconds, local(2025, 4, 7, 14, 30).seconds, u"Sync (new time)"_qs},
    };
    EXPECT_EQ(seen(local(2025, 3, 1), local(2025, 5, 1)), expected);
}

TEST_F(Reading, thisAndFutureHoldsFarFromTheLoadedMonthsAndForAllDaySeries)
{
    load(calendar(
        vevent("UID:w\r\nSUMMARY:Bins\r\nDTSTART;VALUE=DATE:20250303\r\nRRULE:FREQ=WEEKLY\r\n") +
        vevent("UID:w\r\nSUMMARY:Bins (Wednesdays)\r\nRECURRENCE-ID;RANGE=THISANDFUTURE;VALUE=DATE:20250602\r\n"
               "DTSTART;VALUE=DATE:20250604\r\nDTEND;VALUE=DATE:20250606\r\n")));
    // In March 2031, far from the months loaded: Wednesdays, two days long.
    const auto march = seen(local(2031, 3, 1), local(2031, 4, 1));
    ASSERT_EQ(march.size(), 4u);
    for (const Seen& s : march) {
        EXPECT_EQ(CivilCalendar::current().weekdayOf(Instant{s.start}), 3);
        EXPECT_EQ(s.title, u"Bins (Wednesdays)"_qs);
    }
    EXPECT_EQ(march[0].start, local(2031, 3, 5).seconds);
    EXPECT_EQ(march[0].end, local(2031, 3, 7).seconds);
    // Before the change: Mondays.
    EXPECT_EQ(seen(local(2025, 5, 26), local(2025, 5, 27)).size(), 1u);
    EXPECT_TRUE(seen(local(2025, 6, 2), local(2025, 6, 3)).empty());
}

// ---- zones after 2037 ----------------------------------------------------------------------------

TEST_F(Reading, zonesFloatingTimesAndDatesAfter2037FollowTheTzDatabase)
{
    load(calendar(vevent("UID:berlin\r\nDTSTART;TZID=Europe/Berlin:20390601T120000\r\n") +
                  vevent("UID:floating\r\nDTSTART:20390602T120000\r\n") +
                  vevent("UID:day\r\nDTSTART;VALUE=DATE:20390603\r\n") +
                  vevent("UID:far\r\nDTSTART;TZID=America/New_York:29990701T120000\r\n")));
    EXPECT_EQ(seen(local(2039, 6, 1), local(2039, 6, 2)).at(0).start, utcSeconds(2039, 6, 1, 10));
    EXPECT_EQ(seen(local(2039, 6, 2), local(2039, 6, 3)).at(0).start, utcSeconds(2039, 6, 2, 11));
    const Seen day = seen(local(2039, 6, 3), local(2039, 6, 4)).at(0);
    EXPECT_EQ(day.start, utcSeconds(2039, 6, 2, 23));
    EXPECT_EQ(day.end, utcSeconds(2039, 6, 3, 23));
    EXPECT_EQ(seen(Instant{utcSeconds(2999, 7, 1)}, Instant{utcSeconds(2999, 7, 2)}).at(0).start,
              utcSeconds(2999, 7, 1, 16));
}

TEST_F(Reading, anEmbeddedZoneAnswersForAnyYear)
{
    const QByteArray zone = "BEGIN:VTIMEZONE\r\nTZID:Custom Eastern\r\n"
                            "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
                            "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
                            "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
                            "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    load(calendar(vevent("UID:summer\r\nDTSTART;TZID=Custom Eastern:20390601T120000\r\n") +
                      vevent("UID:winter\r\nDTSTART;TZID=Custom Eastern:99991201T120000\r\n") +
                      vevent("UID:summer-far\r\nDTSTART;TZID=Custom Eastern:99990601T120000\r\n"),
                  zone));
    EXPECT_EQ(seen(Instant{utcSeconds(2039, 6, 1)}, Instant{utcSeconds(2039, 6, 2)}).at(0).start,
              utcSeconds(2039, 6, 1, 16));
    EXPECT_EQ(seen(Instant{utcSeconds(9999, 12, 1)}, Instant{utcSeconds(9999, 12, 2)}).at(0).start,
              utcSeconds(9999, 12, 1, 17));
    EXPECT_EQ(seen(Instant{utcSeconds(9999, 6, 1)}, Instant{utcSeconds(9999, 6, 2)}).at(0).start,
              utcSeconds(9999, 6, 1, 16));
}

// ---- overrides of all-day series -----------------------------------------------------------------

class AllDayOverride : public Reading, public ::testing::WithParamInterface<const char*> {};

// A mail client writes the RECURRENCE-ID of an all-day series as a date-time at midnight in its own
// zone; wherever the viewer is, the override replaces that day's occurrence.
TEST_P(AllDayOverride, isMatchedByDateInEveryZone)
{
    const ScopedEnv tz("TZ", GetParam());
    load(
        calendar(vevent("UID:d\r\nSUMMARY:Gym\r\nDTSTART;VALUE=DATE:20250303\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\n") +
                 vevent("UID:d\r\nSUMMARY:Gym (moved)\r\nRECURRENCE-ID;TZID=W. Europe Standard Time:20250310T000000\r\n"
                        "DTSTART;VALUE=DATE:20250312\r\nDTEND;VALUE=DATE:20250313\r\n")));
    std::vector<QString> titles;
    std::vector<int> days;
    for (const Seen& s : seen(local(2025, 3, 1), local(2025, 4, 1))) {
        titles.push_back(s.title);
        days.push_back(CivilCalendar::current().dateOf(Instant{s.start})->day);
    }
    EXPECT_EQ(days, (std::vector<int>{3, 12, 17, 24}));
    EXPECT_EQ(titles[1], u"Gym (moved)"_qs);
}

INSTANTIATE_TEST_SUITE_P(Zones,
                         AllDayOverride,
                         ::testing::Values("Europe/London", "Asia/Tokyo", "America/Los_Angeles", "Europe/Berlin"),
                         [](const auto& row) {
                             std::string name = row.param;
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

// ---- revisions of one event ----------------------------------------------------------------------

namespace {

struct RevisionRow {
    const char* name;
    QByteArray events;
    std::vector<std::pair<int, const char*>> expected; // day of July 2024 at 10:00 or 14:00 Berlin, title
    int skipped;
};

const QByteArray kSeriesAt10 = "UID:series@example\r\nDTSTART;TZID=Europe/Berlin:20240701T100000\r\n"
                               "DTEND;TZID=Europe/Berlin:20240701T110000\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n";
const QByteArray kSeriesAt14 = "UID:series@example\r\nDTSTART;TZID=Europe/Berlin:20240701T140000\r\n"
                               "DTEND;TZID=Europe/Berlin:20240701T150000\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n";

std::ostream& operator<<(std::ostream& out, const RevisionRow& row)
{
    return out << row.name;
}

} // namespace

class Revisions : public Reading, public ::testing::WithParamInterface<RevisionRow> {};

// One UID is one event: of its masters, the one with the highest SEQUENCE shows, then the latest
// DTSTAMP, then the last written; the others count as skipped.
TEST_P(Revisions, oneUidShowsOneSeries)
{
    load(calendar(GetParam().events));
    std::vector<Seen> expected;
    for (const auto& [day, title] : GetParam().expected) {
        const int hour = QByteArray(title).contains("14:00") ? 14 : 10;
        expected.push_back({inZone("Europe/Berlin", 2024, 7, day, hour).seconds,
                            inZone("Europe/Berlin", 2024, 7, day, hour + 1).seconds,
                            QString::fromUtf8(title)});
    }
    EXPECT_EQ(seen(inZone("Europe/Berlin", 2024, 6, 1), inZone("Europe/Berlin", 2024, 9, 1)), expected);
    EXPECT_EQ(info().events, 1);
    EXPECT_EQ(info().skipped, GetParam().skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Masters,
    Revisions,
    ::testing::Values(RevisionRow{"higher_sequence_written_last",
                                  vevent(kSeriesAt10 + "SEQUENCE:1\r\nSUMMARY:Planning\r\n") +
                                      vevent(kSeriesAt14 + "SEQUENCE:2\r\nSUMMARY:Planning (moved to 14:00)\r\n"),
                                  {{1, "Planning (moved to 14:00)"}, {8, "Planning (moved to 14:00)"}},
                                  1},
                      RevisionRow{"higher_sequence_written_first",
                                  vevent(kSeriesAt14 + "SEQUENCE:2\r\nSUMMARY:Planning (moved to 14:00)\r\n") +
                                      vevent(kSeriesAt10 + "SEQUENCE:1\r\nSUMMARY:Planning\r\n"),
                                  {{1, "Planning (moved to 14:00)"}, {8, "Planning (moved to 14:00)"}},
                                  1},
                      RevisionRow{
                          "equal_sequence_later_stamp",
                          vevent(kSeriesAt14 + "DTSTAMP:20240620T080000Z\r\nSUMMARY:Planning (moved to 14:00)\r\n") +
                              vevent(kSeriesAt10 + "DTSTAMP:20240610T080000Z\r\nSUMMARY:Planning\r\n"),
                          {{1, "Planning (moved to 14:00)"}, {8, "Planning (moved to 14:00)"}},
                          1},
                      RevisionRow{"equal_sequence_and_stamp_last_written",
                                  vevent(kSeriesAt14 + "SEQUENCE:3\r\nSUMMARY:Planning (moved to 14:00)\r\n") +
                                      vevent(kSeriesAt10 + "SEQUENCE:3\r\nSUMMARY:Planning\r\n"),
                                  {{1, "Planning"}, {8, "Planning"}},
                                  1},
                      RevisionRow{"single_events_three_revisions",
                                  vevent("UID:one\r\nSEQUENCE:1\r\nDTSTART;TZID=Europe/Berlin:20240703T100000\r\n"
                                         "DURATION:PT1H\r\nSUMMARY:Draft\r\n") +
                                      vevent("UID:one\r\nSEQUENCE:4\r\nDTSTART;TZID=Europe/Berlin:20240705T100000\r\n"
                                             "DURATION:PT1H\r\nSUMMARY:Final\r\n") +
                                      vevent("UID:one\r\nSEQUENCE:2\r\nDTSTART;TZID=Europe/Berlin:20240704T100000\r\n"
                                             "DURATION:PT1H\r\nSUMMARY:Second\r\n"),
                                  {{5, "Final"}},
                                  2}),
    [](const auto& row) { return std::string(row.param.name); });

// Overrides of one occurrence: the highest SEQUENCE shows, and an exact copy shows once.
TEST_F(Reading, overridesOfOneOccurrenceShowTheirLatestRevisionOnce)
{
    const QByteArray moved = "UID:weekly\r\nDURATION:PT1H\r\nRECURRENCE-ID;TZID=Europe/Berlin:20240902T100000\r\n";
    const QByteArray copy = "UID:weekly\r\nDURATION:PT1H\r\nRECURRENCE-ID;TZID=Europe/Berlin:20240909T100000\r\n"
                            "DTSTART;TZID=Europe/Berlin:20240909T120000\r\nSUMMARY:Standup (noon)\r\n";
    load(calendar(vevent("UID:weekly\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20240826T100000\r\n"
                         "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\n") +
                  vevent(moved + "SEQUENCE:2\r\nDTSTART;TZID=Europe/Berlin:20240904T100000\r\nSUMMARY:Wednesday\r\n") +
                  vevent(moved + "SEQUENCE:1\r\nDTSTART;TZID=Europe/Berlin:20240903T100000\r\nSUMMARY:Tuesday\r\n") +
                  vevent(copy) + vevent(copy)));
    auto at = [](int month, int day, int hour) { return inZone("Europe/Berlin", 2024, month, day, hour).seconds; };
    const std::vector<Seen> expected{
        {at(8, 26, 10), at(8, 26, 11), u"Standup"_qs},
        {at(9, 4, 10), at(9, 4, 11), u"Wednesday"_qs},
        {at(9, 9, 12), at(9, 9, 13), u"Standup (noon)"_qs},
    };
    EXPECT_EQ(seen(inZone("Europe/Berlin", 2024, 8, 1), inZone("Europe/Berlin", 2024, 10, 1)), expected);
    EXPECT_EQ(info().skipped, 2);
    EXPECT_EQ(info().events, 3);
}

class RevisionsAcrossFiles : public Reading, public ::testing::WithParamInterface<bool> {};

// Three revisions of a series, the middle one with an override of its second week: the newest series
// shows with that override, the same whether the revisions share a file or each has its own in a
// folder (as a sync tool or a mail client leaves them), whatever the files' order.
TEST_P(RevisionsAcrossFiles, showTheNewestSeriesWithTheOverridesOfAnyRevision)
{
    const QByteArray series = "UID:plan\r\nDTSTART:20250303T100000Z\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\n";
    const QByteArray newest = vevent(series + "SEQUENCE:3\r\nSUMMARY:Planning v3\r\n");
    const QByteArray middle =
        vevent(series + "SEQUENCE:2\r\nSUMMARY:Planning v2\r\n") +
        vevent("UID:plan\r\nSEQUENCE:2\r\nRECURRENCE-ID:20250310T100000Z\r\nDTSTART:20250310T120000Z\r\n"
               "DURATION:PT1H\r\nSUMMARY:Planning (noon)\r\n");
    const QByteArray oldest = vevent(series + "SEQUENCE:1\r\nSUMMARY:Planning v1\r\n");
    if (GetParam())
        loadFolder({calendar(newest), calendar(middle), calendar(oldest)});
    else
        load(calendar(newest + middle + oldest));
    const std::vector<Seen> expected{
        {utcSeconds(2025, 3, 3, 10), utcSeconds(2025, 3, 3, 11), u"Planning v3"_qs},
        {utcSeconds(2025, 3, 10, 12), utcSeconds(2025, 3, 10, 13), u"Planning (noon)"_qs},
        {utcSeconds(2025, 3, 17, 10), utcSeconds(2025, 3, 17, 11), u"Planning v3"_qs},
    };
    EXPECT_EQ(seen(local(2025, 3, 1), local(2025, 4, 1)), expected);
    EXPECT_EQ(info().skipped, 2);
    EXPECT_EQ(info().events, 2);
}

INSTANTIATE_TEST_SUITE_P(Layouts, RevisionsAcrossFiles, ::testing::Values(false, true), [](const auto& row) {
    return std::string(row.param ? "folder_of_files" : "one_file");
});

// The same UID in two files of a folder, the older revision in the file read first; an event whose
// UID no other file holds is read as before.
TEST_F(Reading, revisionsInTwoFilesOfAFolderShowOnce)
{
    loadFolder({calendar(vevent("UID:x\r\nSEQUENCE:1\r\nDTSTART:20250310T090000Z\r\nSUMMARY:Old\r\n")),
                calendar(vevent("UID:x\r\nSEQUENCE:2\r\nDTSTART:20250311T090000Z\r\nSUMMARY:New\r\n")),
                calendar(vevent("UID:y\r\nDTSTART:20250312T090000Z\r\nSUMMARY:Other\r\n"))});
    const std::vector<Seen> expected{
        {utcSeconds(2025, 3, 11, 9), utcSeconds(2025, 3, 11, 9), u"New"_qs},
        {utcSeconds(2025, 3, 12, 9), utcSeconds(2025, 3, 12, 9), u"Other"_qs},
    };
    EXPECT_EQ(seen(local(2025, 3, 1), local(2025, 4, 1)), expected);
    EXPECT_EQ(info().events, 2);
    EXPECT_EQ(info().skipped, 1);
    // Read again (the files unchanged), the folder still shows each event once.
    m_store->loadNow();
    EXPECT_EQ(seen(local(2025, 3, 1), local(2025, 4, 1)), expected);
    EXPECT_EQ(info().skipped, 1);
}

// ---- lenient readings ----------------------------------------------------------------------------

// A VTIMEZONE observance that starts on a date (slightly malformed) begins at that date's midnight;
// one that cannot be read at all makes its zone count as skipped, its times read as floating.
TEST_F(Reading, zoneObservancesStartingOnADateAreReadFromTheirMidnight)
{
    const QByteArray fixed = "BEGIN:VTIMEZONE\r\nTZID:Custom Eleven\r\nBEGIN:STANDARD\r\n"
                             "DTSTART;VALUE=DATE:20170101\r\nTZOFFSETFROM:+1100\r\nTZOFFSETTO:+1100\r\n"
                             "END:STANDARD\r\nEND:VTIMEZONE\r\n";
    const QByteArray seasons =
        "BEGIN:VTIMEZONE\r\nTZID:Custom Seasons\r\n"
        "BEGIN:STANDARD\r\nDTSTART;VALUE=DATE:19700405\r\nRRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=1SU\r\n"
        "TZOFFSETFROM:+1100\r\nTZOFFSETTO:+1000\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART;VALUE=DATE:19701004\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=1SU\r\n"
        "TZOFFSETFROM:+1000\r\nTZOFFSETTO:+1100\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    load(calendar(vevent("UID:a\r\nDTSTART;TZID=Custom Eleven:20250310T000000\r\nSUMMARY:Fixed\r\n") +
                      vevent("UID:b\r\nDTSTART;TZID=Custom Seasons:20250311T120000\r\nSUMMARY:Summer\r\n") +
                      vevent("UID:c\r\nDTSTART;TZID=Custom Seasons:20250711T120000\r\nSUMMARY:Winter\r\n"),
                  fixed + seasons));
    EXPECT_EQ(seen(local(2025, 3, 9), local(2025, 3, 10)).at(0).start, utcSeconds(2025, 3, 9, 13));
    EXPECT_EQ(seen(local(2025, 3, 11), local(2025, 3, 12)).at(0).start, utcSeconds(2025, 3, 11, 1));
    EXPECT_EQ(seen(local(2025, 7, 11), local(2025, 7, 12)).at(0).start, utcSeconds(2025, 7, 11, 2));
    EXPECT_EQ(info().skipped, 0);
}

TEST_F(Reading, zonesThatCannotBeReadWholeAreCounted)
{
    const QByteArray noOffsets = "BEGIN:VTIMEZONE\r\nTZID:No Offsets\r\nBEGIN:STANDARD\r\n"
                                 "DTSTART:20170101T000000\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    const QByteArray half = "BEGIN:VTIMEZONE\r\nTZID:Half Read\r\nBEGIN:STANDARD\r\nDTSTART:20170101T000000\r\n"
                            "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0200\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\n"
                            "DTSTART:bad\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0300\r\nEND:DAYLIGHT\r\n"
                            "END:VTIMEZONE\r\n";
    const QByteArray unused = "BEGIN:VTIMEZONE\r\nTZID:Unused\r\nEND:VTIMEZONE\r\n";
    load(calendar(vevent("UID:a\r\nDTSTART;TZID=No Offsets:20250310T090000\r\nSUMMARY:Floating\r\n") +
                      vevent("UID:b\r\nDTSTART;TZID=Half Read:20250311T090000\r\nSUMMARY:Half\r\n") +
                      vevent("UID:c\r\nDTSTART;TZID=No Offsets:20250312T090000\r\nSUMMARY:Floating too\r\n"),
                  noOffsets + half + unused));
    EXPECT_EQ(seen(local(2025, 3, 10), local(2025, 3, 11)).at(0).start, local(2025, 3, 10, 9).seconds);
    EXPECT_EQ(seen(local(2025, 3, 11), local(2025, 3, 12)).at(0).start, utcSeconds(2025, 3, 11, 7));
    EXPECT_EQ(info().events, 3);
    EXPECT_EQ(info().skipped, 2); // each zone once, however many events name it
}

// A floating series whose EXDATEs are in UTC: the author meant the wall-clock times, in every zone.
TEST_F(Reading, floatingSeriesExcludedInUtcLoseTheOccurrencesAtThoseWallTimes)
{
    for (const char* zone : {"UTC", "Europe/Berlin", "America/Los_Angeles", "Asia/Tokyo"}) {
        SCOPED_TRACE(zone);
        const ScopedEnv tz("TZ", zone);
        load(calendar(vevent("UID:f\r\nSUMMARY:Yoga\r\nDTSTART:20240101T100000\r\nDURATION:PT1H\r\n"
                             "RRULE:FREQ=WEEKLY;COUNT=4\r\nEXDATE:20240108T100000Z,20240122T100000Z\r\n")));
        std::vector<int> days;
        for (const Seen& s : seen(local(2023, 12, 1), local(2024, 3, 1)))
            days.push_back(CivilCalendar::current().dateOf(Instant{s.start})->day);
        EXPECT_EQ(days, (std::vector<int>{1, 15}));
    }
}

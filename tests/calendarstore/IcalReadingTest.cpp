// What the iCalendar store reads from minimal calendars: escapes, RDATE periods, THISANDFUTURE
// overrides, zones after 2037, overrides of all-day series, and lenient reading of damaged files.
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

// The desktop's calendar service, for real: Evolution Data Server's registry and calendar factory,
// D-Bus activated on a session bus of the test's own, with the test's own home. The test changes
// calendars through the service's client library, as GNOME Calendar or Evolution would, and watches
// a store that reads the service through the feed.
#include "calendarstore/eds/EdsFeed.h"
#include "calendar/AgendaCommand.h"
#include "calendarstore/CalendarSources.h"
#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "desktop/XdgDirs.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/EdsService.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QTest>

using namespace kalvix;
using namespace kalvix::test;

namespace {

// Deadlines for the service to do what it was asked: generous, they are not expected durations.
constexpr int kDeadlineMs = 20000;

// Wednesday 5 March 2025, 10:00 in London.
const Instant kNow = local(2025, 3, 5, 10, 0);

QByteArray vevent(const QByteArray& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

class EdsFeedTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testApp();
        // A fresh service: what an earlier run left in this test's home is gone.
        for (const QString& folder :
             QStringList{configHome(), dataHome(), QDir::homePath() + QStringLiteral("/.cache")})
            QDir(folder + QStringLiteral("/evolution")).removeRecursively();
        s_bus = new PrivateSessionBus;
        if (!s_bus->isRunning())
            return;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", s_bus->address().toUtf8().constData(), 1);
        s_service = new EdsService([](const std::string& message) { ADD_FAILURE() << message; });
    }
    static void TearDownTestSuite()
    {
        delete s_service;
        delete s_bus;
    }

    void SetUp() override
    {
        if (!s_service || !s_service->running())
            GTEST_SKIP() << "no session bus or calendar service";
    }

    // A store over `sources` and the service, with access granted once the feed's first look is over.
    std::unique_ptr<IcalCalendarStore> storeWithFeed(QStringList sources = {})
    {
        m_feed = std::make_unique<EdsFeed>(EdsFeed::Options{kDeadlineMs, 20});
        IcalCalendarStore::Options options;
        options.time = &m_time;
        options.feed = m_feed.get();
        options.settleMs = 20;
        auto store = std::make_unique<IcalCalendarStore>(std::move(sources), options);
        std::optional<bool> granted;
        store->requestFullAccess([&](bool g) { granted = g; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return granted.has_value(); }, kDeadlineMs));
        EXPECT_TRUE(granted.value_or(false));
        return store;
    }

    static QStringList titles(const IcalCalendarStore& store)
    {
        QStringList out;
        for (const CalendarOccurrence& o : store.occurrences(kNow - 40 * 86400.0, kNow + 40 * 86400.0))
            out << o.title.value_or(QString());
        out.sort();
        return out;
    }

    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kDeadlineMs); }

    static PrivateSessionBus* s_bus;
    static EdsService* s_service;
    FakeTimeSource m_time{kNow};
    std::unique_ptr<EdsFeed> m_feed;
};

PrivateSessionBus* EdsFeedTest::s_bus = nullptr;
EdsService* EdsFeedTest::s_service = nullptr;

TEST_F(EdsFeedTest, eventsCreatedChangedAndRemovedByAnotherProgramShowWhileKalvixRuns)
{
    s_service->addCalendar("kalvix-test-work", "Work", "#3465a4");
    auto store = storeWithFeed();
    EXPECT_EQ(titles(*store), QStringList{});

    s_service->create(
        "kalvix-test-work",
        vevent("UID:standup\r\nDTSTART:20250306T090000Z\r\nDTEND:20250306T091500Z\r\nSUMMARY:Standup\r\n"));
    ASSERT_TRUE(waitFor([&] { return titles(*store) == QStringList{u"Standup"_qs}; }))
        << titles(*store).join(u',').toStdString();
    const auto occurrences = store->occurrences(kNow, kNow + 86400.0 * 2);
    ASSERT_EQ(occurrences.size(), 1u);
    EXPECT_EQ(occurrences[0].start, Instant{utcSeconds(2025, 3, 6, 9, 0)});
    EXPECT_EQ(occurrences[0].color, *CalendarColor::fromName(u"#3465a4"));
    EXPECT_EQ(occurrences[0].calendar, u"Work"_qs);

    s_service->modify("kalvix-test-work",
                      vevent("UID:standup\r\nDTSTART:20250306T100000Z\r\nDTEND:20250306T101500Z\r\n"
                             "SUMMARY:Standup moved\r\nSEQUENCE:1\r\n"));
    ASSERT_TRUE(waitFor([&] { return titles(*store) == QStringList{u"Standup moved"_qs}; }));
    EXPECT_EQ(store->occurrences(kNow, kNow + 86400.0 * 2).at(0).start, Instant{utcSeconds(2025, 3, 6, 10, 0)});

    s_service->remove("kalvix-test-work", "standup");
    EXPECT_TRUE(waitFor([&] { return titles(*store).isEmpty(); }));
}

TEST_F(EdsFeedTest, aCalendarAddedWhileRunningShowsAndLeavesWhenHiddenOrDisabledAndFollowsItsColour)
{
    auto store = storeWithFeed();
    s_service->addCalendar("kalvix-test-family", "Family", "#73d216");
    s_service->create("kalvix-test-family",
                      vevent("UID:dinner\r\nDTSTART:20250307T180000Z\r\nDTEND:20250307T200000Z\r\nSUMMARY:Dinner\r\n"));
    const auto dotColors = [&] {
        QStringList out;
        for (const OccurrenceSpan& s : store->spans(kNow, kNow + 7 * 86400.0))
            out << s.color.name();
        return out;
    };
    ASSERT_TRUE(waitFor([&] { return dotColors() == QStringList{u"#73d216"_qs}; }))
        << dotColors().join(u',').toStdString();

    struct Row {
        const char* what;
        std::function<void(ESource*, ESourceSelectable*)> hide;
        std::function<void(ESource*, ESourceSelectable*)> show;
    };
    const Row rows[] = {
        {"unselected in the calendar list",
         [](ESource*, ESourceSelectable* s) { e_source_selectable_set_selected(s, FALSE); },
         [](ESource*, ESourceSelectable* s) { e_source_selectable_set_selected(s, TRUE); }},
        {"disabled",
         [](ESource* s, ESourceSelectable*) { e_source_set_enabled(s, FALSE); },
         [](ESource* s, ESourceSelectable*) { e_source_set_enabled(s, TRUE); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        s_service->change("kalvix-test-family", row.hide);
        EXPECT_TRUE(waitFor([&] { return dotColors().isEmpty(); }));
        const auto names = [&] {
            QStringList out;
            for (const CalendarInfo& c : store->calendars())
                out << c.name;
            return out;
        };
        EXPECT_FALSE(names().contains(u"Family"_qs));
        s_service->change("kalvix-test-family", row.show);
        EXPECT_TRUE(waitFor([&] { return dotColors() == QStringList{u"#73d216"_qs}; }));
    }

    s_service->change("kalvix-test-family",
                      [](ESource*, ESourceSelectable* s) { e_source_selectable_set_color(s, "#c4a000"); });
    EXPECT_TRUE(waitFor([&] { return dotColors() == QStringList{u"#c4a000"_qs}; }))
        << dotColors().join(u',').toStdString();
}

// The same weekly meeting, with one occurrence moved and one taken out, from the service and from a
// file: Kalvix's own reader expands both, so they must agree to the second.
TEST_F(EdsFeedTest, aRecurringEventWithAnOverrideAndAnExclusionExpandsAsTheSameDataInAFile)
{
    const QByteArray series = vevent("UID:weekly\r\nDTSTART;TZID=America/New_York:20250303T090000\r\n"
                                     "DTEND;TZID=America/New_York:20250303T093000\r\nRRULE:FREQ=WEEKLY;COUNT=8\r\n"
                                     "EXDATE;TZID=America/New_York:20250317T090000\r\nSUMMARY:Weekly\r\n");
    const QByteArray moved = vevent("UID:weekly\r\nRECURRENCE-ID;TZID=America/New_York:20250310T090000\r\n"
                                    "DTSTART;TZID=America/New_York:20250311T140000\r\n"
                                    "DTEND;TZID=America/New_York:20250311T150000\r\nSUMMARY:Weekly moved\r\n");
    s_service->addCalendar("kalvix-test-series", "Series", "#75507b");
    s_service->create("kalvix-test-series", series);
    s_service->modify("kalvix-test-series", moved, E_CAL_OBJ_MOD_THIS);

    QTemporaryDir dir;
    const QString file = dir.filePath(u"series.ics"_qs);
    writeFile(file, "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + series + moved + "END:VCALENDAR\r\n");
    auto store = storeWithFeed({file});

    const auto expanded = [&](const QString& calendarName) {
        QStringList out;
        for (const CalendarOccurrence& o : store->occurrences(kNow - 30 * 86400.0, kNow + 90 * 86400.0)) {
            if (o.calendar == calendarName) {
                out << QStringLiteral("%1 %2 %3")
                           .arg(o.start.seconds, 0, 'f', 0)
                           .arg(o.end.seconds, 0, 'f', 0)
                           .arg(o.title.value_or(QString()));
            }
        }
        return out;
    };
    ASSERT_TRUE(waitFor([&] { return expanded(u"Series"_qs).size() == 7; }))
        << expanded(u"Series"_qs).join(u'\n').toStdString();
    EXPECT_EQ(expanded(u"Series"_qs), expanded(u"series"_qs));
    EXPECT_TRUE(expanded(u"Series"_qs)
                    .contains(QStringLiteral("%1 %2 Weekly moved")
                                  .arg(utcSeconds(2025, 3, 11, 18, 0), 0, 'f', 0)
                                  .arg(utcSeconds(2025, 3, 11, 19, 0), 0, 'f', 0)));
}

// A calendar the service cannot open is named with the service's message, and the others still show.
TEST_F(EdsFeedTest, aCalendarThatWillNotOpenIsNamedWithItsProblemAndTheOthersStillShow)
{
    s_service->addCalendar("kalvix-test-readable", "Readable", "#3465a4");
    s_service->create("kalvix-test-readable",
                      vevent("UID:retro\r\nDTSTART:20250306T150000Z\r\nDTEND:20250306T160000Z\r\nSUMMARY:Retro\r\n"));
    s_service->addCalendar("kalvix-test-broken", "Broken", "#cc0000", "kalvix-no-such-backend");
    auto store = storeWithFeed();
    const auto problemOf = [&](const QString& name) {
        for (const CalendarInfo& c : store->calendars()) {
            if (c.name == name)
                return c.problem;
        }
        return QString();
    };
    ASSERT_TRUE(waitFor([&] { return !problemOf(u"Broken"_qs).isEmpty(); }));
    EXPECT_TRUE(problemOf(u"Readable"_qs).isEmpty());
    EXPECT_TRUE(waitFor([&] { return titles(*store).contains(u"Retro"_qs); }));
    EXPECT_EQ(store->accessStatus(), CalendarAccess::fullAccess);

    const AgendaReport report = AgendaReport::of(*store, store->accessStatus(), kNow);
    EXPECT_TRUE(report.text().contains(u"Cannot read Broken: "_qs + problemOf(u"Broken"_qs)))
        << report.text().toStdString();
    EXPECT_TRUE(report.json().contains(u"\"problem\": "_qs)) << report.json().toStdString();
}

// Evolution's own calendar is a file the service writes: read through the service, and only once.
TEST_F(EdsFeedTest, evolutionsLocalCalendarIsReadOnceThroughTheService)
{
    s_service->create(
        "system-calendar",
        vevent("UID:dentist\r\nDTSTART:20250310T150000Z\r\nDTEND:20250310T160000Z\r\nSUMMARY:Dentist\r\n"));
    const QString file = dataHome() + QStringLiteral("/evolution/calendar/system/calendar.ics");
    ASSERT_TRUE(QFileInfo::exists(file));
    ASSERT_TRUE(standardCalendarSources().contains(file));

    auto store = storeWithFeed(standardCalendarSources());
    ASSERT_TRUE(waitFor([&] { return titles(*store).contains(u"Dentist"_qs); }));
    EXPECT_EQ(titles(*store).count(u"Dentist"_qs), 1);
    EXPECT_TRUE(m_feed->servedFiles().contains(file));
}

} // namespace

#include "calendar/CalendarService.h"
#include "calendar/MonthDots.h"
#include "calendar/UpcomingEvents.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeCalendarStore.h"
#include "tests/support/FakeTimeSource.h"

#include <QSignalSpy>

#include <thread>

using namespace kalvix;
using namespace kalvix::test;

namespace {

// Wednesday 5 March 2025, 10:00 in London (GMT).
const Instant kNow = local(2025, 3, 5, 10, 0);

QStringList titles(const QList<DayEvent>& events)
{
    QStringList out;
    for (const auto& e : events)
        out.append(e.title);
    return out;
}

struct Recorder {
    QStringList order;
    explicit Recorder(CalendarService& s)
    {
        QObject::connect(&s, &CalendarService::accessChanged, [this] { order.append(QStringLiteral("authorized")); });
        QObject::connect(&s, &CalendarService::monthDotsChanged, [this] { order.append(QStringLiteral("dots")); });
        QObject::connect(&s, &CalendarService::upNextChanged, [this] { order.append(QStringLiteral("upNext")); });
        QObject::connect(&s, &CalendarService::agendaChanged, [this] { order.append(QStringLiteral("agenda")); });
    }
};

} // namespace

// ---- access and triggers ----------------------------------------------------------------------

TEST(CalendarServiceAccess, fullAccessFillsEverythingBeforeTheConstructorReturns)
{
    FakeCalendarStore store(CalendarAccess::fullAccess);
    store.add(timed("Standup", kNow + 3600, kNow + 5400));
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    EXPECT_EQ(service.access(), CalendarAccess::fullAccess);
    EXPECT_EQ(titles(service.upNext()), QStringList{QStringLiteral("Standup")});
    ASSERT_EQ(service.agenda().size(), 1);
    EXPECT_EQ(service.monthDots().size(), 1);
    EXPECT_EQ(service.displayedMonth(), kNow);
    // Dots first, then the upcoming lists.
    ASSERT_EQ(store.queries().size(), 2u);
    EXPECT_EQ(store.queries()[0].start, local(2025, 2, 22));
    EXPECT_EQ(store.queries()[1].start, kNow);
}

TEST(CalendarServiceAccess, undecidedWaitsForTheAnswerAndAGrantFillsTheListsOnTheMainThread)
{
    testApp();
    FakeCalendarStore store(CalendarAccess::notDetermined);
    store.add(timed("Standup", kNow + 3600, kNow + 5400));
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    EXPECT_EQ(service.access(), CalendarAccess::notDetermined);
    EXPECT_EQ(store.requestCount(), 1);
    EXPECT_TRUE(store.queries().empty());

    Recorder rec(service);
    std::thread([&] { store.answer(true); }).join(); // the answer arrives on another thread
    EXPECT_EQ(service.access(), CalendarAccess::notDetermined) << "applied only on the main thread";
    processQueued();
    EXPECT_EQ(service.access(), CalendarAccess::fullAccess);
    EXPECT_EQ(rec.order, (QStringList{u"authorized"_qs, u"dots"_qs, u"upNext"_qs, u"agenda"_qs}));
    EXPECT_EQ(titles(service.upNext()), QStringList{QStringLiteral("Standup")});
}

TEST(CalendarServiceAccess, refusalSetsFalseAndQueriesNothing)
{
    testApp();
    FakeCalendarStore store(CalendarAccess::notDetermined);
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    store.answer(false);
    processQueued();
    EXPECT_EQ(service.access(), CalendarAccess::denied);
    EXPECT_TRUE(store.queries().empty());
}

TEST(CalendarServiceAccess, answerForAServiceThatIsGoneDoesNothing)
{
    testApp();
    FakeCalendarStore store(CalendarAccess::notDetermined);
    FakeTimeSource time(kNow);
    {
        CalendarService service(store, time);
    }
    store.answer(true);
    processQueued(); // must not touch the destroyed service
    EXPECT_TRUE(store.queries().empty());
}

struct FinalStateRow {
    const char* name;
    CalendarAccess status;
};

class CalendarServiceRefusedStates : public ::testing::TestWithParam<FinalStateRow> {};

TEST_P(CalendarServiceRefusedStates, areUnauthorizedAndIgnoreStoreChanges)
{
    testApp();
    FakeCalendarStore store(GetParam().status);
    store.add(timed("Standup", kNow + 3600, kNow + 5400));
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    EXPECT_EQ(service.access(), CalendarAccess::denied);
    EXPECT_EQ(store.requestCount(), 0);
    store.announceChange();
    processQueued();
    EXPECT_TRUE(store.queries().empty());
    EXPECT_TRUE(service.upNext().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Statuses,
                         CalendarServiceRefusedStates,
                         ::testing::Values(FinalStateRow{"denied", CalendarAccess::denied}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CalendarServiceTriggers, eachStoreChangeIsOneLaterRefreshOfDotsThenUpcoming)
{
    testApp();
    FakeCalendarStore store;
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    Recorder rec(service);
    store.add(timed("Added", kNow + 60, kNow + 120));
    store.announceChange();
    EXPECT_TRUE(rec.order.isEmpty()) << "never inside the notification";
    store.announceChange();
    processQueued();
    EXPECT_EQ(rec.order, (QStringList{u"dots"_qs, u"upNext"_qs, u"agenda"_qs, u"dots"_qs, u"upNext"_qs, u"agenda"_qs}));
    EXPECT_EQ(titles(service.upNext()), QStringList{QStringLiteral("Added")});
}

TEST(CalendarServiceTriggers, writingTheDisplayedMonthRecomputesDotsAtOnceEvenWhenUnchangedOrUnauthorized)
{
    for (CalendarAccess status : {CalendarAccess::fullAccess, CalendarAccess::denied}) {
        FakeCalendarStore store(status);
        store.add(allDay("Holiday", local(2025, 4, 18), local(2025, 4, 19)));
        FakeTimeSource time(kNow);
        CalendarService service(store, time);
        Recorder rec(service);
        service.setDisplayedMonth(local(2025, 4, 1));
        service.setDisplayedMonth(local(2025, 4, 1));
        EXPECT_EQ(rec.order, (QStringList{u"dots"_qs, u"dots"_qs}));
        EXPECT_EQ(service.monthDots().value(local(2025, 4, 18)), DayColors{kRed});
        EXPECT_TRUE(service.upNext().isEmpty() || status == CalendarAccess::fullAccess);
    }
}

TEST(CalendarServiceTriggers, aMonthTheCalendarCannotGiveLeavesTheDotsAsTheyWere)
{
    FakeCalendarStore store;
    store.add(timed("Standup", kNow + 3600, kNow + 5400));
    FakeTimeSource time(kNow);
    CalendarService service(store, time);
    const auto before = service.monthDots();
    QSignalSpy spy(&service, &CalendarService::monthDotsChanged);
    service.setDisplayedMonth(Instant{1e300});
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(service.monthDots(), before);
}

// ---- upcoming events and agenda ---------------------------------------------------------------

namespace {
UpcomingEvents upcoming(const std::vector<CalendarOccurrence>& occurrences, Instant now = kNow)
{
    FakeCalendarStore store;
    store.setOccurrences(occurrences);
    return UpcomingEvents::compute(store, now, CivilCalendar::current());
}
} // namespace

TEST(UpcomingEvents, noEventsGiveEmptyLists)
{
    const auto u = upcoming({});
    EXPECT_TRUE(u.upNext.isEmpty());
    EXPECT_TRUE(u.agenda.isEmpty());
}

TEST(UpcomingEvents, sevenEventsLaterTodayGiveFourUpNextAndOneAgendaDayOfSeven)
{
    std::vector<CalendarOccurrence> occ;
    const char* names[] = {"g", "f", "e", "d", "c", "b", "a"};
    for (int i = 0; i < 7; ++i) // returned latest first: the lists must sort
        occ.push_back(timed(names[i], kNow + (7 - i) * 1200.0, kNow + (7 - i) * 1200.0 + 600));
    const auto u = upcoming(occ);
    EXPECT_EQ(titles(u.upNext), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs}));
    ASSERT_EQ(u.agenda.size(), 1);
    EXPECT_EQ(u.agenda[0].day, local(2025, 3, 5));
    EXPECT_EQ(u.agenda[0].events.size(), 7);
}

TEST(UpcomingEvents, runningEventFromYesterdayLeadsAndIsGroupedUnderToday)
{
    const auto u = upcoming({timed("later", kNow + 600, kNow + 1200), timed("overnight", kNow - 86400, kNow + 3600)});
    EXPECT_EQ(titles(u.upNext), (QStringList{u"overnight"_qs, u"later"_qs}));
    ASSERT_EQ(u.agenda.size(), 1);
    EXPECT_EQ(u.agenda[0].day, local(2025, 3, 5));
}

TEST(UpcomingEvents, allDayEventsComeFirstInTheirDay)
{
    const Instant friday = local(2025, 3, 7);
    const auto u = upcoming({timed("today timed", kNow + 600, kNow + 1200),
                             allDay("today all day", local(2025, 3, 5), local(2025, 3, 6)),
                             timed("fri 09", friday + 9 * 3600, friday + 10 * 3600),
                             allDay("fri all day B", friday, friday + 86400),
                             timed("fri 08", friday + 8 * 3600, friday + 9 * 3600),
                             allDay("fri all day A", friday, friday + 86400)});
    EXPECT_EQ(titles(u.upNext),
              (QStringList{u"today all day"_qs, u"today timed"_qs, u"fri all day B"_qs, u"fri all day A"_qs}))
        << "by start, equal starts in the store's order";
    ASSERT_EQ(u.agenda.size(), 2);
    EXPECT_EQ(titles(u.agenda[0].events), (QStringList{u"today all day"_qs, u"today timed"_qs}));
    EXPECT_EQ(titles(u.agenda[1].events),
              (QStringList{u"fri all day B"_qs, u"fri all day A"_qs, u"fri 08"_qs, u"fri 09"_qs}));
}

TEST(UpcomingEvents, windowEdgesAreExact)
{
    const Instant windowEnd = local(2025, 3, 19, 10, 0);
    const auto u = upcoming({timed("ended now", kNow - 600, kNow),
                             timed("after window", windowEnd + 1, windowEnd + 600),
                             timed("last second", windowEnd - 1, windowEnd + 600)});
    EXPECT_EQ(titles(u.upNext), QStringList{QStringLiteral("last second")});

    // More zero-length events right at now than the lists take: the store is asked again for more.
    std::vector<CalendarOccurrence> blips(40, timed("blip", kNow, kNow));
    blips.push_back(timed("next", kNow + 60, kNow + 120));
    EXPECT_EQ(titles(upcoming(blips).upNext), QStringList{QStringLiteral("next")});
}

TEST(UpcomingEvents, windowIsFourteenCalendarDaysAcrossSpringForward)
{
    // From 20 March 2025 10:00 GMT, 14 calendar days end on 3 April 10:00 BST: 14 x 24 h minus one hour.
    const Instant now = local(2025, 3, 20, 10, 0);
    const Instant end = local(2025, 4, 3, 10, 0);
    EXPECT_EQ(end - now, 14 * 86400.0 - 3600);
    const auto u = upcoming({timed("in", end - 1, end + 60), timed("out", end, end + 60)}, now);
    EXPECT_EQ(titles(u.upNext), QStringList{QStringLiteral("in")});
}

TEST(UpcomingEvents, thirtyFiveEventsLeaveTheLastFiveOutOfTheAgenda)
{
    std::vector<CalendarOccurrence> occ;
    // Ten a day on the next four days: the first 30 fill three days only.
    for (int day = 1; day <= 4; ++day) {
        for (int i = 0; i < (day == 4 ? 5 : 10); ++i) {
            const Instant start = local(2025, 3, 5 + day, 8 + i, 0);
            occ.push_back(timed("e", start, start + 600, kRed, "uid"));
        }
    }
    const auto u = upcoming(occ);
    ASSERT_EQ(u.agenda.size(), 3);
    EXPECT_EQ(u.agenda[2].day, local(2025, 3, 8));
    EXPECT_EQ(u.agenda[0].events.size() + u.agenda[1].events.size() + u.agenda[2].events.size(), 30);
}

TEST(UpcomingEvents, agendaKeepsAtMostSixDays)
{
    std::vector<CalendarOccurrence> occ;
    for (int day = 1; day <= 9; ++day)
        occ.push_back(timed("e", local(2025, 3, 5 + day, 9), local(2025, 3, 5 + day, 10)));
    const auto u = upcoming(occ);
    ASSERT_EQ(u.agenda.size(), 6);
    EXPECT_EQ(u.agenda.back().day, local(2025, 3, 11));
}

TEST(DayEvent, idJoinsIdentifierAndUtcStart)
{
    const auto e = DayEvent::fromOccurrence(timed("t", Instant{utcSeconds(2025, 3, 1, 9, 30)}, Instant{0}, kRed, "X1"));
    EXPECT_EQ(e.id, QStringLiteral("X12025-03-01 09:30:00 +0000"));
    // British summer time does not change the UTC text.
    const auto summer = DayEvent::fromOccurrence(timed("t", local(2025, 7, 1, 9, 30), Instant{0}, kRed, "X1"));
    EXPECT_EQ(summer.id, QStringLiteral("X12025-07-01 08:30:00 +0000"));
}

TEST(DayEvent, recurringOccurrencesDifferAndMissingIdentifiersAreFreshEachTime)
{
    const auto a = DayEvent::fromOccurrence(timed("t", kNow, kNow + 60, kRed, "R"));
    const auto b = DayEvent::fromOccurrence(timed("t", kNow + 7 * 86400, kNow + 7 * 86400 + 60, kRed, "R"));
    EXPECT_NE(a, b);
    CalendarOccurrence anonymous{kNow, kNow + 60, false, std::nullopt, std::nullopt, kRed, {}};
    const auto x = DayEvent::fromOccurrence(anonymous);
    const auto y = DayEvent::fromOccurrence(anonymous);
    EXPECT_NE(x.id, y.id);
    EXPECT_EQ(x.id.size(), 36 + 25);
    EXPECT_EQ(x.id.left(36), x.id.left(36).toUpper());
    EXPECT_EQ(x.title, QStringLiteral("Untitled"));
    anonymous.title = QString(u""_qs);
    EXPECT_EQ(DayEvent::fromOccurrence(anonymous).title, QString()) << "an empty title stays empty";
}

TEST(DayEvent, equalityComparesEveryFieldNotOnlyTheId)
{
    const auto a = DayEvent::fromOccurrence(timed("one", kNow, kNow + 60, kRed, "U"));
    auto b = a;
    EXPECT_EQ(a, b);
    b.title = QStringLiteral("other");
    EXPECT_NE(a, b) << "the same id renamed";
    b = a;
    b.color = kBlue;
    EXPECT_NE(a, b) << "the same id in another colour";
    b = a;
    b.end = kNow + 120;
    EXPECT_NE(a, b) << "the same id lasting longer";
}

// ---- month dots -------------------------------------------------------------------------------

namespace {
MonthDotMap dotsFor(const std::vector<CalendarOccurrence>& occurrences, Instant month = local(2025, 3, 15))
{
    FakeCalendarStore store;
    store.setOccurrences(occurrences);
    return *MonthDots::compute(store, month, CivilCalendar::current());
}
} // namespace

TEST(MonthDots, queryWindowOfMarch2025)
{
    const auto w = MonthDots::window(local(2025, 3, 31, 23, 59), CivilCalendar::current());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->start, local(2025, 2, 22));
    EXPECT_EQ(w->end, local(2025, 4, 15));
}

struct DotRow {
    const char* name;
    bool isAllDay;
    int startDay, startHour, endDay, endHour;
    std::vector<int> markedDays; // days of March 2025
};

class MonthDotSpans : public ::testing::TestWithParam<DotRow> {};

TEST_P(MonthDotSpans, markExactlyTheCoveredDays)
{
    const auto& r = GetParam();
    CalendarOccurrence o = timed("e", local(2025, 3, r.startDay, r.startHour), local(2025, 3, r.endDay, r.endHour));
    o.isAllDay = r.isAllDay;
    const auto dots = dotsFor({o});
    std::vector<int> marked;
    for (auto it = dots.begin(); it != dots.end(); ++it)
        marked.push_back(CivilCalendar::current().dateOf(it.key())->day);
    EXPECT_EQ(marked, r.markedDays);
}

INSTANTIATE_TEST_SUITE_P(
    Spans,
    MonthDotSpans,
    ::testing::Values(DotRow{"one_day_all_day", true, 10, 0, 11, 0, {10}},
                      DotRow{"three_day_all_day", true, 10, 0, 13, 0, {10, 11, 12}},
                      DotRow{"overnight_timed", false, 10, 22, 11, 1, {10, 11}},
                      DotRow{"timed_ending_at_midnight_marks_next_day", false, 10, 23, 11, 0, {10, 11}},
                      DotRow{"zero_length_timed", false, 10, 9, 10, 9, {10}},
                      DotRow{"zero_length_all_day_marks_nothing", true, 10, 0, 10, 0, {}},
                      DotRow{"all_day_across_spring_forward", true, 29, 0, 31, 0, {29, 30}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MonthDots, atMostThreeColoursInTheOrderMetAndNoRepeats)
{
    const Instant day = local(2025, 3, 10);
    const auto dots = dotsFor({timed("a", day + 3600, day + 7200, kRed),
                               timed("b", day + 3600, day + 7200, kRed),
                               timed("c", day + 3600, day + 7200, kGreen),
                               timed("d", day + 3600, day + 7200, kBlue),
                               timed("e", day + 3600, day + 7200, kGrey),
                               timed("f", day + 3600, day + 7200, kPink)});
    EXPECT_EQ(dots.value(day), (DayColors{kRed, kGreen, kBlue}));
}

TEST(MonthDots, anEventReachingBeyondTheWindowMarksItsDaysThere)
{
    const auto dots = dotsFor({allDay("long", local(2025, 2, 15), local(2025, 5, 2))});
    EXPECT_TRUE(dots.contains(local(2025, 2, 15)));
    EXPECT_TRUE(dots.contains(local(2025, 5, 1)));
    EXPECT_FALSE(dots.contains(local(2025, 5, 2)));
    EXPECT_EQ(dots.size(), 14 + 31 + 30 + 1);
}

TEST(MonthDots, daysInNewYorkFollowTheSystemZone)
{
    ScopedEnv tz("TZ", "America/New_York");
    // 9 March 2025: New York springs forward; 23:30 local on the 8th is 04:30 UTC on the 9th.
    const Instant start = inZone("America/New_York", 2025, 3, 8, 23, 30);
    const auto dots = dotsFor({timed("late", start, start + 600)});
    ASSERT_EQ(dots.size(), 1);
    EXPECT_EQ(dots.firstKey(), inZone("America/New_York", 2025, 3, 8));
}

TEST(MonthDots, aPathologicalSpanIsBounded)
{
    const auto dots = dotsFor({timed("centuries", Instant{utcSeconds(1000, 1, 1)}, Instant{utcSeconds(9000, 1, 1)})});
    EXPECT_LT(dots.size(), 2 * 366 + 60);
    EXPECT_TRUE(dots.contains(local(2025, 3, 1)));
}

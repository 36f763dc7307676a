// The calendar service the program makes: its sources follow the `calendarSources` preference while
// it runs. Loads run through the store's executor seam, at once on this thread.
#include "app/SystemCalendar.h"
#include "prefs/Prefs.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"

using namespace kalvix;
using namespace kalvix::test;

namespace {

QByteArray oneEvent(const QByteArray& title, const QByteArray& start)
{
    return "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:" + title + "\r\nSUMMARY:" + title + "\r\nDTSTART:" + start +
           "\r\nDURATION:PT1H\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

QStringList titles(const QList<DayEvent>& events)
{
    QStringList out;
    for (const DayEvent& e : events)
        out.append(e.title);
    return out;
}

} // namespace

TEST(SystemCalendar, aChangedSourcesPreferenceReadsTheNewCalendars)
{
    testApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath(u"work.ics"_qs), oneEvent("Standup", "20250305T140000Z"));
    writeFile(dir.filePath(u"home.ics"_qs), oneEvent("Dentist", "20250306T090000Z"));
    MemoryPreferencesStore prefs;
    prefs.set(Pref::calendarSources, {dir.filePath(u"work.ics"_qs)});
    FakeTimeSource time(local(2025, 3, 5, 10));
    const auto service = createSystemCalendarService(prefs, time, {[](std::function<void()> task) { task(); }, false});
    processQueued(); // the load's result, then the access answer
    ASSERT_EQ(service->access(), CalendarAccess::fullAccess);
    EXPECT_EQ(titles(service->upNext()), QStringList{u"Standup"_qs});

    // As a hand edit of the file would arrive: through the preferences' change signal.
    prefs.simulateExternalEdit(
        {{Pref::calendarSources.name, PreferencesStore::encodeList({dir.filePath(u"home.ics"_qs)})}});
    processQueued(); // the load's result, then the service's refresh
    EXPECT_EQ(titles(service->upNext()), QStringList{u"Dentist"_qs});
    EXPECT_EQ(service->store().calendars().value(0).path, dir.filePath(u"home.ics"_qs));
}

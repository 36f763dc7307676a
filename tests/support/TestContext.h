#pragma once
// A whole application context made of fakes: preferences in memory, a clock that only moves when the test
// moves it (and no timer), a calendar store the test fills, login items and shell actions that record what
// they were asked. Views and the shell are built on context(); the parts stay reachable for the test.
#include "calendar/CalendarService.h"
#include "clock/ClockModel.h"
#include "clock/WorldClockStore.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "countdowns/CountdownStore.h"
#include "desktop/LoginItems.h"
#include "tests/support/FakeCalendarStore.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"

#include <QStringList>

#include <vector>

namespace kalvix::test {

class RecordingLoginItems final : public LoginItems {
public:
    bool registerApp() override
    {
        ++registrations;
        if (succeed)
            enabled = true;
        return succeed;
    }
    bool unregisterApp() override
    {
        ++unregistrations;
        if (succeed)
            enabled = false;
        return succeed;
    }
    bool isEnabled() const override { return enabled; }
    bool refresh() override
    {
        ++refreshes;
        return true;
    }

    bool succeed = true;
    bool enabled = false;
    int registrations = 0;
    int unregistrations = 0;
    int refreshes = 0;
};

class RecordingActions final : public AppActions {
public:
    void openCalendarApp(Instant day, CalendarAppReply reply) override
    {
        calendarDays.push_back(day);
        answer(reply);
    }
    void openCalendarApp(CalendarAppReply reply) override
    {
        ++plainCalendarOpens;
        answer(reply);
    }
    void openSettings(SettingsTab tab) override { settingsTabs.push_back(tab); }
    void openFolder(const QString& path) override { folders << path; }
    void quit() override { ++quits; }

    std::vector<Instant> calendarDays;
    int plainCalendarOpens = 0;
    // What requests for the calendar application are told at once; by default, that it opens.
    CalendarAppOutcome calendarAppOutcome = CalendarAppOutcome::opening;
    std::vector<SettingsTab> settingsTabs;
    QStringList folders;
    int quits = 0;

private:
    void answer(const CalendarAppReply& reply) const
    {
        if (reply)
            reply(calendarAppOutcome);
    }
};

class TestContext {
public:
    // The clock starts at `now`; the store answers with `access`.
    explicit TestContext(Instant now = Instant{0}, CalendarAccess access = CalendarAccess::fullAccess);
    ~TestContext();
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    AppContext& context() { return m_context; }

    // Moves the fake time and lets the clock take it, as its timer would.
    void setNow(Instant now);
    void advance(double seconds);

    MemoryPreferencesStore prefs;
    FakeTimeSource time;
    FakeCalendarStore store;
    RecordingLoginItems loginItems;
    RecordingActions actions;
    SettingsState settingsState;
    ClockModel clock;
    CalendarService calendar;
    WorldClockStore worldClocks;
    CountdownStore countdowns;

private:
    AppContext m_context;
};

} // namespace kalvix::test

#pragma once
// The objects a running Kalvix shares between its parts. main() builds them once from the user's files and
// the system clock and hands them down; a test builds its own from fakes. Nothing below app/ reaches for a
// process-wide instance: the shell, the popover and the Settings window get everything through here.
//
// Every object referred to outlives every user of the context. Main thread only.
#include "time/Instant.h"

#include <QString>

#include <functional>

namespace kalvix {

class CalendarService;
class ClockModel;
class CountdownStore;
class LoginItems;
class PreferencesStore;
class SettingsState;
class TimeSource;
class WorldClockStore;
enum class SettingsTab;

// What became of a request for the calendar application, told on the main thread: it is being opened, or
// none is installed (and the popover says so rather than nothing happening).
enum class CalendarAppOutcome { opening, none };
using CalendarAppReply = std::function<void(CalendarAppOutcome)>;

// What the views ask of the shell: to leave the popover for another program or window, or to end Kalvix.
// Each returns at once; what happens later is the shell's. Only a missing calendar application is told
// back (`reply`, which may be empty); other failures are not shown.
class AppActions {
public:
    virtual ~AppActions() = default;

    // The user's calendar application, showing the local day that contains `day`.
    virtual void openCalendarApp(Instant day, CalendarAppReply reply) = 0;
    // The user's calendar application, as it opens by itself.
    virtual void openCalendarApp(CalendarAppReply reply) = 0;
    // The Settings window, scrolled to `tab`.
    virtual void openSettings(SettingsTab tab) = 0;
    // A folder in the user's file manager (the calendar source that could not be read).
    virtual void openFolder(const QString& path) = 0;
    virtual void quit() = 0;
};

struct AppContext {
    PreferencesStore& prefs;
    const TimeSource& time;
    ClockModel& clock;
    CalendarService& calendar;
    WorldClockStore& worldClocks;
    CountdownStore& countdowns;
    SettingsState& settingsState;
    LoginItems& loginItems;
    AppActions& actions;
};

} // namespace kalvix

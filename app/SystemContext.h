#pragma once
// The running program's shared objects: the clock, the calendar service, the stores and the Settings
// window's state over the process-wide defaults (the user's own files and the system clock), and the
// desktop, gathered into the AppContext that main hands down. Made once, after the application object,
// and kept until the end of main: this is their one owner, and everything else is handed the context.
//
// The calendars start loading when it is made.
#include "app/SettingsOpener.h"
#include "app/ShellActions.h"
#include "clock/ClockModel.h"
#include "clock/WorldClockStore.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "countdowns/CountdownStore.h"
#include "desktop/LoginItems.h"

#include <memory>

namespace kalvix {

class SystemContext final {
public:
    SystemContext();
    ~SystemContext();
    SystemContext(const SystemContext&) = delete;
    SystemContext& operator=(const SystemContext&) = delete;

    AppContext& context() { return m_context; }
    SettingsOpener& settingsOpener() { return m_settingsOpener; }

private:
    ClockModel m_clock;
    std::unique_ptr<CalendarService> m_calendar;
    WorldClockStore m_worldClocks;
    CountdownStore m_countdowns;
    SettingsState m_settingsState;
    XdgAutostart m_autostart;
    SettingsOpener m_settingsOpener;
    ShellActions m_actions;
    AppContext m_context;
};

} // namespace kalvix

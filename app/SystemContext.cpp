#include "app/SystemContext.h"

#include "app/SystemCalendar.h"
#include "calendar/CalendarService.h"
#include "prefs/Prefs.h"
#include "settings/SettingsView.h"
#include "time/TimeSource.h"

#include <QCoreApplication>

namespace kalvix {

SystemContext::SystemContext()
    : m_clock(Prefs::standard(), TimeSource::system())
    , m_calendar(createSystemCalendarService(Prefs::standard(), TimeSource::system()))
    , m_worldClocks(Prefs::standard())
    , m_countdowns(Prefs::standard())
    // The command the user runs (the launcher names itself), not the program file it starts.
    , m_autostart(XdgAutostart::defaultEntryPath(),
                  qEnvironmentVariable("KALVIX_COMMAND", QCoreApplication::applicationFilePath()))
    , m_settingsOpener(m_settingsState, [this](QWidget* window) { return new SettingsView(m_context, window); })
    , m_actions(CalendarAppLauncher::Environment::standard(&Prefs::standard()), m_settingsOpener)
    , m_context{Prefs::standard(),
                TimeSource::system(),
                m_clock,
                *m_calendar,
                m_worldClocks,
                m_countdowns,
                m_settingsState,
                m_autostart,
                m_actions}
{
}

SystemContext::~SystemContext() = default;

} // namespace kalvix

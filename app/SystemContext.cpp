#include "app/SystemContext.h"

#include "app/AppDelegate.h"
#include "clock/WorldClockStore.h"
#include "countdowns/CountdownStore.h"
#include "prefs/Prefs.h"
#include "prefs/SettingsState.h"
#include "settings/SettingsView.h"
#include "time/TimeSource.h"

#include <QCoreApplication>

namespace kalvix {

SystemContext::SystemContext()
    // The command the user runs (the launcher names itself), not the program file it starts.
    : m_autostart(XdgAutostart::defaultEntryPath(),
                  qEnvironmentVariable("KALVIX_COMMAND", QCoreApplication::applicationFilePath()))
    , m_settingsOpener(SettingsState::shared(), [this](QWidget* window) { return new SettingsView(m_context, window); })
    , m_actions(CalendarAppLauncher::Environment::standard(&Prefs::standard()), m_settingsOpener)
    , m_context{Prefs::standard(),
                TimeSource::system(),
                AppDelegate::clock(),
                AppDelegate::calendarService(),
                WorldClockStore::shared(),
                CountdownStore::shared(),
                SettingsState::shared(),
                m_autostart,
                m_actions}
{
}

SystemContext::~SystemContext() = default;

} // namespace kalvix

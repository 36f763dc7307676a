#include "app/ShellActions.h"

#include "app/SettingsOpener.h"
#include "desktop/CommandRunner.h"

#include <QCoreApplication>

namespace kalvix {

ShellActions::ShellActions(CalendarAppLauncher::Environment launcher, SettingsOpener& settings)
    : m_launcher(std::move(launcher))
    , m_settings(settings)
{
}

void ShellActions::openCalendarApp(Instant day, CalendarAppReply reply)
{
    CalendarAppLauncher::open(day, m_launcher, std::move(reply));
}

void ShellActions::openCalendarApp(CalendarAppReply reply)
{
    CalendarAppLauncher::open(m_launcher, std::move(reply));
}

void ShellActions::openSettings(SettingsTab tab)
{
    m_settings.open(tab);
}

void ShellActions::openFolder(const QString& path)
{
    // A failure to start the opener is not shown: the denied message already names the problem.
    startDetached({QStringLiteral("xdg-open"), path}, QString());
}

void ShellActions::quit()
{
    QCoreApplication::quit();
}

} // namespace kalvix

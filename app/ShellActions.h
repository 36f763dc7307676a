#pragma once
// The shell's answers to what the views ask (see AppActions): the calendar application through
// CalendarAppLauncher, the Settings window through a SettingsOpener, folders through the desktop's opener.
#include "app/CalendarAppLauncher.h"
#include "context/AppContext.h"

namespace kalvix {

class SettingsOpener;

class ShellActions final : public AppActions {
public:
    // `settings` must outlive these actions.
    ShellActions(CalendarAppLauncher::Environment launcher, SettingsOpener& settings);

    void openCalendarApp(Instant day, CalendarAppReply reply) override;
    void openCalendarApp(CalendarAppReply reply) override;
    void openSettings(SettingsTab tab) override;
    void openFolder(const QString& path) override;
    void quit() override;

private:
    CalendarAppLauncher::Environment m_launcher;
    SettingsOpener& m_settings;
};

} // namespace kalvix

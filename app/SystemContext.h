#pragma once
// The running program's shared objects: the process-wide defaults over the user's own files, the system
// clock and the desktop, gathered into the AppContext that main hands down. Made once, after the
// application object, and kept until the end of main.
#include "app/SettingsOpener.h"
#include "app/ShellActions.h"
#include "context/AppContext.h"
#include "desktop/LoginItems.h"

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
    XdgAutostart m_autostart;
    SettingsOpener m_settingsOpener;
    ShellActions m_actions;
    AppContext m_context;
};

} // namespace kalvix

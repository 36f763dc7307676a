#include "prefs/SettingsState.h"

namespace kalvix {

SettingsState::SettingsState(QObject* parent)
    : QObject(parent)
{
}

SettingsState& SettingsState::shared()
{
    static SettingsState* state = new SettingsState;
    return *state;
}

void SettingsState::setTab(SettingsTab tab)
{
    m_tab = tab;
    Q_EMIT tabChanged(tab);
}

} // namespace kalvix

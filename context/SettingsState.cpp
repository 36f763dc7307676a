#include "context/SettingsState.h"

namespace kalvix {

SettingsState::SettingsState(QObject* parent)
    : QObject(parent)
{
}

void SettingsState::setTab(SettingsTab tab)
{
    m_tab = tab;
    Q_EMIT tabChanged(tab);
}

} // namespace kalvix

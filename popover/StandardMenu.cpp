#include "popover/StandardMenu.h"

#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "popover/ViewModePicker.h"

#include <QActionGroup>

namespace kalvix {

StandardMenu::StandardMenu(AppContext& context, QWidget* parent)
    : QMenu(parent)
{
    const QList<QAction*> modes = ViewModePicker::addToMenu(*this, context.prefs)->actions();
    m_standard = modes.at(0);
    m_compact = modes.at(1);
    addSeparator();
    m_settings = addAction(QStringLiteral("Settings\u2026"));
    connect(m_settings, &QAction::triggered, this, [&context] { context.actions.openSettings(SettingsTab::general); });
    addSeparator();
    m_quit = addAction(QStringLiteral("Quit Kalvix"));
    connect(m_quit, &QAction::triggered, this, [&context] { context.actions.quit(); });
}

} // namespace kalvix

#include "popover/StandardMenu.h"

#include "context/AppContext.h"
#include "prefs/Prefs.h"
#include "prefs/SettingsState.h"
#include "ui/PreferenceBinding.h"

#include <QActionGroup>

namespace kalvix {

StandardMenu::StandardMenu(AppContext& context, QWidget* parent)
    : QMenu(parent)
    , m_compactMode(new ui::BoolBinding(context.prefs, PrefKey::compactMode, false, this))
{
    auto* modes = new QActionGroup(this);
    modes->setExclusive(true);
    m_standard = addAction(QStringLiteral("Standard"));
    m_compact = addAction(QStringLiteral("Compact"));
    for (QAction* mode : {m_standard, m_compact}) {
        mode->setCheckable(true);
        modes->addAction(mode);
    }
    connect(m_standard, &QAction::triggered, this, [this] { m_compactMode->set(false); });
    connect(m_compact, &QAction::triggered, this, [this] { m_compactMode->set(true); });
    addSeparator();
    m_settings = addAction(QStringLiteral("Settings\u2026"));
    connect(m_settings, &QAction::triggered, this, [&context] { context.actions.openSettings(SettingsTab::general); });
    addSeparator();
    m_quit = addAction(QStringLiteral("Quit Kalvix"));
    connect(m_quit, &QAction::triggered, this, [&context] { context.actions.quit(); });

    connect(m_compactMode, &ui::BoolBinding::changed, this, &StandardMenu::showMode);
    showMode();
}

void StandardMenu::showMode()
{
    (m_compactMode->value() ? m_compact : m_standard)->setChecked(true);
}

} // namespace kalvix

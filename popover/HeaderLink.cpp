#include "popover/HeaderLink.h"

#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "ui/PlainButton.h"
#include "ui/TextStyles.h"

#include <QVBoxLayout>

namespace kalvix {
namespace {
constexpr int kFontSize = 14;
} // namespace

HeaderLink::HeaderLink(const QString& title, SettingsTab tab, AppActions& actions, QWidget* parent)
    : QWidget(parent)
    , m_tab(tab)
    , m_button(new ui::PlainButton(
          title, ui::systemFont(kFontSize, QFont::Normal), ui::Ink::role(ui::ColorRole::accent), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusProxy(m_button);
    m_button->setAccessibleDescription(tr("Opens Settings at %1").arg(sectionName(tab)));
    connect(m_button, &ui::PlainButton::clicked, this, [this, &actions] { actions.openSettings(m_tab); });
}

QString HeaderLink::sectionName(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return tr("General");
    case SettingsTab::menuBar:
        return tr("Menu Bar Clock");
    case SettingsTab::worldClocks:
        return tr("World Clocks");
    case SettingsTab::countdowns:
        return tr("Countdowns");
    }
    return tr("General");
}

} // namespace kalvix

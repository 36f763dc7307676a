#include "settings/SettingsView.h"

#include "context/AppContext.h"
#include "prefs/SettingsState.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kalvix {
namespace {

QString titleOf(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("General");
    case SettingsTab::menuBar:
        return QStringLiteral("Menu Bar Clock");
    case SettingsTab::worldClocks:
        return QStringLiteral("World Clocks");
    case SettingsTab::countdowns:
        return QStringLiteral("Countdowns");
    }
    return {};
}

} // namespace

SettingsView::SettingsView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_section(new QLabel(titleOf(context.settingsState.tab()), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    QFont heading = m_section->font();
    heading.setBold(true);
    m_section->setFont(heading);
    layout->addWidget(m_section);
    auto* note = new QLabel(tr("The settings will appear here."), this);
    note->setEnabled(false);
    layout->addWidget(note);
    layout->addStretch();
    setFixedSize(kWidth, kHeight);

    connect(&context.settingsState, &SettingsState::tabChanged, this, [this](SettingsTab tab) {
        m_section->setText(titleOf(tab));
    });
}

QString SettingsView::sectionTitle() const
{
    return m_section->text();
}

} // namespace kalvix

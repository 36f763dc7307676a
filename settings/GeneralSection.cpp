#include "settings/GeneralSection.h"

#include "clock/Cities.h"
#include "desktop/LoginItems.h"
#include "prefs/Prefs.h"
#include "settings/FormGroup.h"
#include "settings/FormPicker.h"
#include "settings/FormRow.h"
#include "settings/SettingsChoices.h"
#include "ui/ClockTip.h"
#include "ui/PreferenceBinding.h"
#include "ui/Switch.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>

namespace kalvix::settings {

GeneralSection::GeneralSection(PreferencesStore& prefs, LoginItems& loginItems, QWidget* parent)
    : FormSection(QStringLiteral("General"), ui::generalFooterText(), parent)
    , m_loginItems(loginItems)
    , m_homeCity(new ui::Binding(prefs, Pref::homeCity, this))
    , m_launchAtLogin(new ui::Switch(QStringLiteral("Launch at login")))
    , m_launchMessage(
          new ui::TextLabel(QString(), ui::textStyleFont(ui::TextStyle::caption), ui::Ink::fixed(ui::FixedColor::red)))
    , m_homeCityPicker(new FormPicker(QStringLiteral("Home city")))
{
    group()->addRow(FormRow::labeled(QStringLiteral("Launch at login"), m_launchAtLogin));
    auto* messageRow = new FormRow;
    m_launchMessage->setFit(ui::TextLabel::Fit::wrap);
    messageRow->rowLayout()->addWidget(m_launchMessage, 1);
    group()->addRow(messageRow);
    m_launchMessage->hide();
    messageRow->hide();
    group()->addRow(FormRow::labeled(QStringLiteral("Home city"), m_homeCityPicker));
    for (const City& city : Cities::all())
        m_homeCityPicker->addItem(city.name, city.name);

    readLaunchAtLogin();
    showHomeCity();

    // The user's own flips only: reading the service's state must not call it back.
    connect(m_launchAtLogin, &ui::Switch::clicked, this, &GeneralSection::setLaunchAtLogin);
    connect(m_homeCityPicker, &FormPicker::activated, this, [this](int index) {
        m_homeCity->set(m_homeCityPicker->itemData(index).toString());
    });
    connect(m_homeCity, &ui::PreferenceBinding::changed, this, &GeneralSection::showHomeCity);
}

void GeneralSection::readLaunchAtLogin()
{
    m_launchAtLogin->setChecked(m_loginItems.isEnabled());
}

void GeneralSection::setLaunchAtLogin(bool on)
{
    const bool done = m_loginItems.setEnabled(on);
    const bool enabled = m_loginItems.isEnabled();
    m_launchAtLogin->setChecked(enabled); // what will happen at the next login, whatever was asked
    const bool failed = !done || enabled != on;
    if (failed)
        m_launchMessage->setText(on ? tr("Kalvix could not be set to start at login: its autostart entry could not "
                                         "be written.")
                                    : tr("Kalvix could not be kept from starting at login: its autostart entry "
                                         "could not be changed."));
    m_launchMessage->setVisible(failed);
    m_launchMessage->parentWidget()->setVisible(failed);
}

void GeneralSection::showHomeCity()
{
    m_homeCityPicker->setCurrentIndex(homeCityIndex(m_homeCity->value()));
}

QList<QWidget*> GeneralSection::focusChain() const
{
    return {m_launchAtLogin, m_homeCityPicker};
}

} // namespace kalvix::settings

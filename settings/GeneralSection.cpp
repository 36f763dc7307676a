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

namespace kalvix::settings {

GeneralSection::GeneralSection(PreferencesStore& prefs, LoginItems& loginItems, QWidget* parent)
    : FormSection(QStringLiteral("General"), ui::generalFooterText(), parent)
    , m_loginItems(loginItems)
    , m_homeCity(new ui::Binding(prefs, Pref::homeCity, this))
    , m_launchAtLogin(new ui::Switch(QStringLiteral("Launch at login")))
    , m_homeCityPicker(new FormPicker(QStringLiteral("Home city")))
{
    group()->addRow(FormRow::labeled(QStringLiteral("Launch at login"), m_launchAtLogin));
    group()->addRow(FormRow::labeled(QStringLiteral("Home city"), m_homeCityPicker));
    for (const City& city : Cities::all())
        m_homeCityPicker->addItem(city.name, city.name);

    readLaunchAtLogin();
    showHomeCity();

    // The user's own flips only: reading the service's state must not call it back.
    connect(m_launchAtLogin, &ui::Switch::clicked, this, [this](bool on) {
        if (on)
            m_loginItems.registerApp();
        else
            m_loginItems.unregisterApp();
    });
    connect(m_homeCityPicker, &FormPicker::activated, this, [this](int index) {
        m_homeCity->set(m_homeCityPicker->itemData(index).toString());
    });
    connect(m_homeCity, &ui::PreferenceBinding::changed, this, &GeneralSection::showHomeCity);
}

void GeneralSection::readLaunchAtLogin()
{
    m_launchAtLogin->setChecked(m_loginItems.isEnabled());
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

#pragma once
// The General section: "Launch at login" and "Home city".
//
// The switch stands for the login item as the login-item service reports it: read when the section is made
// and each time the window comes on screen again (the user may have removed the autostart entry meanwhile).
// Flipping it turns the login item on or off for good (an entry the user turned off earlier is turned on
// again, not kept as it was). When that fails the switch goes back to what the service reports, and a line
// under it says so, until the next flip that works. The home-city picker lists the whole catalog in its order and
// follows the homeCity preference from every writer; a stored name outside the catalog shows no city and
// stays stored until the user picks one.
#include "settings/FormSection.h"

namespace kalvix {
class LoginItems;
class PreferencesStore;
namespace ui {
template <typename T> class Binding;
class Switch;
class TextLabel;
} // namespace ui
} // namespace kalvix

namespace kalvix::settings {

class FormPicker;

class GeneralSection final : public FormSection {
    Q_OBJECT
public:
    // `prefs` and `loginItems` must outlive the section.
    GeneralSection(PreferencesStore& prefs, LoginItems& loginItems, QWidget* parent = nullptr);

    // Sets the switch from the login-item service's state now.
    void readLaunchAtLogin();

    QList<QWidget*> focusChain() const override;

    // The line that says a flip of the switch did not take; hidden while there is nothing to say.
    ui::TextLabel* launchAtLoginMessage() const { return m_launchMessage; }

private:
    void setLaunchAtLogin(bool on);
    void showHomeCity();

    LoginItems& m_loginItems;
    ui::Binding<QString>* m_homeCity;
    ui::Switch* m_launchAtLogin;
    ui::TextLabel* m_launchMessage;
    FormPicker* m_homeCityPicker;
};

} // namespace kalvix::settings

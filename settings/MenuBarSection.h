#pragma once
// The Menu Bar Clock section: three switches and two pickers that shape the status item's title.
//
// Each control writes its preference the moment the user changes it and shows the preference's value from
// every writer (the popover, the file edited by hand). The clock reads the preferences at its next tick, so
// the title follows within a second. A stored number that matches no picker option shows no option and
// stays stored until the user chooses one.
#include "settings/FormSection.h"

namespace kalvix {
class PreferencesStore;
namespace ui {
template <typename T> class Binding;
class Switch;
} // namespace ui
} // namespace kalvix

namespace kalvix::settings {

class FormPicker;
struct PickerOption;

class MenuBarSection final : public FormSection {
    Q_OBJECT
public:
    // `prefs` must outlive the section.
    explicit MenuBarSection(PreferencesStore& prefs, QWidget* parent = nullptr);

    QList<QWidget*> focusChain() const override;

private:
    ui::Switch* addSwitch(const QString& label, ui::Binding<bool>* binding);
    // For the time and date styles, whose options carry the styles' stored integers.
    template <typename Style>
    FormPicker* addPicker(const QString& label, const QList<PickerOption>& options, ui::Binding<Style>* binding);

    QList<QWidget*> m_controls;
};

} // namespace kalvix::settings

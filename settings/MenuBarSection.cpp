#include "settings/MenuBarSection.h"

#include "prefs/Prefs.h"
#include "settings/FormGroup.h"
#include "settings/FormPicker.h"
#include "settings/FormRow.h"
#include "settings/SettingsChoices.h"
#include "ui/PreferenceBinding.h"
#include "ui/Switch.h"

namespace kalvix::settings {

MenuBarSection::MenuBarSection(PreferencesStore& prefs, QWidget* parent)
    : FormSection(QStringLiteral("Menu Bar Clock"), QString(), parent)
{
    addSwitch(QStringLiteral("Show weekday"), new ui::Binding(prefs, Pref::showWeekday, this));
    addSwitch(QStringLiteral("Show year"), new ui::Binding(prefs, Pref::showYear, this));
    addSwitch(QStringLiteral("Show seconds"), new ui::Binding(prefs, Pref::showSeconds, this));
    addPicker(QStringLiteral("Date style"), dateStyleOptions(), new ui::Binding(prefs, Pref::dateStyle, this));
    addPicker(QStringLiteral("Time format"), timeFormatOptions(), new ui::Binding(prefs, Pref::timeStyle, this));
}

ui::Switch* MenuBarSection::addSwitch(const QString& label, ui::Binding<bool>* binding)
{
    auto* control = new ui::Switch(label);
    group()->addRow(FormRow::labeled(label, control));
    control->setChecked(binding->value());
    connect(control, &ui::Switch::clicked, binding, [binding](bool on) { binding->set(on); });
    connect(binding, &ui::PreferenceBinding::changed, control, [control, binding] {
        control->setChecked(binding->value());
    });
    m_controls.append(control);
    return control;
}

template <typename Style>
FormPicker*
MenuBarSection::addPicker(const QString& label, const QList<PickerOption>& options, ui::Binding<Style>* binding)
{
    auto* picker = new FormPicker(label);
    group()->addRow(FormRow::labeled(label, picker));
    for (const PickerOption& option : options)
        picker->addItem(option.text, option.value);
    const auto show = [picker, binding, options] {
        picker->setCurrentIndex(optionIndex(options, static_cast<int>(binding->value())));
    };
    show();
    connect(picker, &FormPicker::activated, binding, [picker, binding](int index) {
        binding->set(static_cast<Style>(picker->itemData(index).toInt()));
    });
    connect(binding, &ui::PreferenceBinding::changed, picker, show);
    m_controls.append(picker);
    return picker;
}

QList<QWidget*> MenuBarSection::focusChain() const
{
    return m_controls;
}

} // namespace kalvix::settings

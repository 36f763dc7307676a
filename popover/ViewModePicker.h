#pragma once
// The choice between the two popover layouts, editing the compactMode preference: "Standard" (false) and
// "Compact" (true), in that order, all options shown at once with the current one marked. Choosing writes
// the preference at once; the popover then switches layout. A change from anywhere else (the Compact
// layout's expand button, the preferences file) moves the mark.
//
// Two forms: a widget of two exclusive radio buttons, and the same options as checkable items of a menu
// (the Standard layout's pull-down menu).
#include <QWidget>

class QActionGroup;
class QMenu;
class QRadioButton;

namespace kalvix {

class PreferencesStore;

namespace ui {
template <typename T> class Binding;
}

class ViewModePicker final : public QWidget {
    Q_OBJECT
public:
    // `prefs` must outlive the picker.
    explicit ViewModePicker(PreferencesStore& prefs, QWidget* parent = nullptr);

    QRadioButton* standardOption() const { return m_standard; }
    QRadioButton* compactOption() const { return m_compact; }

    // Adds "Standard" and "Compact" to `menu` as one exclusive group; the group (owned by the menu) keeps the
    // mark in step with the preference. `prefs` must outlive the menu.
    static QActionGroup* addToMenu(QMenu& menu, PreferencesStore& prefs);

private:
    void showValue();

    ui::Binding<bool>* m_compactMode;
    QRadioButton* m_standard;
    QRadioButton* m_compact;
};

} // namespace kalvix

#pragma once
// A link in a section's header row ("Edit") that opens the Settings window at the section it edits: the
// title alone in the accent colour, no bezel, the whole label clickable, reachable with Tab and activated
// with Space or Enter. Screen readers hear the title and, as its description, where it leads.
#include <QWidget>

namespace kalvix {

class AppActions;
enum class SettingsTab;

namespace ui {
class PlainButton;
}

class HeaderLink final : public QWidget {
    Q_OBJECT
public:
    // `actions` must outlive the link.
    HeaderLink(const QString& title, SettingsTab tab, AppActions& actions, QWidget* parent = nullptr);

    SettingsTab tab() const { return m_tab; }
    ui::PlainButton* button() const { return m_button; }

    // The section's name as the Settings window shows it ("World Clocks").
    static QString sectionName(SettingsTab tab);

private:
    SettingsTab m_tab;
    ui::PlainButton* m_button;
};

} // namespace kalvix

#pragma once
// Which section the settings window shows. The sections' order here is their order on screen.
#include <QObject>

namespace kalvix {

enum class SettingsTab { general, menuBar, worldClocks, countdowns };

class SettingsState final : public QObject {
    Q_OBJECT
public:
    explicit SettingsState(QObject* parent = nullptr);

    // The process's one instance, made on first use and never destroyed.
    static SettingsState& shared();

    SettingsTab tab() const { return m_tab; }
    // Announces every write, also of the section already shown, so the window scrolls to it again.
    void setTab(SettingsTab tab);

Q_SIGNALS:
    void tabChanged(kalvix::SettingsTab tab);

private:
    SettingsTab m_tab = SettingsTab::general;
};

} // namespace kalvix

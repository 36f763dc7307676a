#pragma once
// Which section the Settings window shows: where the window is, not a preference, so it is not stored.
// The sections' order here is their order on screen. The shell owns the one instance of a running Kalvix
// and hands it down in the AppContext.
#include <QObject>

namespace kalvix {

enum class SettingsTab { general, menuBar, worldClocks, countdowns };

class SettingsState final : public QObject {
    Q_OBJECT
public:
    explicit SettingsState(QObject* parent = nullptr);

    SettingsTab tab() const { return m_tab; }
    // Announces every write, also of the section already shown, so the window scrolls to it again.
    void setTab(SettingsTab tab);

Q_SIGNALS:
    void tabChanged(kalvix::SettingsTab tab);

private:
    SettingsTab m_tab = SettingsTab::general;
};

} // namespace kalvix

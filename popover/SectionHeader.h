#pragma once
// The header row of a popover section: its title in the system font at 16 semibold, and an "Edit" link at
// the far end that opens the Settings window at the section's tab.
#include <QString>

class QHBoxLayout;
class QWidget;

namespace kalvix {

class AppActions;
enum class SettingsTab;

// A row parented to `parent`; the caller adds it to its own layout.
QHBoxLayout* makeSectionHeader(const QString& title, SettingsTab tab, AppActions& actions, QWidget* parent);

} // namespace kalvix

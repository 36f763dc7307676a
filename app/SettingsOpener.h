#pragma once
// Opens Kalvix's settings window at a section, or brings it back.
//
// The window is made on the first open() and kept for the life of the process: closing it only hides it,
// and it is centred once, when made, so later opens show it where the user left it. Main thread only.
class QWidget;

namespace kalvix {

enum class SettingsTab;

namespace SettingsOpener {

// Sets SettingsState::shared().tab (the window scrolls there even when already open), then shows the
// window in front, activated.
void open(SettingsTab tab);

// The window, or null before the first open().
QWidget* window();

} // namespace SettingsOpener
} // namespace kalvix

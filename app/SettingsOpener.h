#pragma once
// Opens Kalvix's settings window at a section, or brings it back.
//
// The window is made on the first open() and kept as long as the opener: closing it only hides it, and it
// is centred once, when made, so later opens show it where the user left it. Escape and Ctrl+W close it.
// Main thread only.
#include <QPointer>

#include <functional>
#include <memory>

class QWidget;

namespace kalvix {

class SettingsState;
enum class SettingsTab;

class SettingsOpener final {
public:
    // Makes the window's content, a child of the given window. The window takes the content's size and keeps it.
    using MakeContent = std::function<QWidget*(QWidget* window)>;

    // `state` is the section the window shows, and must outlive the opener.
    SettingsOpener(SettingsState& state, MakeContent makeContent);
    ~SettingsOpener();
    SettingsOpener(const SettingsOpener&) = delete;
    SettingsOpener& operator=(const SettingsOpener&) = delete;

    // Sets the state's tab (the window scrolls there even when already open), then shows the window in front,
    // activated.
    void open(SettingsTab tab);

    // The window, or null before the first open().
    QWidget* window() const { return m_window.get(); }

private:
    SettingsState& m_state;
    MakeContent m_makeContent;
    std::unique_ptr<QWidget> m_window;
};

} // namespace kalvix

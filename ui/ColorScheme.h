#pragma once
// Light or dark: the application's palette follows the desktop's choice, also when it changes while
// Kalvix runs, for the popover and the Settings window alike.
//
// Where the platform theme brings its own dark palette (a dark KDE colour scheme, qt6ct), that palette is
// kept. Elsewhere (GNOME, most tiling setups, the offscreen platform) Qt's palette stays light whatever the
// desktop prefers, so the desktop's preference is read from the settings portal (desktop/SettingsPortal)
// and Kalvix's own dark palette is used when it says dark.
//
// KALVIX_COLOR_SCHEME=light or dark overrides both with Kalvix's own palettes, for pictures and tests.
#include <QObject>
#include <QPalette>

#include <optional>

namespace kalvix::ui {

enum class ColorScheme { noPreference, dark, light };

// The override from KALVIX_COLOR_SCHEME; nothing when unset or not "light" or "dark".
std::optional<ColorScheme> colorSchemeOverride();
// The portal's color-scheme value; anything unknown is no preference.
ColorScheme colorSchemeFromPortal(uint value);
// The palette for an override, the desktop's preference and the platform theme's own palette.
QPalette paletteFor(std::optional<ColorScheme> override, ColorScheme desktop, const QPalette& platform);

class DesktopColorScheme final : public QObject {
    Q_OBJECT
public:
    // Applies the palette at once and keeps it in step. With `listen`, asks the desktop's settings
    // portal and follows its changes; without, only setDesktopScheme() tells it (tests).
    explicit DesktopColorScheme(bool listen = true, QObject* parent = nullptr);

    ColorScheme desktopScheme() const { return m_desktop; }
    // The desktop's preference changed (from the portal, or a test).
    void setDesktopScheme(ColorScheme scheme);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    ColorScheme m_desktop = ColorScheme::noPreference;
    bool m_applying = false;
};

} // namespace kalvix::ui

#include "ui/ColorScheme.h"

#include "desktop/SettingsPortal.h"
#include "ui/ColorRoles.h"

#include <QApplication>

namespace kalvix::ui {

std::optional<ColorScheme> colorSchemeOverride()
{
    const QString value = qEnvironmentVariable("KALVIX_COLOR_SCHEME").trimmed().toLower();
    if (value == u"light")
        return ColorScheme::light;
    if (value == u"dark")
        return ColorScheme::dark;
    return std::nullopt;
}

ColorScheme colorSchemeFromPortal(uint value)
{
    switch (value) {
    case 1:
        return ColorScheme::dark;
    case 2:
        return ColorScheme::light;
    default:
        return ColorScheme::noPreference;
    }
}

QPalette paletteFor(std::optional<ColorScheme> override, ColorScheme desktop, const QPalette& platform)
{
    if (override == ColorScheme::light)
        return lightPalette();
    if (override == ColorScheme::dark)
        return darkPalette();
    if (isDark(platform))
        return platform; // the theme's own dark palette
    return desktop == ColorScheme::dark ? darkPalette() : platform;
}

DesktopColorScheme::DesktopColorScheme(bool listen, QObject* parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
    apply();
    if (listen && !colorSchemeOverride()) {
        auto* portal = new SettingsPortal(this);
        connect(portal, &SettingsPortal::colorSchemeChanged, this, [this](uint value) {
            setDesktopScheme(colorSchemeFromPortal(value));
        });
    }
}

void DesktopColorScheme::setDesktopScheme(ColorScheme scheme)
{
    if (scheme == m_desktop)
        return;
    m_desktop = scheme;
    apply();
}

void DesktopColorScheme::apply()
{
    m_applying = true;
    QApplication::setPalette(QPalette()); // back to the platform theme's palette, to look at it afresh
    const QPalette platform = QGuiApplication::palette();
    const QPalette chosen = paletteFor(colorSchemeOverride(), m_desktop, platform);
    if (chosen != platform)
        QApplication::setPalette(chosen);
    m_applying = false;
}

bool DesktopColorScheme::eventFilter(QObject* watched, QEvent* event)
{
    // The platform theme changed (a KDE colour scheme switched): decide again from its new palette.
    if (watched == qApp && event->type() == QEvent::ThemeChange && !m_applying)
        apply();
    return QObject::eventFilter(watched, event);
}

} // namespace kalvix::ui

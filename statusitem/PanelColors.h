#pragma once
// The colours to draw the clock in, so it reads on the panel that shows it. Each host is asked the way
// it decides its own look: waybar's style sheet, Xfce's panel and theme settings, KDE Plasma's theme and
// colour scheme (Breeze's light look where neither is set), LXQt's panel settings and theme, the GTK
// theme. Where nothing tells, or a panel is see-through over an unknown desktop, the text is light with
// a dark outline around every glyph, which reads on any ground.
//
// Bad input (a missing, unreadable or corrupt file, a colour that does not parse) counts as "does not
// tell" and falls through to the next source, never further than the outlined fallback.
#include "statusitem/StatusHost.h"
#include "statusitem/TitleImage.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kalvix {

// The least contrast the clock's text keeps against its panel: WCAG's level for body text.
inline constexpr double kLeastContrast = 4.5;

// Where the hosts keep their settings and themes: the user's config folder, the config folders below
// it in rank ($XDG_CONFIG_DIRS) and the data folders ($XDG_DATA_HOME, then $XDG_DATA_DIRS).
struct PanelFiles {
    QString configHome;
    QStringList configDirs;
    QStringList dataDirs;
    static PanelFiles fromEnvironment();
    friend bool operator==(const PanelFiles&, const PanelFiles&) = default;
};

// The ink for the item in `host`. `sources`, when given, receives every file the ink was looked for in,
// missing ones too: writing, replacing or creating any of them may change the ink.
ItemInk panelInk(const StatusHost& host, const PanelFiles& files, QStringList* sources = nullptr);

// The two inks Kalvix draws in: for dark panels and for light ones.
QColor lightInk();
QColor darkInk();

// WCAG's contrast ratio of two opaque colours, from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// The ink for a panel whose ground is any of `grounds` (a gradient's stops, a see-through colour over
// the lightest and darkest desktop): the one of light and dark text whose worst contrast is best,
// outlined when even that stays below kLeastContrast. Outlined light ink when no ground is known.
ItemInk inkOnGrounds(const QList<QColor>& grounds);

// The readers behind panelInk, each from a file's text; empty when the text does not say.
std::optional<QColor> waybarInk(const QString& styleSheet);
std::optional<bool> xfcePanelIsDark(const QString& panelChannel, const QString& xsettingsChannel);
std::optional<bool> gtkThemeIsDark(const QString& settingsIni);

// A KDE colour scheme's colours for what a Plasma panel shows (kdeglobals, a *.colors scheme or a
// Plasma theme's colors file): the Window set's text, and the Window and Header sets' grounds.
struct KdeColours {
    QColor text;           // invalid when not given
    QList<QColor> grounds; // empty when not given
};
KdeColours kdeColours(const QString& schemeText);

// The ground an LXQt panel theme (its lxqt-panel.qss) gives the panel: the colours it may show, with a
// see-through colour given over black and over white. Empty when the theme takes it from elsewhere
// (palette()) or does not say.
QList<QColor> lxqtPanelGrounds(const QString& panelStyleSheet);

// The ground the user chose for the LXQt panel that holds the tray in its own settings (panel.conf's
// background-color, seen through at its opacity): nothing when none is chosen, so the theme's counts;
// no colours when a background picture covers it.
std::optional<QList<QColor>> lxqtCustomGrounds(const QString& panelConfPath);

// A CSS colour: #rgb, #rrggbb, rgb(), rgba() (alpha 0-1, 0-255 or a percentage) and a few names.
// `alpha`, when given, receives the colour's opacity from 0 to 1.
std::optional<QColor> parseCssColour(const QString& value, double* alpha = nullptr);

} // namespace kalvix

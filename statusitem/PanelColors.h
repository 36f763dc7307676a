#pragma once
// The colour to draw the clock in, so it reads on the panel that shows it: learnt from the host's own
// configuration where it can be (waybar's style sheet, Xfce's panel and theme settings, the KDE
// colour scheme, the GTK theme), and light text, as for a dark panel, where it cannot.
#include "statusitem/StatusHost.h"

#include <QColor>
#include <QString>

#include <optional>

namespace kalvix {

// The ink for the item in `host`, reading configuration under `configHome` (XDG_CONFIG_HOME).
QColor panelInk(const StatusHost& host, const QString& configHome);

// The two inks Kalvix draws in: for dark panels and for light ones.
QColor lightInk();
QColor darkInk();

// The readers behind panelInk, each from a file's text; empty when the text does not say.
std::optional<QColor> waybarInk(const QString& styleSheet);
std::optional<bool> xfcePanelIsDark(const QString& panelChannel, const QString& xsettingsChannel);
std::optional<QColor> kdeInk(const QString& kdeglobals);
std::optional<bool> gtkThemeIsDark(const QString& settingsIni);

// A CSS colour: #rgb, #rrggbb, rgb(), rgba() and a few names.
std::optional<QColor> parseCssColour(const QString& value);

} // namespace kalvix

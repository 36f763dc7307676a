#pragma once
// The clock text drawn as an image, for hosts that show only icons and for the XEmbed tray slot.
//
// Every digit is drawn centred in a cell as wide as the widest digit, so the image keeps its width
// while the clock runs whatever the font's own digits do.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

namespace kalvix::platform {

// Width in pixels that `text` takes in `font` with tabular digits.
qreal tabularTextWidth(const QString& text, const QFont& font);

// The outline of `text` with tabular digits, on the baseline at `baselineY`, starting at x.
class QPainterPath tabularTextPath(qreal x, qreal baselineY, const QString& text, const QFont& font);

// Paints `text` with tabular digits in the painter's pen colour, on the baseline at `baselineY`,
// starting at x, with a thin halo of the opposite lightness.
void paintTabularText(class QPainter& painter, qreal x, qreal baselineY, const QString& text, const QFont& font);

// A transparent ARGB32 image `height` pixels high holding the text at a size that fits that height, in
// the desktop theme's text lightness with a contrasting halo, readable on light and dark panels alike.
QImage renderTitleImage(const QString& text, const QFont& font, int height);

} // namespace kalvix::platform

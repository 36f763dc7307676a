#pragma once
// The symbols the views draw, named as in the design ("chevron.left", "flag.fill", ...).
//
// Each name maps to freedesktop icon names tried in the user's icon theme first, so Kalvix looks at home
// on the desktop, and to Kalvix's own small drawing (an SVG in the resources) used when the theme has none,
// so a bare system looks complete. A few symbols are always Kalvix's own, where a theme's icon of the same
// name would weaken the cue or change its meaning (remove, more, close). Symbols are masks drawn in one colour, except
// in multicolour rendering, where a symbol with colours of its own (the setting sun) keeps them. Drawing happens at the
// device's pixel ratio, never from a pixmap made at scale 1.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace kalvix::ui {

enum class SymbolSource { theme, own };

// Every symbol name the views use.
const QStringList& symbolNames();
// The freedesktop icon names tried for a symbol, in order (possibly none).
QStringList themeIconNames(const QString& symbol);

// Whether Kalvix's own drawings are used even where the theme has an icon (pictures for the README and
// tests, which must not depend on the machine's theme). Off by default.
void setPreferOwnSymbols(bool own);

// The symbol `size` logical pixels square at `dpr`, tinted `color` (or in its own colours when `multicolor`
// and it has them). A null image for an unknown name.
QImage symbolImage(const QString& symbol, qreal size, const QColor& color, qreal dpr, bool multicolor = false);
// Where the image comes from for this symbol now.
SymbolSource symbolSource(const QString& symbol);

// Draws the symbol centred in `rect` (square of the rect's smaller side) at the painter's pixel ratio.
void paintSymbol(
    QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color, bool multicolor = false);

// The side of a symbol drawn in `font`: a little taller than the font's cap height, as text symbols are.
qreal symbolSize(const QFont& font);

} // namespace kalvix::ui

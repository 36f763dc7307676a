#pragma once
// The clock drawn as images for status hosts: the whole title as a wide picture, the time as a square
// face (hours over minutes) for hosts that force icons into squares, and a small calendar symbol for
// hosts that draw the title as a label themselves.
//
// Every digit is drawn centred in a cell as wide as the widest digit, so a picture keeps its width
// while the clock runs whatever the font's own digits do. Images are transparent ARGB32 in device
// pixels; the ink colour is the caller's, chosen for the panel the image goes on.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

class QPainter;

namespace kalvix {

// Width in pixels that `text` takes in `font` with tabular digits.
qreal tabularTextWidth(const QString& text, const QFont& font);

// The outline of `text` with tabular digits, on the baseline at `baselineY`, starting at x.
class QPainterPath tabularTextPath(qreal x, qreal baselineY, const QString& text, const QFont& font);

// Paints `text` with tabular digits in the painter's pen colour, on the baseline at `baselineY`,
// starting at x.
void paintTabularText(QPainter& painter, qreal x, qreal baselineY, const QString& text, const QFont& font);

// The whole title on one line, `height` pixels high, as wide as the text needs.
QImage renderTitleImage(const QString& text, const QFont& font, int height, const QColor& ink);

// What a square face shows: the title's time as hours over minutes. Empty when the title holds no
// time that can be found (the face is then the calendar symbol).
struct SquareFace {
    QString top;
    QString bottom;
    bool isEmpty() const { return top.isEmpty(); }
    bool operator==(const SquareFace&) const = default;
};
SquareFace squareFaceOf(const QString& title);

// A `size`×`size` square: the face's two lines, each filling nearly half the height, or the symbol.
QImage renderSquareImage(const SquareFace& face, const QFont& font, int size, const QColor& ink);

// The calendar symbol alone, `size`×`size`: a page with two rings, drawn in outline like a symbolic icon.
QImage renderSymbolImage(int size, const QColor& ink);

} // namespace kalvix

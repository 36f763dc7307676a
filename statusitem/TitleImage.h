#pragma once
// The clock drawn as images for status hosts: the whole title as a wide picture, the time as a square
// face (hours over minutes) for hosts that force icons into squares, and a small calendar symbol for
// hosts that draw the title as a label themselves.
//
// Every digit is drawn centred in a cell as wide as the widest digit, so a picture keeps its width
// while the clock runs whatever the font's own digits do. Images are transparent ARGB32 in device
// pixels; the ink is the caller's, chosen for the panel the image goes on.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLocale>
#include <QSize>
#include <QString>

class QPainter;

namespace kalvix {

// The colours a picture of the clock is drawn in: the glyphs' fill, and around every glyph an outline of
// the other tone where the panel's colour is not known, so the text reads on any ground.
struct ItemInk {
    ItemInk() = default;
    // Implicit: a plain colour is an ink without outline.
    ItemInk(const QColor& fillColour, const QColor& outlineColour = QColor()) // NOLINT(google-explicit-constructor)
        : fill(fillColour)
        , outline(outlineColour)
    {
    }
    ItemInk(Qt::GlobalColor fillColour) // NOLINT(google-explicit-constructor)
        : fill(fillColour)
    {
    }
    QColor fill;
    QColor outline; // invalid: none
    bool hasOutline() const { return outline.isValid(); }
    bool operator==(const ItemInk&) const = default;
};

// The outline's width in pixels for a picture `height` pixels high; 0 for an ink without outline.
qreal outlineWidth(const ItemInk& ink, int height);

// Width in pixels that `text` takes in `font` with tabular digits.
qreal tabularTextWidth(const QString& text, const QFont& font);

// The outline of `text` with tabular digits, on the baseline at `baselineY`, starting at x.
class QPainterPath tabularTextPath(qreal x, qreal baselineY, const QString& text, const QFont& font);

// Paints `text` with tabular digits in `ink`, on the baseline at `baselineY`, starting at x; `height` is
// the height of the picture it goes in, which sets the outline's width.
void paintTabularText(QPainter& painter,
                      qreal x,
                      qreal baselineY,
                      const QString& text,
                      const QFont& font,
                      const ItemInk& ink,
                      int height);

// The size of the title's picture `height` pixels high.
QSize titleImageSize(const QString& text, const QFont& font, int height);

// The whole title on one line, `height` pixels high, as wide as the text needs.
QImage renderTitleImage(const QString& text, const QFont& font, int height, const ItemInk& ink);

// The half of the day a 12-hour time names; none for a 24-hour time.
enum class DayPeriod { none, morning, afternoon };

// What a square face shows: the title's time as hours over minutes, and the day period where the title
// has one. Empty when the title holds no time that can be found (the face is then the calendar symbol).
struct SquareFace {
    QString top;
    QString bottom;
    DayPeriod period = DayPeriod::none;
    bool isEmpty() const { return top.isEmpty(); }
    bool operator==(const SquareFace&) const = default;
};
// The period is the locale's AM or PM text (or the Latin "AM"/"PM", "a.m."/"p.m.") written right
// before or after the time, in any case.
SquareFace squareFaceOf(const QString& title, const QLocale& locale = QLocale());

// A `size`×`size` square: the face's two lines, each filling nearly half the height, or the symbol. An
// afternoon is a dot at the right of the hours, as digital clocks mark it: a dot stays legible at
// 16 pixels, where letters would not, and reads the same in every language.
QImage renderSquareImage(const SquareFace& face, const QFont& font, int size, const ItemInk& ink);

// The calendar symbol alone, `size`×`size`: a page with two rings, drawn in outline like a symbolic icon.
QImage renderSymbolImage(int size, const ItemInk& ink);

} // namespace kalvix

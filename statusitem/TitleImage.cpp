#include "statusitem/TitleImage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kalvix {
namespace {

// A square face's lines may be squeezed sideways down to this share of the font's own width before
// they are made lower instead: narrow digits read better than small ones.
constexpr qreal kMostSqueeze = 0.7;

qreal digitCell(const QFontMetricsF& fm)
{
    qreal widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, fm.horizontalAdvance(QChar::fromLatin1(c)));
    return widest;
}

// Calls f(run, isDigit) for maximal runs of digits and non-digits.
template <typename F> void forEachRun(const QString& text, F&& f)
{
    qsizetype start = 0;
    while (start < text.size()) {
        const bool digit = text[start].isDigit();
        qsizetype end = start;
        while (end < text.size() && text[end].isDigit() == digit)
            ++end;
        f(text.mid(start, end - start), digit);
        start = end;
    }
}

QImage transparentImage(int width, int height)
{
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Draws `line` so that its digits' outline fills `box` vertically (scaled by sx, sy), centred across.
void paintFittedLine(QPainter& p, const QString& line, const QFont& font, QRectF box, qreal sx, qreal sy)
{
    const QPainterPath path = tabularTextPath(0, 0, line, font);
    const QRectF bounds = path.boundingRect();
    QTransform t;
    t.translate(box.center().x() - bounds.center().x() * sx, box.bottom() - bounds.bottom() * sy);
    t.scale(sx, sy);
    p.fillPath(t.map(path), p.pen().color());
}

} // namespace

QPainterPath tabularTextPath(qreal x, qreal baselineY, const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const qreal cell = digitCell(fm);
    QPainterPath path;
    forEachRun(text, [&](const QString& run, bool digit) {
        if (!digit) {
            path.addText(QPointF(x, baselineY), font, run);
            x += fm.horizontalAdvance(run);
            return;
        }
        for (QChar c : run) {
            path.addText(QPointF(x + (cell - fm.horizontalAdvance(c)) / 2, baselineY), font, QString(c));
            x += cell;
        }
    });
    return path;
}

qreal tabularTextWidth(const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const qreal cell = digitCell(fm);
    qreal width = 0;
    forEachRun(text, [&](const QString& run, bool digit) {
        width += digit ? cell * static_cast<qreal>(run.size()) : fm.horizontalAdvance(run);
    });
    return width;
}

void paintTabularText(QPainter& painter, qreal x, qreal baselineY, const QString& text, const QFont& font)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(tabularTextPath(x, baselineY, text, font), painter.pen().color());
    painter.restore();
}

QImage renderTitleImage(const QString& text, const QFont& font, int height, const QColor& ink)
{
    QFont f = font;
    f.setPixelSize(std::max(6, static_cast<int>(std::lround(height * 0.62))));
    const QFontMetricsF fm(f);
    const qreal pad = std::ceil(height * 0.12);
    QImage image = transparentImage(static_cast<int>(std::ceil(tabularTextWidth(text, f) + 2 * pad)), height);
    QPainter painter(&image);
    painter.setPen(ink);
    const qreal baseline = (height - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
    paintTabularText(painter, pad, baseline, text, f);
    return image;
}

SquareFace squareFaceOf(const QString& title)
{
    // Hours and minutes as digits around a colon (or a dot, as some locales write times); a number
    // that runs on ("7.2026") is a date, not a time.
    static const QRegularExpression time(QStringLiteral("(?<!\\d)(\\d{1,2})([:.])(\\d{2})(?!\\d)"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    SquareFace found;
    bool foundColon = false;
    for (auto it = time.globalMatch(title); it.hasNext();) {
        const auto m = it.next();
        const bool colon = m.captured(2) == u":";
        // The first time with a colon wins; failing that the last with a dot (dates come first).
        if (foundColon)
            break;
        found = SquareFace{m.captured(1), m.captured(3)};
        foundColon = colon;
    }
    return found;
}

QImage renderSquareImage(const SquareFace& face, const QFont& font, int size, const QColor& ink)
{
    if (face.isEmpty())
        return renderSymbolImage(size, ink);
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(ink);
    QFont f = font;
    f.setPixelSize(100); // drawn as outlines and scaled: the size only sets the outline's precision
    f.setWeight(QFont::DemiBold);
    // Both lines get the scale of the widest two digits, so "9" and "19" have the same height.
    const QRectF widest = tabularTextPath(0, 0, QStringLiteral("00"), f).boundingRect();
    const int lineHeight = (size - std::max(1, size / 10)) / 2;
    const qreal width = size - std::max<qreal>(1.0, size / 16.0);
    qreal sy = lineHeight / widest.height();
    qreal sx = std::min(width / widest.width(), sy);
    if (sx < sy * kMostSqueeze)
        sy = sx / kMostSqueeze;
    const qreal lineTop = lineHeight - widest.height() * sy; // a line lowered by the squeeze limit stays centred
    const qreal left = (size - width) / 2;
    paintFittedLine(p, face.top, f, QRectF(left, lineTop / 2, width, lineHeight - lineTop), sx, sy);
    paintFittedLine(
        p, face.bottom, f, QRectF(left, size - lineHeight + lineTop / 2, width, lineHeight - lineTop), sx, sy);
    return image;
}

QImage renderSymbolImage(int size, const QColor& ink)
{
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max<qreal>(1.0, std::round(size / 12.0));
    const qreal inset = std::round(size / 8.0) + pen / 2;
    const QRectF page(inset, inset + pen, size - 2 * inset, size - 2 * inset - pen);
    p.setPen(QPen(ink, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(page, pen * 1.5, pen * 1.5);
    // The page's head band and its two rings.
    p.fillRect(QRectF(page.left(), page.top(), page.width(), page.height() * 0.28), ink);
    p.setPen(QPen(ink, pen, Qt::SolidLine, Qt::RoundCap));
    for (qreal x : {page.left() + page.width() * 0.3, page.right() - page.width() * 0.3})
        p.drawLine(QPointF(x, page.top() - pen), QPointF(x, page.top() + pen));
    // Two rows of days as dots.
    const qreal dot = std::max<qreal>(1.0, pen);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            p.fillRect(QRectF(page.left() + page.width() * (0.22 + 0.28 * col) - dot / 2,
                              page.top() + page.height() * (0.5 + 0.26 * row) - dot / 2,
                              dot,
                              dot),
                       ink);
    return image;
}

} // namespace kalvix

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

// The outline around glyphs of an ink that has one, as a share of the picture's height: one pixel at
// panel icon sizes, more where a host scales the picture up.
constexpr qreal kOutlineShare = 1.0 / 22;

// The afternoon dot's diameter as a share of the square, never below two pixels (a single pixel is
// lost in a host's scaling), and the room between it and the hours as a share of the dot.
constexpr qreal kPeriodDotShare = 0.18;
constexpr qreal kLeastPeriodDot = 2.0;
constexpr qreal kPeriodGapShare = 0.5;

// The room between the face's two lines, as a share of the square, never below a pixel.
constexpr int kLineGapDivisor = 10;
// The room the face leaves at its sides, as a share of the square, never below a pixel.
constexpr qreal kSideRoomDivisor = 16.0;

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

// Fills the shapes of glyphs in the ink, over their outline when the ink has one: every picture of the
// clock is drawn through here.
void fillGlyphs(QPainter& p, const QPainterPath& glyphs, const ItemInk& ink, qreal outline)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (ink.hasOutline() && outline > 0)
        p.strokePath(glyphs, QPen(ink.outline, 2 * outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(glyphs, ink.fill);
    p.restore();
}

// Draws `line` so that its digits' outline fills `box` vertically (scaled by sx, sy), centred across.
void paintFittedLine(QPainter& p,
                     const QString& line,
                     const QFont& font,
                     QRectF box,
                     qreal sx,
                     qreal sy,
                     const ItemInk& ink,
                     qreal outline)
{
    const QPainterPath path = tabularTextPath(0, 0, line, font);
    const QRectF bounds = path.boundingRect();
    QTransform t;
    t.translate(box.center().x() - bounds.center().x() * sx, box.bottom() - bounds.bottom() * sy);
    t.scale(sx, sy);
    fillGlyphs(p, t.map(path), ink, outline);
}

// The wide title's text fills this share of the picture's height, and leaves this share at each end.
constexpr qreal kTitleTextShare = 0.62;
constexpr qreal kTitlePadShare = 0.12;
constexpr int kLeastTitlePixels = 6;

QFont titleFont(const QFont& font, int height)
{
    QFont f = font;
    f.setPixelSize(std::max(kLeastTitlePixels, static_cast<int>(std::lround(height * kTitleTextShare))));
    return f;
}

qreal titlePadding(int height)
{
    return std::ceil(height * kTitlePadShare);
}

// Whether `text` holds `word` at `at`, not as part of a longer word.
bool wordAt(const QString& text, qsizetype at, const QString& word)
{
    if (word.isEmpty() || at < 0 || at + word.size() > text.size())
        return false;
    if (QStringView(text).mid(at, word.size()).compare(word, Qt::CaseInsensitive) != 0)
        return false;
    const auto letter = [&](qsizetype i) { return i >= 0 && i < text.size() && text[i].isLetter(); };
    return !letter(at - 1) && !(word.back().isLetter() && letter(at + word.size()));
}

// The day period written around the time that spans [start, end) of `title`.
DayPeriod periodAround(const QString& title, qsizetype start, qsizetype end, const QLocale& locale)
{
    static const QRegularExpression seconds(QStringLiteral("^[:.]\\d{2}(?!\\d)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    if (const auto m = seconds.match(QStringView(title).mid(end)); m.hasMatch())
        end += m.capturedLength();
    while (end < title.size() && title[end].isSpace())
        ++end;
    while (start > 0 && title[start - 1].isSpace())
        --start;
    const auto written = [&](const QStringList& texts) {
        return std::any_of(texts.begin(), texts.end(), [&](const QString& text) {
            return wordAt(title, end, text) || wordAt(title, start - text.size(), text);
        });
    };
    if (written({locale.pmText(), QStringLiteral("PM"), QStringLiteral("p.m.")}))
        return DayPeriod::afternoon;
    if (written({locale.amText(), QStringLiteral("AM"), QStringLiteral("a.m.")}))
        return DayPeriod::morning;
    return DayPeriod::none;
}

} // namespace

qreal outlineWidth(const ItemInk& ink, int height)
{
    return ink.hasOutline() ? std::max<qreal>(1.0, std::round(height * kOutlineShare)) : 0.0;
}

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

void paintTabularText(
    QPainter& painter, qreal x, qreal baselineY, const QString& text, const QFont& font, const ItemInk& ink, int height)
{
    fillGlyphs(painter, tabularTextPath(x, baselineY, text, font), ink, outlineWidth(ink, height));
}

QSize titleImageSize(const QString& text, const QFont& font, int height)
{
    const QFont f = titleFont(font, height);
    return QSize(static_cast<int>(std::ceil(tabularTextWidth(text, f) + 2 * titlePadding(height))), height);
}

QImage renderTitleImage(const QString& text, const QFont& font, int height, const ItemInk& ink)
{
    const QFont f = titleFont(font, height);
    const QFontMetricsF fm(f);
    const QSize size = titleImageSize(text, font, height);
    QImage image = transparentImage(size.width(), size.height());
    QPainter painter(&image);
    const qreal baseline = (height - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
    paintTabularText(painter, titlePadding(height), baseline, text, f, ink, height);
    return image;
}

SquareFace squareFaceOf(const QString& title, const QLocale& locale)
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
        found =
            SquareFace{m.captured(1), m.captured(3), periodAround(title, m.capturedStart(), m.capturedEnd(), locale)};
        foundColon = colon;
    }
    return found;
}

QImage renderSquareImage(const SquareFace& face, const QFont& font, int size, const ItemInk& ink)
{
    if (face.isEmpty())
        return renderSymbolImage(size, ink);
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    QFont f = font;
    f.setPixelSize(100); // drawn as outlines and scaled: the size only sets the outline's precision
    f.setWeight(QFont::DemiBold);
    const qreal outline = outlineWidth(ink, size);
    // Both lines get the scale of the widest two digits, so "9" and "19" have the same height; an
    // afternoon's dot takes its room from the hours' line, and so from both lines' scale.
    const QRectF widest = tabularTextPath(0, 0, QStringLiteral("00"), f).boundingRect();
    // An outline needs its room above and below each of the two lines.
    const qreal lineHeight = std::floor((size - std::max(1, size / kLineGapDivisor) - 4 * outline) / 2);
    const qreal width = size - std::max<qreal>(1.0, size / kSideRoomDivisor) - 2 * outline;
    const bool dot = face.period == DayPeriod::afternoon;
    const qreal dotSize = dot ? std::max(kLeastPeriodDot, std::round(size * kPeriodDotShare)) : 0.0;
    const qreal dotRoom = dot ? dotSize + std::max<qreal>(1.0, std::round(dotSize * kPeriodGapShare)) : 0.0;
    qreal sy = lineHeight / widest.height();
    qreal sx = std::min((width - dotRoom) / widest.width(), sy);
    if (sx < sy * kMostSqueeze)
        sy = sx / kMostSqueeze;
    const qreal lineTop = lineHeight - widest.height() * sy; // a line lowered by the squeeze limit stays centred
    const qreal left = (size - width) / 2;
    const QRectF top(left, outline + lineTop / 2, width - dotRoom, lineHeight - lineTop);
    paintFittedLine(p, face.top, f, top, sx, sy, ink, outline);
    paintFittedLine(p,
                    face.bottom,
                    f,
                    QRectF(left, size - outline - lineHeight + lineTop / 2, width, lineHeight - lineTop),
                    sx,
                    sy,
                    ink,
                    outline);
    if (dot) {
        QPainterPath period;
        // On whole pixels: a dot of two or three pixels blurred across four is no dot.
        period.addEllipse(QRectF(std::floor(left + width - dotSize), std::round(top.top()), dotSize, dotSize));
        fillGlyphs(p, period, ink, outline);
    }
    return image;
}

QImage renderSymbolImage(int size, const ItemInk& ink)
{
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    const qreal pen = std::max<qreal>(1.0, std::round(size / 12.0));
    const qreal inset = std::round(size / 8.0) + pen / 2;
    const QRectF page(inset, inset + pen, size - 2 * inset, size - 2 * inset - pen);
    // One shape of the page's frame, its head band, its two rings and two rows of days as dots, so an
    // outline goes around the whole symbol.
    QPainterPath frame;
    frame.addRoundedRect(page, pen * 1.5, pen * 1.5);
    QPainterPathStroker stroke;
    stroke.setWidth(pen);
    QPainterPath symbol = stroke.createStroke(frame).simplified();
    const auto add = [&](const QPainterPath& part) { symbol = symbol.united(part); };
    QPainterPath band;
    band.addRect(QRectF(page.left(), page.top(), page.width(), page.height() * 0.28));
    add(band);
    stroke.setCapStyle(Qt::RoundCap);
    for (qreal x : {page.left() + page.width() * 0.3, page.right() - page.width() * 0.3}) {
        QPainterPath ring;
        ring.moveTo(x, page.top() - pen);
        ring.lineTo(x, page.top() + pen);
        add(stroke.createStroke(ring));
    }
    const qreal dot = std::max<qreal>(1.0, pen);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col) {
            QPainterPath day;
            day.addRect(QRectF(page.left() + page.width() * (0.22 + 0.28 * col) - dot / 2,
                               page.top() + page.height() * (0.5 + 0.26 * row) - dot / 2,
                               dot,
                               dot));
            add(day);
        }
    fillGlyphs(p, symbol, ink, outlineWidth(ink, size));
    return image;
}

} // namespace kalvix

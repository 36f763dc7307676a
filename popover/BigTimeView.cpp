#include "popover/BigTimeView.h"

#include "statusitem/TitleImage.h"
#include "ui/AccessibleRole.h"
#include "ui/ColorRoles.h"
#include "ui/PaintCache.h"
#include "ui/TextStyles.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kalvix {
namespace {

constexpr int kTimeSize = 64;
constexpr int kDayPeriodSize = 30;
constexpr qreal kBigTimeSpacing = 8;
constexpr qreal kGlyphMargin = 2; // room for ink beyond a glyph's advance

qreal widestDigit(const QFontMetricsF& fm)
{
    qreal widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, fm.horizontalAdvance(QChar::fromLatin1(c)));
    return widest;
}

// Draws `text` from x on the baseline as tabularTextPath lays it out (each digit centred in a
// cell of the widest digit's width), one digit or run of other characters at a time through the paint
// cache, each starting on a whole device pixel: the clock is copied together from a few drawn glyphs
// instead of filling 64-point outlines every second.
void paintTabular(QPainter& painter,
                  qreal x,
                  qreal baseline,
                  qreal height,
                  const QString& text,
                  const QFont& font,
                  const QColor& colour)
{
    const QFontMetricsF fm(font);
    const qreal cell = widestDigit(fm);
    const qreal scale = ui::deviceScale(painter);
    const auto snap = [scale](qreal v) { return scale > 0 ? std::round(v * scale) / scale : v; };
    qsizetype i = 0;
    while (i < text.size()) {
        const bool digit = text[i].isDigit();
        qsizetype end = i + 1;
        while (!digit && end < text.size() && !text[end].isDigit())
            ++end;
        const QString piece = text.mid(i, end - i);
        const qreal advance = digit ? cell : fm.horizontalAdvance(piece);
        const qreal inset = digit ? (cell - fm.horizontalAdvance(piece)) / 2 : 0;
        const qreal left = snap(x) - kGlyphMargin;
        const QRectF box(left, 0, advance + 2 * kGlyphMargin, height);
        const QString key = QStringLiteral("big-time|%1|%2|%3|%4")
                                .arg(piece, font.key())
                                .arg(inset, 0, 'f', 3)
                                .arg(colour.rgba(), 0, 16);
        ui::paintCached(painter,
                        QRectF(box.topLeft(), QSizeF(snap(box.width() + 0.5), height)),
                        key,
                        [&](QPainter& p, const QRectF& target) {
                            QPainterPath path;
                            path.addText(
                                QPointF(target.left() + kGlyphMargin + inset, target.top() + baseline), font, piece);
                            p.fillPath(path, colour);
                        });
        x += advance;
        i = end;
    }
}

} // namespace

BigTimeView::BigTimeView(QWidget* parent)
    : QWidget(parent)
    , m_timeFont(ui::systemFont(kTimeSize, QFont::Bold))
    , m_periodFont(ui::systemFont(kDayPeriodSize, QFont::DemiBold))
{
    ui::setAccessibleRole(this, QAccessible::StaticText);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BigTimeView::setText(const BigClockText& text)
{
    if (text.time == m_text.time && text.dayPeriod == m_text.dayPeriod)
        return;
    const bool resized = tabularTextWidth(text.time, m_timeFont) != tabularTextWidth(m_text.time, m_timeFont) ||
                         text.dayPeriod != m_text.dayPeriod;
    m_text = text;
    setAccessibleName(m_text.dayPeriod.isEmpty() ? m_text.time : m_text.time + u' ' + m_text.dayPeriod);
    if (resized)
        updateGeometry();
    update();
}

qreal BigTimeView::baseline() const
{
    return QFontMetricsF(m_timeFont).ascent();
}

QRectF BigTimeView::timeRect() const
{
    const QFontMetricsF fm(m_timeFont);
    return QRectF(0, 0, tabularTextWidth(m_text.time, m_timeFont), fm.ascent() + fm.descent());
}

QRectF BigTimeView::dayPeriodRect() const
{
    if (m_text.dayPeriod.isEmpty())
        return {};
    const QFontMetricsF fm(m_periodFont);
    const qreal top = baseline() - fm.ascent();
    return QRectF(
        timeRect().right() + kBigTimeSpacing, top, fm.horizontalAdvance(m_text.dayPeriod), fm.ascent() + fm.descent());
}

QSize BigTimeView::sizeHint() const
{
    const QRectF area = timeRect().united(dayPeriodRect());
    return QSize(static_cast<int>(std::ceil(area.right())), static_cast<int>(std::ceil(area.bottom())));
}

QSize BigTimeView::minimumSizeHint() const
{
    return sizeHint();
}

void BigTimeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal lineHeight = height();
    paintTabular(
        painter, 0, baseline(), lineHeight, m_text.time, m_timeFont, ui::roleColor(ui::ColorRole::primary, palette()));
    if (!m_text.dayPeriod.isEmpty())
        paintTabular(painter,
                     dayPeriodRect().left(),
                     baseline(),
                     lineHeight,
                     m_text.dayPeriod,
                     m_periodFont,
                     ui::roleColor(ui::ColorRole::secondary, palette()));
}

} // namespace kalvix

#include "ui/PlainButton.h"

#include "ui/Shapes.h"
#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace kalvix::ui {
namespace {

constexpr qreal kPressedOpacity = 0.55;
constexpr qreal kTrailingGap = 6;

} // namespace

void paintFocusRing(QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius)
{
    strokeRoundedRectInside(painter, rect, radius, withOpacity(roleColor(ColorRole::accent, palette), 0.8), 2);
}

PlainButton::PlainButton(const QString& text, const QFont& font, Ink ink, QWidget* parent)
    : QAbstractButton(parent)
    , m_ink(ink)
{
    setText(text);
    setFont(font);
    setFocusPolicy(Qt::TabFocus); // a click does not leave a focus ring behind
    setCursor(Qt::PointingHandCursor);
}

PlainButton::PlainButton(
    const QString& symbol, const QFont& symbolFont, Ink ink, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent)
    , m_ink(ink)
    , m_symbol(symbol)
    , m_symbolFont(symbolFont)
{
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus); // a click does not leave a focus ring behind
    setCursor(Qt::PointingHandCursor);
}

void PlainButton::setTrailingSymbol(const QString& symbol, const QFont& symbolFont)
{
    m_trailingSymbol = symbol;
    m_trailingFont = symbolFont;
    updateGeometry();
    update();
}

void PlainButton::setInk(Ink ink)
{
    m_ink = ink;
    update();
}

void PlainButton::setSymbolSize(qreal side)
{
    m_symbolSide = side;
    updateGeometry();
    update();
}

qreal PlainButton::symbolSide() const
{
    if (m_symbol.isEmpty())
        return 0;
    return m_symbolSide > 0 ? m_symbolSide : symbolSize(m_symbolFont);
}

qreal PlainButton::trailingSide() const
{
    return m_trailingSymbol.isEmpty() ? 0 : symbolSize(m_trailingFont);
}

QSize PlainButton::sizeHint() const
{
    const QFontMetricsF fm(font());
    qreal width = symbolSide();
    qreal height = symbolSide();
    if (!text().isEmpty()) {
        width += fm.horizontalAdvance(text());
        height = std::max(height, fm.height());
    }
    if (!m_trailingSymbol.isEmpty()) {
        width += kTrailingGap + trailingSide();
        height = std::max(height, trailingSide());
    }
    return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
}

QSize PlainButton::minimumSizeHint() const
{
    return sizeHint();
}

void PlainButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(kPressedOpacity);
    const QColor color = m_ink.resolve(palette());
    const QRectF area = rect();
    qreal x = area.left();
    if (!m_symbol.isEmpty()) {
        const qreal side = symbolSide();
        const QRectF box(x, area.center().y() - side / 2, side, side);
        if (text().isEmpty()) // a symbol alone sits in the middle of its button
            paintSymbol(painter, QRectF(area.center().x() - side / 2, box.top(), side, side), m_symbol, color);
        else
            paintSymbol(painter, box, m_symbol, color);
        x += side;
    }
    if (!text().isEmpty()) {
        painter.setPen(color);
        painter.setFont(font());
        const qreal trailing = m_trailingSymbol.isEmpty() ? 0 : kTrailingGap + trailingSide();
        const QRectF textArea(x, area.top(), area.right() - x - trailing, area.height());
        painter.drawText(textArea,
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, textArea.width()));
    }
    if (!m_trailingSymbol.isEmpty()) {
        const qreal side = trailingSide();
        paintSymbol(
            painter, QRectF(area.right() - side, area.center().y() - side / 2, side, side), m_trailingSymbol, color);
    }
    painter.setOpacity(1);
    if (hasFocus())
        paintFocusRing(painter, area, palette());
}

void PlainButton::keyPressEvent(QKeyEvent* event)
{
    // Enter activates as Space does: these buttons stand where links and menu items stand.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace kalvix::ui

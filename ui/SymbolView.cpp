#include "ui/SymbolView.h"

#include "ui/Symbols.h"

#include <QPainter>

#include <cmath>

namespace kalvix::ui {

SymbolView::SymbolView(const QString& symbol, const QFont& font, Ink ink, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_font(font)
    , m_ink(ink)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolView::setInk(Ink ink)
{
    m_ink = ink;
    update();
}

void SymbolView::setMulticolor(bool multicolor)
{
    m_multicolor = multicolor;
    update();
}

qreal SymbolView::side() const
{
    return symbolSize(m_font);
}

QSize SymbolView::sizeHint() const
{
    const int s = static_cast<int>(std::ceil(side()));
    return QSize(s, s);
}

QSize SymbolView::minimumSizeHint() const
{
    return sizeHint();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal s = side();
    const QPointF centre = QRectF(rect()).center();
    paintSymbol(painter,
                QRectF(centre.x() - s / 2, centre.y() - s / 2, s, s),
                m_symbol,
                m_ink.resolve(palette()),
                m_multicolor);
}

} // namespace kalvix::ui

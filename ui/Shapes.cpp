#include "ui/Shapes.h"

#include <QPainter>

#include <algorithm>

namespace kalvix::ui {
namespace {

// How far the corner curve reaches along each edge, in radii, and where its control points sit (as a share
// of that reach from the edge's end). 0.8126 puts the curve's midpoint on a circular corner's diagonal.
constexpr qreal kReach = 1.5;
constexpr qreal kPull = 0.8126;

} // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal reach = std::min(radius * kReach, std::min(rect.width(), rect.height()) / 2);
    if (reach <= 0) {
        path.addRect(rect);
        return path;
    }
    const qreal c = reach * (1 - kPull); // distance of the control points from the corner
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    path.moveTo(l + reach, t);
    path.lineTo(r - reach, t);
    path.cubicTo(r - c, t, r, t + c, r, t + reach);
    path.lineTo(r, b - reach);
    path.cubicTo(r, b - c, r - c, b, r - reach, b);
    path.lineTo(l + reach, b);
    path.cubicTo(l + c, b, l, b - c, l, b - reach);
    path.lineTo(l, t + reach);
    path.cubicTo(l, t + c, l + c, t, l + reach, t);
    path.closeSubpath();
    return path;
}

void fillCircle(QPainter& painter, const QRectF& rect, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(rect);
    painter.restore();
}

void strokeCircleInside(QPainter& painter, const QRectF& rect, const QColor& color, qreal width)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = width / 2;
    painter.drawEllipse(rect.adjusted(inset, inset, -inset, -inset));
    painter.restore();
}

void fillRoundedRect(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(rect, radius), color);
    painter.restore();
}

void strokeRoundedRectInside(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color, qreal width)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = width / 2;
    painter.drawPath(continuousRoundedRect(rect.adjusted(inset, inset, -inset, -inset), radius - inset));
    painter.restore();
}

ShapeView::ShapeView(Kind kind, QSize size, Ink ink, qreal radius, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_ink(ink)
    , m_radius(radius)
{
    setFixedSize(size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeView::setInk(Ink ink)
{
    m_ink = ink;
    update();
}

void ShapeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor color = m_ink.resolve(palette());
    if (m_kind == Kind::circle)
        fillCircle(painter, QRectF(rect()), color);
    else
        fillRoundedRect(painter, QRectF(rect()), m_radius, color);
}

} // namespace kalvix::ui

#pragma once
// The painted shapes of the views: circles and rounded rectangles with continuous corners, filled or
// stroked inside their edge (the stroke inset by half its width, so it never spills past the shape).
// All antialiased, in logical units: the painter's device scale keeps them sharp.
#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QWidget>

#include "ui/ColorRoles.h"

class QPainter;

namespace kalvix::ui {

// A rounded rectangle whose corners ease into the straight edges instead of meeting them at a circular
// arc's sudden change of curvature. At the corner's diagonal it sits where a circular corner of `radius`
// would. The radius is clamped to what the rectangle can hold.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

void fillCircle(QPainter& painter, const QRectF& rect, const QColor& color);
void strokeCircleInside(QPainter& painter, const QRectF& rect, const QColor& color, qreal width);
void fillRoundedRect(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color);
void strokeRoundedRectInside(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color, qreal width);

// A fixed-size shape as a widget: a dot, a colour bar, a marker. Its colour is resolved at paint time.
class ShapeView final : public QWidget {
    Q_OBJECT
public:
    enum class Kind { circle, roundedRect };

    ShapeView(Kind kind, QSize size, Ink ink, qreal radius = 0, QWidget* parent = nullptr);

    void setInk(Ink ink);
    Kind kind() const { return m_kind; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind;
    Ink m_ink;
    qreal m_radius;
};

} // namespace kalvix::ui

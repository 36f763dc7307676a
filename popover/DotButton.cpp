#include "popover/DotButton.h"

#include "ui/PlainButton.h"
#include "ui/Shapes.h"

#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace kalvix {
namespace {
constexpr qreal kPressedOpacity = 0.55;
constexpr int kDotFocusMargin = 3;
} // namespace

DotButton::DotButton(qreal diameter, ui::Ink ink, const QString& accessibleName, QWidget* parent)
    : QAbstractButton(parent)
    , m_diameter(diameter)
    , m_ink(ink)
{
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

int DotButton::focusMargin()
{
    return kDotFocusMargin;
}

QSize DotButton::sizeHint() const
{
    const int side = static_cast<int>(std::ceil(m_diameter)) + 2 * kDotFocusMargin;
    return QSize(side, side);
}

void DotButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(kPressedOpacity);
    const QPointF centre = QRectF(rect()).center();
    const QRectF dot(centre.x() - m_diameter / 2, centre.y() - m_diameter / 2, m_diameter, m_diameter);
    ui::fillCircle(painter, dot, m_ink.resolve(palette()));
    painter.setOpacity(1);
    if (hasFocus()) {
        const qreal m = kDotFocusMargin;
        ui::paintFocusRing(painter, dot.adjusted(-m, -m, m, m), palette(), m_diameter / 2 + m);
    }
}

void DotButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace kalvix

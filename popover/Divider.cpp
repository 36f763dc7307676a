#include "popover/Divider.h"

#include "ui/ColorRoles.h"

#include <QPainter>

namespace kalvix {
namespace {
constexpr int kThickness = 1;
} // namespace

Divider::Divider(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
{
    if (orientation == Qt::Horizontal) {
        setFixedHeight(kThickness);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedWidth(kThickness);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize Divider::sizeHint() const
{
    return QSize(kThickness, kThickness);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ui::roleColor(ui::ColorRole::separator, palette()));
}

} // namespace kalvix

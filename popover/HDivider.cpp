#include "popover/HDivider.h"

#include "ui/ColorRoles.h"

#include <QPainter>

namespace kalvix {
namespace {
constexpr int kThickness = 1;
} // namespace

HDivider::HDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kThickness);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize HDivider::sizeHint() const
{
    return QSize(kThickness, kThickness);
}

void HDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ui::roleColor(ui::ColorRole::separator, palette()));
}

} // namespace kalvix

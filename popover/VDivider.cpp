#include "popover/VDivider.h"

#include "ui/ColorRoles.h"

#include <QPainter>

namespace kalvix {
namespace {
constexpr int kThickness = 1;
} // namespace

VDivider::VDivider(QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(kThickness);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize VDivider::sizeHint() const
{
    return QSize(kThickness, kThickness);
}

void VDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ui::roleColor(ui::ColorRole::separator, palette()));
}

} // namespace kalvix

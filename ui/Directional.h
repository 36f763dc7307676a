#pragma once
// Symbols that point along the reading direction. A right-to-left layout swaps the places of "back" and
// "on" by itself; their chevrons must swap too, or "back" would point on.
#include <QString>
#include <QWidget>

namespace kalvix::ui {

inline bool isRightToLeft(const QWidget* widget)
{
    return widget->layoutDirection() == Qt::RightToLeft;
}

inline QString backChevron(const QWidget* widget)
{
    return isRightToLeft(widget) ? QStringLiteral("chevron.right") : QStringLiteral("chevron.left");
}

inline QString onChevron(const QWidget* widget)
{
    return isRightToLeft(widget) ? QStringLiteral("chevron.left") : QStringLiteral("chevron.right");
}

} // namespace kalvix::ui

#include "ui/Switch.h"

#include "ui/ColorRoles.h"
#include "ui/PlainButton.h"
#include "ui/Shapes.h"

#include <QPainter>

namespace kalvix::ui {
namespace {

constexpr qreal kTrackWidth = 32;
constexpr qreal kTrackHeight = 18;
constexpr qreal kKnobInset = 2;
constexpr qreal kRingRoom = 3; // around the track, for the focus ring
constexpr qreal kOffTrackLight = 0.16;
constexpr qreal kOffTrackDark = 0.26;
constexpr qreal kKnobShadow = 0.22;
constexpr qreal kDisabledOpacity = 0.45;
constexpr qreal kPressedDim = 0.85;

} // namespace

Switch::Switch(const QString& accessibleName, QWidget* parent)
    : QCheckBox(parent)
{
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::TabFocus); // a click does not leave a focus ring behind
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Switch::sizeHint() const
{
    return QSize(static_cast<int>(kTrackWidth + 2 * kRingRoom), static_cast<int>(kTrackHeight + 2 * kRingRoom));
}

QSize Switch::minimumSizeHint() const
{
    return sizeHint();
}

QRectF Switch::trackRect() const
{
    const QRectF area = rect();
    return QRectF(area.center().x() - kTrackWidth / 2, area.center().y() - kTrackHeight / 2, kTrackWidth, kTrackHeight);
}

QRectF Switch::knobRect() const
{
    const QRectF track = trackRect();
    const qreal side = kTrackHeight - 2 * kKnobInset;
    const qreal x = isChecked() ? track.right() - kKnobInset - side : track.left() + kKnobInset;
    return QRectF(x, track.top() + kKnobInset, side, side);
}

bool Switch::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void Switch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);

    const QRectF track = trackRect();
    QColor fill = isChecked()
                      ? roleColor(ColorRole::accent, pal)
                      : withOpacity(roleColor(ColorRole::primary, pal), isDark(pal) ? kOffTrackDark : kOffTrackLight);
    if (isDown())
        fill = isChecked() ? fill.darker(115) : withOpacity(fill, 1.0 / kPressedDim);
    fillRoundedRect(painter, track, track.height() / 2, fill);

    const QRectF knob = knobRect();
    fillCircle(painter, knob.translated(0, 0.5), withOpacity(QColor(0, 0, 0), kKnobShadow));
    fillCircle(painter, knob, fixedColor(FixedColor::white, pal));

    painter.setOpacity(1);
    if (hasFocus())
        paintFocusRing(
            painter, track.adjusted(-kRingRoom, -kRingRoom, kRingRoom, kRingRoom), pal, track.height() / 2 + kRingRoom);
}

} // namespace kalvix::ui

#pragma once
// An on/off switch as desktop settings draw them: a rounded track, filled with the accent colour when on,
// and a white knob at the end that is on. Underneath it is a check box, so screen readers announce it as
// one (with its checked state) and Space toggles it. It has no text of its own: the form row's label
// stands beside it, and the switch carries the same words as its accessible name.
//
// Like Kalvix's plain buttons it takes focus from the keyboard only, and shows a focus ring then.
#include <QCheckBox>

namespace kalvix::ui {

class Switch final : public QCheckBox {
    Q_OBJECT
public:
    explicit Switch(const QString& accessibleName, QWidget* parent = nullptr);

    // The track's rectangle inside the widget (the rest is room for the focus ring).
    QRectF trackRect() const;
    // The knob's circle for the current state.
    QRectF knobRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace kalvix::ui

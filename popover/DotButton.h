#pragma once
// A button whose label is a small filled circle (the Compact grid's "Go to today"), drawn in an ink
// resolved at paint time. It takes Tab focus and is activated with Space or Enter; its width leaves room
// for the focus ring around the circle (focusMargin() on each side), which a layout that spaces the
// circle itself takes off its spacing.
#include "ui/ColorRoles.h"

#include <QAbstractButton>

namespace kalvix {

class DotButton final : public QAbstractButton {
    Q_OBJECT
public:
    DotButton(qreal diameter, ui::Ink ink, const QString& accessibleName, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    static int focusMargin();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    qreal m_diameter;
    ui::Ink m_ink;
};

} // namespace kalvix

#pragma once
// The big clock of the Standard layout: the time with seconds in bold 64, and on a 12-hour clock the day
// period beside it in semibold 30 and the secondary colour, both on one baseline. Every digit sits in a
// cell as wide as the widest digit, so nothing moves from second to second.
#include "popover/HeaderTexts.h"

#include <QWidget>

namespace kalvix {

class BigTimeView final : public QWidget {
    Q_OBJECT
public:
    explicit BigTimeView(QWidget* parent = nullptr);

    void setText(const BigClockText& text);
    const BigClockText& text() const { return m_text; }

    // Where each part is drawn, in the view's coordinates (the day period's box is empty on a 24-hour clock).
    QRectF timeRect() const;
    QRectF dayPeriodRect() const;
    qreal baseline() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BigClockText m_text;
    QFont m_timeFont;
    QFont m_periodFont;
};

} // namespace kalvix

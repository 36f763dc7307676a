#pragma once
// The drawn dial of a world clock: a white dial by day and a near-black one by night, twelve numerals,
// hour and minute hands in black or white, an orange second hand and centre cap.
//
// The drawing is a free function of a rectangle and a wall-clock time, so it can be checked without a
// window; clockFaceGeometry() is everything it draws, computed, and paintClockFace() draws exactly that.
// Angles start at 12 o'clock and grow clockwise; the circle has the radius of half the rectangle's
// shorter side, centred in it. Day is 06:00 to 17:59.
#include "time/CivilDays.h"
#include "time/Instant.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPalette>
#include <QRectF>
#include <QTimeZone>
#include <QWidget>

#include <array>

class QPainter;

namespace kalvix {

struct ClockHand {
    QLineF line; // from the tail through the centre to the tip
    qreal width = 1;
    QColor color;
    qreal angle = 0; // radians clockwise from 12 o'clock
};

struct ClockFaceGeometry {
    QPointF centre;
    qreal radius = 0;
    bool daytime = true;
    QColor dialFill;
    QColor dialOutline;
    qreal numeralPixelSize = 0;
    QColor numeralColor;
    std::array<QPointF, 12> numeralCentres; // of 1 to 12
    ClockHand hour;
    ClockHand minute;
    ClockHand second;
    QRectF cap;
    QColor capColor;
};

// Whether the dial shows day at `hour` (0..23).
bool isDaytimeHour(int hour);

// hour 0..23, minute 0..59, second 0..59; colours resolved against `palette`.
ClockFaceGeometry clockFaceGeometry(const QRectF& rect, int hour, int minute, int second, const QPalette& palette);

// Draws the face into `rect`, antialiased, in the application's palette or a given one.
void paintClockFace(QPainter& painter, const QRectF& rect, int hour, int minute, int second);
void paintClockFace(QPainter& painter, const QRectF& rect, int hour, int minute, int second, const QPalette& palette);

// The wall-clock time of `now` in `zone`, in whole seconds (the second hand steps); an instant outside
// the calendar reads 00:00:00.
CivilTime wallTimeIn(Instant now, const QTimeZone& zone);

// The face as a widget: 70 by 70 unless laid out otherwise. Repaints only when the time it shows changes.
class AnalogClockFace final : public QWidget {
    Q_OBJECT
public:
    explicit AnalogClockFace(QWidget* parent = nullptr);

    void setTime(CivilTime time);
    CivilTime time() const { return m_time; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CivilTime m_time;
};

} // namespace kalvix

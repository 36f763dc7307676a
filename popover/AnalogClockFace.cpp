#include "popover/AnalogClockFace.h"

#include "time/CivilCalendar.h"
#include "ui/ColorRoles.h"
#include "ui/PaintCache.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>
#include <numbers>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::FixedColor;

constexpr int kClockFaceSide = 70;
constexpr int kFirstDayHour = 6;
constexpr int kFirstNightHour = 18;

constexpr qreal kNightDialWhite = 0.1;
constexpr qreal kDialOutlineOpacity = 0.35;
// A dial close to the window's colour (the white one on a light theme, the night one on a dark theme) is
// found by its outline: that is then strengthened to what any control's edge needs (3:1), with a margin
// as a one-pixel ring seldom lands whole on device pixels.
constexpr qreal kEdgeContrast = 3.5;
constexpr qreal kFacesOwnContrast = 3.0;
constexpr qreal kDialOutlineWidth = 1;

constexpr qreal kNumeralDistance = 0.76;
constexpr qreal kNumeralSize = 0.26;
constexpr qreal kDayNumeralOpacity = 0.75;
constexpr qreal kNightNumeralOpacity = 0.85;

constexpr qreal kHourTail = -0.08, kHourTip = 0.45, kHourWidth = 3;
constexpr qreal kMinuteTail = -0.08, kMinuteTip = 0.68, kMinuteWidth = 2;
constexpr qreal kSecondTail = -0.14, kSecondTip = 0.78, kSecondWidth = 1;
constexpr qreal kCapDiameter = 4;
constexpr qreal kMiterLimit = 10;

constexpr qreal kTurn = 2 * std::numbers::pi;

// The point at distance k along angle theta from the centre (theta 0 at 12 o'clock, clockwise).
QPointF along(QPointF centre, qreal k, qreal theta)
{
    return QPointF(centre.x() + k * std::sin(theta), centre.y() - k * std::cos(theta));
}

ClockHand hand(QPointF centre, qreal radius, qreal theta, qreal tail, qreal tip, qreal width, QColor color)
{
    return ClockHand{
        QLineF(along(centre, tail * radius, theta), along(centre, tip * radius, theta)), width, color, theta};
}

QFont numeralFont(qreal pixelSize, const QPaintDevice* device)
{
    // Fonts take whole pixel sizes only; a point size at the device's resolution gives the exact one.
    QFont font = QGuiApplication::font();
    font.setWeight(QFont::Medium);
    const int dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    font.setPointSizeF(std::max<qreal>(0.5, pixelSize * 72.0 / dpi));
    return font;
}

void strokeHand(QPainter& painter, const ClockHand& h)
{
    QPen pen(h.color, h.width, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(kMiterLimit);
    painter.setPen(pen);
    painter.drawLine(h.line);
}

// The dial, its outline and the numerals: what changes only between day and night.
void paintDial(QPainter& painter, const ClockFaceGeometry& g)
{
    const QRectF dial(g.centre.x() - g.radius, g.centre.y() - g.radius, 2 * g.radius, 2 * g.radius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(g.dialFill);
    painter.drawEllipse(dial);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(g.dialOutline, kDialOutlineWidth));
    painter.drawEllipse(dial);

    const QFont font = numeralFont(g.numeralPixelSize, painter.device());
    const QFontMetricsF fm(font, painter.device());
    painter.setFont(font);
    painter.setPen(g.numeralColor);
    const QLocale locale; // the locale's digits, as the time under the face is written
    for (int n = 1; n <= 12; ++n) {
        // Centred on the point by the digits' own height, not the line's, so 12 and 6 sit evenly.
        const QString text = locale.toString(n);
        const QPointF at = g.numeralCentres[n - 1];
        painter.drawText(QPointF(at.x() - fm.horizontalAdvance(text) / 2, at.y() + fm.capHeight() / 2), text);
    }
}

} // namespace

bool isDaytimeHour(int hour)
{
    return hour >= kFirstDayHour && hour < kFirstNightHour;
}

ClockFaceGeometry clockFaceGeometry(const QRectF& rect, int hour, int minute, int second, const QPalette& palette)
{
    ClockFaceGeometry g;
    g.centre = rect.center();
    g.radius = std::min(rect.width(), rect.height()) / 2;
    g.daytime = isDaytimeHour(hour);
    g.dialFill = g.daytime ? ui::fixedColor(FixedColor::white, palette)
                           : QColor::fromRgbF(kNightDialWhite, kNightDialWhite, kNightDialWhite);
    g.dialOutline = ui::withOpacity(ui::roleColor(ColorRole::secondary, palette), kDialOutlineOpacity);
    const QColor window = ui::roleColor(ColorRole::windowBackground, palette);
    if (ui::contrastRatio(g.dialFill, window) < kFacesOwnContrast)
        g.dialOutline = ui::withContrast(g.dialOutline, window, kEdgeContrast);

    g.numeralPixelSize = kNumeralSize * g.radius;
    g.numeralColor = g.daytime ? ui::withOpacity(ui::fixedColor(FixedColor::black, palette), kDayNumeralOpacity)
                               : ui::withOpacity(ui::fixedColor(FixedColor::white, palette), kNightNumeralOpacity);
    for (int n = 1; n <= 12; ++n)
        g.numeralCentres[n - 1] = along(g.centre, kNumeralDistance * g.radius, n / 12.0 * kTurn);

    const QColor handColor = ui::fixedColor(g.daytime ? FixedColor::black : FixedColor::white, palette);
    const QColor orange = ui::fixedColor(FixedColor::orange, palette);
    const qreal hourTheta = ((hour % 12) + minute / 60.0) / 12.0 * kTurn;
    const qreal minuteTheta = (minute + second / 60.0) / 60.0 * kTurn;
    const qreal secondTheta = second / 60.0 * kTurn;
    g.hour = hand(g.centre, g.radius, hourTheta, kHourTail, kHourTip, kHourWidth, handColor);
    g.minute = hand(g.centre, g.radius, minuteTheta, kMinuteTail, kMinuteTip, kMinuteWidth, handColor);
    g.second = hand(g.centre, g.radius, secondTheta, kSecondTail, kSecondTip, kSecondWidth, orange);

    g.cap = QRectF(g.centre.x() - kCapDiameter / 2, g.centre.y() - kCapDiameter / 2, kCapDiameter, kCapDiameter);
    g.capColor = orange;
    return g;
}

void paintClockFace(QPainter& painter, const QRectF& rect, int hour, int minute, int second)
{
    paintClockFace(painter, rect, hour, minute, second, QGuiApplication::palette());
}

void paintClockFace(QPainter& painter, const QRectF& rect, int hour, int minute, int second, const QPalette& palette)
{
    const ClockFaceGeometry g = clockFaceGeometry(rect, hour, minute, second, palette);
    if (g.radius <= 0)
        return;
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    // The dial changes only between day and night (and with the theme): drawn once, copied every second.
    const QString dialKey = QStringLiteral("clock-dial|%1|%2|%3|%4")
                                .arg(g.dialFill.rgba(), 0, 16)
                                .arg(g.dialOutline.rgba(), 0, 16)
                                .arg(g.numeralColor.rgba(), 0, 16)
                                .arg(QGuiApplication::font().key());
    ui::paintCached(painter, rect, dialKey, [&](QPainter& p, const QRectF& target) {
        p.translate(target.topLeft() - rect.topLeft());
        paintDial(p, g);
    });

    strokeHand(painter, g.hour);
    strokeHand(painter, g.minute);
    strokeHand(painter, g.second);

    painter.setPen(Qt::NoPen);
    painter.setBrush(g.capColor);
    painter.drawEllipse(g.cap);
    painter.restore();
}

CivilTime wallTimeIn(Instant now, const QTimeZone& zone)
{
    const std::optional<CivilTime> time = CivilCalendar(zone).timeOf(now);
    if (!time)
        return {};
    return CivilTime{time->hour, time->minute, time->second};
}

AnalogClockFace::AnalogClockFace(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void AnalogClockFace::setTime(CivilTime time)
{
    if (time == m_time)
        return;
    m_time = time;
    update();
}

QSize AnalogClockFace::sizeHint() const
{
    return QSize(kClockFaceSide, kClockFaceSide);
}

void AnalogClockFace::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintClockFace(painter, QRectF(rect()), m_time.hour, m_time.minute, m_time.second, palette());
}

} // namespace kalvix

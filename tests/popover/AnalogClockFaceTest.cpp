#include "popover/AnalogClockFace.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestEnv.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kalvix;
using namespace kalvix::test;

namespace {

constexpr qreal kTurn = 2 * std::numbers::pi;

// The clockwise angle from 12 o'clock at which a hand points, read from its drawn line.
qreal pointing(const ClockHand& hand, QPointF centre)
{
    const QPointF tip = hand.line.p2() - centre;
    qreal angle = std::atan2(tip.x(), -tip.y());
    return angle < 0 ? angle + kTurn : angle;
}

// The face painted alone into an image of `size` logical pixels at `dpr`.
QImage face(QSizeF size, CivilTime t, qreal dpr = 2.0, const QPalette& palette = ui::lightPalette())
{
    QImage image((size * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintClockFace(painter, QRectF(QPointF(0, 0), size), t.hour, t.minute, t.second, palette);
    return image;
}

QPointF along(QPointF centre, qreal distance, qreal angle)
{
    return centre + QPointF(distance * std::sin(angle), -distance * std::cos(angle));
}

} // namespace

TEST(AnalogClockFace, handsAtHalfAMinuteBeforeNoon)
{
    popoverApp();
    const QRectF rect(0, 0, 70, 70);
    const ClockFaceGeometry g = clockFaceGeometry(rect, 11, 59, 30, ui::lightPalette());
    EXPECT_NEAR(pointing(g.hour, g.centre), (11 + 59.0 / 60) / 12 * kTurn, 1e-9) << "just short of 12";
    EXPECT_NEAR(pointing(g.minute, g.centre), 59.5 / 60 * kTurn, 1e-9);
    EXPECT_NEAR(pointing(g.second, g.centre), std::numbers::pi, 1e-9) << "at 6 o'clock";
    // Lengths as fractions of the radius, tails through the centre.
    EXPECT_NEAR(QLineF(g.centre, g.hour.line.p2()).length(), 0.45 * 35, 1e-9);
    EXPECT_NEAR(QLineF(g.centre, g.minute.line.p1()).length(), 0.08 * 35, 1e-9);
    EXPECT_NEAR(QLineF(g.centre, g.second.line.p2()).length(), 0.78 * 35, 1e-9);
    EXPECT_GT(g.hour.width, g.minute.width);
    EXPECT_GT(g.minute.width, g.second.width);

    // In the picture: orange below the centre where the second hand points, none above it, where the
    // two black hands meet near 12.
    const QImage image = face(rect.size(), {11, 59, 30});
    const QColor orange = ui::fixedColor(ui::FixedColor::orange, ui::lightPalette());
    EXPECT_TRUE(sameRgb(pixelAt(image, along(g.centre, 0.6 * 35, std::numbers::pi)), orange, 40));
    const QColor above = pixelAt(image, along(g.centre, 0.3 * 35, 0));
    EXPECT_LT(above.lightness(), 60) << "black hands at 12";
    EXPECT_FALSE(sameRgb(above, orange, 40));
}

TEST(AnalogClockFace, dialAndHandsTurnAtSixInTheMorningAndSixInTheEvening)
{
    popoverApp();
    const struct {
        const char* name;
        CivilTime time;
        bool day;
    } rows[] = {
        {"05:59 still night", {5, 59, 0}, false},
        {"06:00 day", {6, 0, 0}, true},
        {"17:59 still day", {17, 59, 0}, true},
        {"18:00 night", {18, 0, 0}, false},
        {"half a minute past midnight", {0, 0, 30}, false},
    };
    const QRectF rect(0, 0, 70, 70);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ClockFaceGeometry g =
            clockFaceGeometry(rect, row.time.hour, row.time.minute, row.time.second, ui::lightPalette());
        EXPECT_EQ(g.daytime, row.day);
        const QImage image = face(rect.size(), row.time);
        // The dial at 3 o'clock, inside the numerals, where no hand is at these times.
        const QColor dial = pixelAt(image, along(g.centre, 0.5 * 35, kTurn / 4));
        EXPECT_TRUE(sameRgb(dial, row.day ? QColor(255, 255, 255) : QColor(26, 26, 26), 2))
            << dial.name().toStdString();
        // The hour hand, a third of the way out.
        const QColor hand = pixelAt(image, along(g.centre, 0.3 * 35, pointing(g.hour, g.centre)));
        EXPECT_TRUE(sameRgb(hand, row.day ? QColor(0, 0, 0) : QColor(255, 255, 255), 12)) << hand.name().toStdString();
        // Numerals: black at 0.75 by day, white at 0.85 by night.
        EXPECT_EQ(g.numeralColor.rgb(), row.day ? QColor(0, 0, 0).rgb() : QColor(255, 255, 255).rgb());
        EXPECT_NEAR(g.numeralColor.alphaF(), row.day ? 0.75 : 0.85, 0.01);
    }
}

TEST(AnalogClockFace, numeralsSitOnTheirHoursAtThreeQuartersOfTheRadius)
{
    popoverApp();
    const ClockFaceGeometry g = clockFaceGeometry(QRectF(0, 0, 70, 70), 10, 10, 0, ui::lightPalette());
    EXPECT_NEAR(g.numeralCentres[11].x(), 35, 1e-9); // 12 straight up
    EXPECT_NEAR(g.numeralCentres[11].y(), 35 - 0.76 * 35, 1e-9);
    EXPECT_NEAR(g.numeralCentres[2].x(), 35 + 0.76 * 35, 1e-9); // 3 to the right
    EXPECT_NEAR(g.numeralCentres[5].y(), 35 + 0.76 * 35, 1e-9); // 6 straight down
    EXPECT_NEAR(g.numeralPixelSize, 0.26 * 35, 1e-9);

    // Each numeral leaves ink around its point in the picture (white dial, dark digits at 10:10 by day).
    const QImage image = face(QSizeF(70, 70), {10, 10, 0}, 4.0);
    for (int n : {3, 6, 9}) {
        const QPointF at = g.numeralCentres[n - 1];
        int dark = 0;
        for (qreal dx = -2; dx <= 2; dx += 0.25)
            for (qreal dy = -3; dy <= 3; dy += 0.25)
                dark += pixelAt(image, at + QPointF(dx, dy)).lightness() < 160 ? 1 : 0;
        EXPECT_GT(dark, 10) << "numeral " << n;
    }
}

TEST(AnalogClockFace, aWideCanvasGetsACentredCircleOfHalfTheShorterSide)
{
    popoverApp();
    const ClockFaceGeometry g = clockFaceGeometry(QRectF(0, 0, 100, 60), 9, 0, 0, ui::lightPalette());
    EXPECT_EQ(g.centre, QPointF(50, 30));
    EXPECT_EQ(g.radius, 30);
    const QImage image = face(QSizeF(100, 60), {9, 0, 0});
    EXPECT_EQ(pixelAt(image, QPointF(50 - 33, 30)).alpha(), 0) << "outside the circle stays clear";
    EXPECT_EQ(pixelAt(image, QPointF(50 + 33, 30)).alpha(), 0);
    EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(50 + 15, 30 + 12)), Qt::white, 2));
}

TEST(AnalogClockFace, theOutlineIsFaintSecondaryWhereTheDialStandsOutAndAFoundEdgeWhereNotAndTheCapIsOrange)
{
    popoverApp();
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        const QColor window = ui::roleColor(ui::ColorRole::windowBackground, palette);
        const QColor secondary = ui::roleColor(ui::ColorRole::secondary, palette);
        // The white dial on a light window and the night dial on a dark one are the close ones.
        for (const int hour : {12, 0}) {
            const ClockFaceGeometry g = clockFaceGeometry(QRectF(0, 0, 70, 70), hour, 0, 0, palette);
            const bool close = (hour == 12) != ui::isDark(palette);
            EXPECT_EQ(ui::contrastRatio(g.dialFill, window) < 3, close) << hour;
            EXPECT_EQ(g.dialOutline.rgb(), secondary.rgb());
            const QImage image = face(QSizeF(70, 70), {hour, 0, 0}, 2.0, palette);
            if (close) {
                // The rim as painted over the window, its outer half.
                QImage over(image.size(), QImage::Format_ARGB32_Premultiplied);
                over.setDevicePixelRatio(image.devicePixelRatio());
                over.fill(window);
                QPainter(&over).drawImage(0, 0, image);
                qreal rim = 1;
                for (int x = 0; x < 6; ++x)
                    rim = std::max(rim, ui::contrastRatio(over.pixelColor(x, over.height() / 2 - 8), window));
                EXPECT_GE(rim, 3.0) << hour << (ui::isDark(palette) ? " dark" : " light");
            } else {
                EXPECT_NEAR(g.dialOutline.alphaF(), secondary.alphaF() * 0.35, 0.01);
            }
            EXPECT_EQ(g.cap, QRectF(33, 33, 4, 4));
            EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(35, 35)), ui::fixedColor(ui::FixedColor::orange, palette), 8));
        }
    }
}

TEST(AnalogClockFace, drawnAtTheDeviceResolutionAtEveryScale)
{
    popoverApp();
    // At 07:30:00 only the second hand crosses the dial halfway up to 12. Drawn at the device's resolution,
    // its ink across that row adds up to its one-point width and touches no pixel beyond its antialiased
    // edges; a face drawn at scale 1 and enlarged would smear it wider.
    for (qreal dpr : {1.0, 1.25, 2.0}) {
        const QImage image = face(QSizeF(70, 70), {7, 30, 0}, dpr);
        EXPECT_EQ(image.width(), qRound(70 * dpr));
        const int y = static_cast<int>(17.5 * dpr);
        qreal ink = 0;
        for (int x = static_cast<int>(29 * dpr); x < static_cast<int>(41 * dpr); ++x) {
            const QColor c = image.pixelColor(x, y);
            const qreal coverage = 1.0 - c.blueF(); // white dial, orange hand without blue
            if (coverage < 0.05)
                continue;
            ink += coverage;
            EXPECT_NEAR((x + 0.5) / dpr, 35.0, 0.5 + 1.0 / dpr) << "scale " << dpr << " x " << x;
        }
        EXPECT_NEAR(ink / dpr, 1.0, 0.15) << "scale " << dpr;
    }
}

TEST(AnalogClockFace, wallTimeInAZoneAndOutsideTheCalendar)
{
    const Instant t{utcSeconds(2024, 3, 5, 14, 59, 30)};
    EXPECT_EQ(wallTimeIn(t, QTimeZone("Asia/Tokyo")), (CivilTime{23, 59, 30}));
    EXPECT_EQ(wallTimeIn(t, QTimeZone("America/St_Johns")), (CivilTime{11, 29, 30}));
    EXPECT_EQ(wallTimeIn(Instant{t.seconds + 0.9}, QTimeZone::utc()), (CivilTime{14, 59, 30})) << "whole seconds";
    EXPECT_EQ(wallTimeIn(Instant{1e300}, QTimeZone::utc()), (CivilTime{0, 0, 0}));
}

TEST(AnalogClockFace, theWidgetRepaintsOnlyWhenTheTimeItShowsChanges)
{
    popoverApp();
    AnalogClockFace widget;
    EXPECT_EQ(widget.sizeHint(), QSize(70, 70));
    widget.setTime({8, 15, 0});
    const QImage first = renderWidget(widget);
    widget.setTime({8, 15, 1});
    EXPECT_NE(renderWidget(widget), first) << "the second hand stepped";
}

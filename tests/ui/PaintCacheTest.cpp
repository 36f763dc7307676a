#include "ui/PaintCache.h"
#include "tests/support/TestApplication.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace kalvix;

namespace {

QImage canvas(qreal dpr)
{
    QImage image(QSize(60, 40) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    return image;
}

// A soft ring: antialiased and semi-transparent, the kind of drawing the cache is for.
void ring(QPainter& painter, const QRectF& rect)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 40, 40, 120), 1.5));
    painter.drawEllipse(rect.adjusted(2, 2, -2, -2));
}

} // namespace

TEST(PaintCache, aCopyIsWhatDrawingGivesAndIsDrawnOnce)
{
    test::testApplication<QGuiApplication>();
    for (qreal dpr : {1.0, 2.0}) {
        QImage direct = canvas(dpr);
        {
            QPainter painter(&direct);
            ring(painter, QRectF(10, 5, 30, 30));
        }
        int draws = 0;
        const auto counted = [&draws](QPainter& p, const QRectF& r) {
            ++draws;
            ring(p, r);
        };
        for (int round = 0; round < 3; ++round) {
            QImage cached = canvas(dpr);
            QPainter painter(&cached);
            painter.setRenderHint(QPainter::Antialiasing);
            ui::paintCached(painter, QRectF(10, 5, 30, 30), QStringLiteral("test-ring"), counted);
            painter.end();
            EXPECT_EQ(cached, direct) << "scale " << dpr << ", round " << round;
        }
        EXPECT_EQ(draws, 1) << "drawn once at scale " << dpr;
    }
}

TEST(PaintCache, offTheDevicePixelGridItDrawsDirectly)
{
    test::testApplication<QGuiApplication>();
    int draws = 0;
    const auto counted = [&draws](QPainter& p, const QRectF& r) {
        ++draws;
        ring(p, r);
    };
    QImage image = canvas(1.25);
    QPainter painter(&image);
    ui::paintCached(painter, QRectF(10, 5, 30, 30), QStringLiteral("off-grid"), counted); // 12.5 device pixels in
    ui::paintCached(painter, QRectF(10, 5, 30, 30), QStringLiteral("off-grid"), counted);
    painter.rotate(10);
    EXPECT_EQ(ui::deviceScale(painter), 0);
    ui::paintCached(painter, QRectF(8, 8, 30, 30), QStringLiteral("rotated"), counted);
    ui::paintCached(painter, QRectF(8, 8, 30, 30), QStringLiteral("rotated"), counted);
    EXPECT_EQ(draws, 4);
}

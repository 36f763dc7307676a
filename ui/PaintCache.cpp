#include "ui/PaintCache.h"

#include <QCache>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace kalvix::ui {
namespace {

constexpr int kCachedImages = 128;

bool isWhole(qreal v)
{
    return std::abs(v - std::round(v)) < 1e-6;
}

} // namespace

qreal deviceScale(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || !qFuzzyCompare(t.m11(), t.m22()) || t.m11() <= 0)
        return 0;
    return t.m11();
}

void paintCached(QPainter& painter,
                 const QRectF& rect,
                 const QString& key,
                 const std::function<void(QPainter& painter, const QRectF& rect)>& draw)
{
    const qreal scale = deviceScale(painter);
    const QRectF device = painter.deviceTransform().mapRect(rect);
    if (scale <= 0 || device.isEmpty() || !isWhole(device.left()) || !isWhole(device.top()) ||
        !isWhole(device.width()) || !isWhole(device.height())) {
        draw(painter, rect);
        return;
    }
    static QCache<QString, QImage> cache(kCachedImages);
    const QString fullKey = QStringLiteral("%1x%2@%3|").arg(rect.width()).arg(rect.height()).arg(scale) + key;
    const QImage* image = cache.object(fullKey);
    if (!image) {
        auto* drawn = new QImage(device.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        drawn->setDevicePixelRatio(scale);
        drawn->fill(Qt::transparent);
        {
            QPainter p(drawn);
            p.setRenderHints(painter.renderHints());
            draw(p, QRectF(QPointF(0, 0), rect.size()));
        }
        cache.insert(fullKey, drawn);
        image = drawn;
    }
    painter.drawImage(rect.topLeft(), *image);
}

} // namespace kalvix::ui

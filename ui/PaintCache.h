#pragma once
// For drawings that cost much and change seldom, repainted every second all the same: a clock's dial, a
// card with a faint ring, the big clock's glyphs. They are drawn once into an image on the device's pixel
// grid and then only copied, which is what a one-second repaint can afford; a semi-transparent ring or a
// 64-point glyph drawn afresh costs a hundred times more.
//
// Only where the painter puts the rectangle on whole device pixels without rotation is the cache used
// (an image copied there is exactly what drawing would give); anywhere else the drawing is done directly.
// Main thread only.
#include <QRectF>
#include <QString>

#include <functional>

class QPainter;

namespace kalvix::ui {

// Draws into `rect` (logical units) what `draw` draws there. `key` names everything the drawing depends on
// besides the rectangle's size and the device scale: colours, texts, fonts.
void paintCached(QPainter& painter,
                 const QRectF& rect,
                 const QString& key,
                 const std::function<void(QPainter& painter, const QRectF& rect)>& draw);

// The device pixels per logical unit of `painter`, or 0 when it rotates, skews or scales unevenly.
qreal deviceScale(const QPainter& painter);

} // namespace kalvix::ui

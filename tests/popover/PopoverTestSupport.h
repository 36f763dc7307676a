#pragma once
// What the popover's view tests share: the application, laying a view out at a width as its window would,
// and reading back what it painted.
#include "popover/Divider.h"
#include "tests/support/TestApplication.h"
#include "ui/ColorRoles.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QWidget>

#include <cmath>
#include <cstdlib>

namespace kalvix::test {

inline QApplication& popoverApp()
{
    auto& app = testApplication<QApplication>();
    // Pictures and colours read back must not depend on the machine's icon theme or desktop palette.
    ui::setPreferOwnSymbols(true);
    QApplication::setPalette(ui::lightPalette());
    return app;
}

// Lays `view` out at `width` and its natural height there, as a window holding it would: shown (not on
// screen), so every nested layout takes its geometry.
inline void layOut(QWidget& view, int width)
{
    if (!view.isVisible()) {
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
    }
    for (int pass = 0; pass < 3; ++pass) { // a size change inside may ask for another round
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (view.layout())
            view.layout()->activate();
        const int height = view.hasHeightForWidth() ? view.heightForWidth(width) : view.sizeHint().height();
        view.resize(width, height);
    }
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// `widget` as painted at a device pixel ratio over `background` (transparent when none).
inline QImage render(QWidget& widget, qreal dpr, QColor background = Qt::transparent)
{
    QImage image(QSize(std::lround(widget.width() * dpr), std::lround(widget.height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// `child`'s rectangle in `ancestor`'s coordinates.
// The hairlines of one orientation under `parent`, Qt::Horizontal for those between rows.
inline QList<Divider*> dividersIn(const QWidget& parent,
                                  Qt::Orientation orientation,
                                  Qt::FindChildOptions options = Qt::FindChildrenRecursively)
{
    QList<Divider*> found;
    for (Divider* divider : parent.findChildren<Divider*>(options))
        if (divider->orientation() == orientation)
            found << divider;
    return found;
}

inline QRect rectIn(const QWidget* child, const QWidget* ancestor)
{
    return QRect(child->mapTo(ancestor, QPoint(0, 0)), child->size());
}

inline bool sameRgb(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// `widget` laid out at its current size and painted at `dpr` over `background`.
inline QImage renderWidget(QWidget& widget, qreal dpr = 2.0, QColor background = Qt::transparent)
{
    widget.ensurePolished();
    if (QLayout* layout = widget.layout())
        layout->activate();
    return render(widget, dpr, background);
}

// The pixel at a point in logical coordinates of an image painted at its device pixel ratio.
inline QColor pixelAt(const QImage& image, QPointF logical)
{
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(logical.x() * dpr), static_cast<int>(logical.y() * dpr));
}

// `top` over `bottom` at top's alpha, as a painter composes them.
inline QColor over(QColor top, QColor bottom)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a),
                            top.greenF() * a + bottom.greenF() * (1 - a),
                            top.blueF() * a + bottom.blueF() * (1 - a));
}

} // namespace kalvix::test

#include "ui/Symbols.h"

#include <QCache>
#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace kalvix::ui {
namespace {

bool g_preferOwn = false;

const QHash<QString, QStringList>& table()
{
    static const QHash<QString, QStringList> names{
        {QStringLiteral("calendar"), {QStringLiteral("x-office-calendar-symbolic")}},
        {QStringLiteral("chevron.left"), {QStringLiteral("go-previous-symbolic")}},
        {QStringLiteral("chevron.right"), {QStringLiteral("go-next-symbolic")}},
        // Kalvix's own, whatever the theme: themes draw "more" as a bare ⋮, "close" as a thin × and "remove"
        // as a red dash, each a weaker cue than the filled or ringed circle these buttons are known by.
        {QStringLiteral("ellipsis.circle"), {}},
        {QStringLiteral("lightbulb"), {QStringLiteral("dialog-information-symbolic")}},
        {QStringLiteral("xmark.circle.fill"), {}},
        {QStringLiteral("sunrise"), {QStringLiteral("daytime-sunrise-symbolic")}},
        // Multicolour in the design: Kalvix's own drawing carries the colours, a theme's does not.
        {QStringLiteral("sunset.fill"), {QStringLiteral("daytime-sunset-symbolic")}},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"), {QStringLiteral("view-fullscreen-symbolic")}},
        {QStringLiteral("gearshape"), {QStringLiteral("emblem-system-symbolic")}},
        {QStringLiteral("power"), {QStringLiteral("system-shutdown-symbolic")}},
        {QStringLiteral("flag.fill"), {QStringLiteral("flag-symbolic")}},
        {QStringLiteral("minus.circle.fill"), {}},
        {QStringLiteral("plus"), {QStringLiteral("list-add-symbolic")}},
    };
    return names;
}

QString ownPath(const QString& symbol, bool colorLayer = false)
{
    return QStringLiteral(":/kalvix/symbols/") + symbol +
           (colorLayer ? QStringLiteral("-color.svg") : QStringLiteral(".svg"));
}

bool hasColorLayer(const QString& symbol)
{
    return QFile::exists(ownPath(symbol, true));
}

QIcon themeIcon(const QString& symbol)
{
    for (const QString& name : table().value(symbol)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

void renderSvg(QImage& image, const QString& path)
{
    QSvgRenderer renderer(path);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
}

// Turns every drawn pixel into `color`, keeping its coverage.
void tint(QImage& image, const QColor& color)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
}

} // namespace

const QStringList& symbolNames()
{
    static const QStringList names = [] {
        QStringList all = table().keys();
        all.sort();
        return all;
    }();
    return names;
}

QStringList themeIconNames(const QString& symbol)
{
    return table().value(symbol);
}

void setPreferOwnSymbols(bool own)
{
    g_preferOwn = own;
}

SymbolSource symbolSource(const QString& symbol)
{
    if (g_preferOwn || hasColorLayer(symbol))
        return SymbolSource::own;
    return themeIcon(symbol).isNull() ? SymbolSource::own : SymbolSource::theme;
}

namespace {

QImage drawSymbol(const QString& symbol, int pixels, const QColor& color, qreal dpr, bool multicolor)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (symbolSource(symbol) == SymbolSource::theme) {
        const QImage icon = themeIcon(symbol).pixmap(QSize(pixels, pixels)).toImage();
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(image.rect()), icon);
    } else {
        renderSvg(image, ownPath(symbol));
    }
    tint(image, color);
    if (multicolor && symbolSource(symbol) == SymbolSource::own && hasColorLayer(symbol))
        renderSvg(image, ownPath(symbol, true));
    image.setDevicePixelRatio(dpr);
    return image;
}

} // namespace

QImage symbolImage(const QString& symbol, qreal size, const QColor& color, qreal dpr, bool multicolor)
{
    if (!table().contains(symbol) || size <= 0 || dpr <= 0)
        return {};
    const int pixels = std::max(1, static_cast<int>(std::lround(size * dpr)));
    // Views repaint every second; the same few symbols are drawn again and again. Keyed by the icon
    // theme too, so a change of theme shows at the next repaint.
    static QCache<QString, QImage> cache(256);
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                            .arg(symbol)
                            .arg(pixels)
                            .arg(color.rgba(), 0, 16)
                            .arg(dpr)
                            .arg(multicolor)
                            .arg(g_preferOwn)
                            .arg(QIcon::themeName());
    if (const QImage* cached = cache.object(key))
        return *cached;
    QImage image = drawSymbol(symbol, pixels, color, dpr, multicolor);
    cache.insert(key, new QImage(image));
    return image;
}

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color, bool multicolor)
{
    const qreal side = std::min(rect.width(), rect.height());
    // Pixels per logical unit where the symbol lands: the target's pixel ratio and any scaling of the painter.
    // Not painter.device(): while a widget is rendered into an image that is the widget, at the screen's ratio.
    const QTransform& toDevice = painter.deviceTransform();
    const qreal dpr = std::max(1.0, std::hypot(toDevice.m11(), toDevice.m12()));
    const QImage image = symbolImage(symbol, side, color, dpr, multicolor);
    if (image.isNull())
        return;
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.drawImage(target, image);
}

qreal symbolSize(const QFont& font)
{
    return std::ceil(QFontMetricsF(font).capHeight() * 1.45);
}

} // namespace kalvix::ui

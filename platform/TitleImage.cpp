#include "platform/TitleImage.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace kalvix::platform {
namespace {

qreal digitCell(const QFontMetricsF& fm)
{
    qreal widest = 0;
    for (char c = '0'; c <= '9'; ++c)
        widest = std::max(widest, fm.horizontalAdvance(QChar::fromLatin1(c)));
    return widest;
}

// Calls f(position, run, isDigit) for maximal runs of digits and non-digits.
template <typename F> void forEachRun(const QString& text, F&& f)
{
    qsizetype start = 0;
    while (start < text.size()) {
        const bool digit = text[start].isDigit();
        qsizetype end = start;
        while (end < text.size() && text[end].isDigit() == digit)
            ++end;
        f(text.mid(start, end - start), digit);
        start = end;
    }
}

} // namespace

qreal tabularTextWidth(const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const qreal cell = digitCell(fm);
    qreal width = 0;
    forEachRun(text, [&](const QString& run, bool digit) {
        width += digit ? cell * static_cast<qreal>(run.size()) : fm.horizontalAdvance(run);
    });
    return width;
}

QPainterPath tabularTextPath(qreal x, qreal baselineY, const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const qreal cell = digitCell(fm);
    QPainterPath path;
    forEachRun(text, [&](const QString& run, bool digit) {
        if (!digit) {
            path.addText(QPointF(x, baselineY), font, run);
            x += fm.horizontalAdvance(run);
            return;
        }
        for (QChar c : run) {
            const qreal w = fm.horizontalAdvance(c);
            path.addText(QPointF(x + (cell - w) / 2, baselineY), font, QString(c));
            x += cell;
        }
    });
    return path;
}

void paintTabularText(QPainter& painter, qreal x, qreal baselineY, const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const QPainterPath path = tabularTextPath(x, baselineY, text, font);
    // A halo in the opposite lightness keeps the text legible whatever the panel's colour.
    const QColor ink = painter.pen().color();
    const QColor halo = ink.lightness() > 128 ? QColor(0, 0, 0, 150) : QColor(255, 255, 255, 170);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(path,
                       QPen(halo, std::max<qreal>(1.0, fm.height() / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, ink);
    painter.restore();
}

QImage renderTitleImage(const QString& text, const QFont& font, int height)
{
    QFont f = font;
    f.setPixelSize(std::max(6, static_cast<int>(std::lround(height * 0.62))));
    const QFontMetricsF fm(f);
    const qreal pad = std::ceil(height * 0.12);
    const int width = std::max(1, static_cast<int>(std::ceil(tabularTextWidth(text, f) + 2 * pad)));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // Panels usually follow the desktop theme: dark text on a light theme, light text on a dark one.
    const bool lightTheme = QGuiApplication::palette().color(QPalette::Window).lightness() > 128;
    painter.setPen(lightTheme ? QColor(20, 20, 20) : QColor(255, 255, 255));
    const qreal baseline = (height - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
    paintTabularText(painter, pad, baseline, text, f);
    painter.end();
    return image;
}

} // namespace kalvix::platform

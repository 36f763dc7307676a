#include "ui/TextStyles.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace kalvix::ui {
namespace {

// Sizes at a body size of 13.
int designSize(TextStyle style)
{
    switch (style) {
    case TextStyle::title2:
        return 17;
    case TextStyle::body:
        return 13;
    case TextStyle::callout:
        return 12;
    case TextStyle::subheadline:
        return 11;
    case TextStyle::caption:
        return 10;
    }
    return 13;
}

constexpr int kDesignBody = 13;

int desktopBodySize()
{
    const QFont ui = QGuiApplication::font();
    const int pixels = ui.pixelSize() > 0 ? ui.pixelSize() : QFontInfo(ui).pixelSize();
    return std::clamp(pixels, 12, 16);
}

} // namespace

QFont systemFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weight);
    return font;
}

int textStylePixelSize(TextStyle style)
{
    const double scale = static_cast<double>(desktopBodySize()) / kDesignBody;
    return static_cast<int>(std::lround(designSize(style) * scale));
}

QFont textStyleFont(TextStyle style, QFont::Weight weight)
{
    return systemFont(textStylePixelSize(style), weight);
}

} // namespace kalvix::ui

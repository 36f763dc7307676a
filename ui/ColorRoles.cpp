#include "ui/ColorRoles.h"

#include <algorithm>
#include <cmath>

namespace kalvix::ui {
namespace {

struct LabelAlphas {
    qreal secondary;
    qreal tertiary;
    qreal quaternary;
    qreal separator;
};

// Secondary carries captions: at these strengths it reads at 5:1 or better on Kalvix's own palettes.
constexpr LabelAlphas kLightAlphas{0.65, 0.26, 0.10, 0.12};
constexpr LabelAlphas kDarkAlphas{0.68, 0.30, 0.12, 0.16};

// Small text needs 4.5:1 against what it is painted on. Captions also sit on faint fills (the tip's card),
// which take a little off, hence the margin.
constexpr qreal kCaptionContrast = 5.0;

qreal linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

qreal blendedChannel(qreal over, qreal under, qreal alpha)
{
    return over * alpha + under * (1 - alpha);
}

// `text` at `alpha` over the opaque `background`, as the eye sees it.
QColor blended(const QColor& text, const QColor& background, qreal alpha)
{
    return QColor::fromRgbF(blendedChannel(text.redF(), background.redF(), alpha),
                            blendedChannel(text.greenF(), background.greenF(), alpha),
                            blendedChannel(text.blueF(), background.blueF(), alpha));
}

} // namespace

qreal relativeLuminance(const QColor& color)
{
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

qreal contrastRatio(const QColor& a, const QColor& b)
{
    const qreal la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor withContrast(QColor color, const QColor& background, qreal ratio)
{
    const auto reaches = [&](qreal alpha) {
        return contrastRatio(blended(color, background, alpha), background) >= ratio;
    };
    const qreal alpha = color.alphaF();
    if (reaches(alpha))
        return color;
    if (!reaches(1.0)) {
        color.setAlphaF(1.0);
        return color;
    }
    qreal low = alpha, high = 1.0;
    for (int step = 0; step < 12; ++step) {
        const qreal middle = (low + high) / 2;
        (reaches(middle) ? high : low) = middle;
    }
    color.setAlphaF(high);
    return color;
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < palette.color(QPalette::WindowText).lightnessF();
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

QColor roleColor(ColorRole role, const QPalette& palette)
{
    const LabelAlphas& alphas = isDark(palette) ? kDarkAlphas : kLightAlphas;
    const QColor text = palette.color(QPalette::WindowText);
    switch (role) {
    case ColorRole::primary:
        return text;
    case ColorRole::secondary:
        // A platform palette can bring text and window closer than Kalvix's own: strengthen it there.
        return withContrast(withOpacity(text, alphas.secondary), palette.color(QPalette::Window), kCaptionContrast);
    case ColorRole::tertiary:
        return withOpacity(text, alphas.tertiary);
    case ColorRole::quaternary:
        return withOpacity(text, alphas.quaternary);
    case ColorRole::accent:
        return palette.color(QPalette::Highlight);
    case ColorRole::separator:
        return withOpacity(text, alphas.separator);
    case ColorRole::controlBackground:
        return palette.color(QPalette::Base);
    case ColorRole::windowBackground:
        return palette.color(QPalette::Window);
    }
    return text;
}

QColor fixedColor(FixedColor color, const QPalette& palette)
{
    const bool dark = isDark(palette);
    switch (color) {
    case FixedColor::white:
        return QColor(255, 255, 255);
    case FixedColor::black:
        return QColor(0, 0, 0);
    case FixedColor::yellow:
        return dark ? QColor(255, 214, 10) : QColor(255, 204, 0);
    case FixedColor::orange:
        return dark ? QColor(255, 159, 10) : QColor(255, 149, 0);
    case FixedColor::red:
        return dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
    }
    return QColor(0, 0, 0);
}

QColor Ink::resolve(const QPalette& palette) const
{
    switch (m_kind) {
    case Kind::role:
        return withOpacity(roleColor(m_role, palette), m_opacity);
    case Kind::fixed:
        return withOpacity(fixedColor(m_fixed, palette), m_opacity);
    case Kind::custom:
        return m_custom;
    }
    return m_custom;
}

namespace {

QPalette paletteOf(QColor window, QColor base, QColor text, QColor accent, QColor button)
{
    QPalette p;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor groupText = group == QPalette::Disabled ? withOpacity(text, 0.4) : text;
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, groupText);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, groupText);
        p.setColor(group, QPalette::Button, button);
        p.setColor(group, QPalette::ButtonText, groupText);
        p.setColor(group, QPalette::Highlight, accent);
        p.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, withOpacity(text, 0.5));
        p.setColor(group, QPalette::Link, accent);
        p.setColor(group, QPalette::BrightText, QColor(255, 255, 255));
        p.setColor(group, QPalette::Light, button.lighter(130));
        p.setColor(group, QPalette::Midlight, button.lighter(115));
        p.setColor(group, QPalette::Mid, button.darker(130));
        p.setColor(group, QPalette::Dark, button.darker(160));
        p.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
    }
    return p;
}

} // namespace

QPalette lightPalette()
{
    return paletteOf(
        QColor(246, 245, 244), QColor(255, 255, 255), QColor(28, 28, 30), QColor(53, 132, 228), QColor(237, 237, 237));
}

QPalette darkPalette()
{
    return paletteOf(
        QColor(36, 36, 38), QColor(46, 46, 48), QColor(240, 240, 242), QColor(62, 146, 240), QColor(58, 58, 60));
}

} // namespace kalvix::ui

#include "ui/ColorRoles.h"

namespace kalvix::ui {
namespace {

struct LabelAlphas {
    qreal secondary;
    qreal tertiary;
    qreal quaternary;
    qreal separator;
};

constexpr LabelAlphas kLightAlphas{0.50, 0.26, 0.10, 0.12};
constexpr LabelAlphas kDarkAlphas{0.55, 0.30, 0.12, 0.16};

} // namespace

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
        return withOpacity(text, alphas.secondary);
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

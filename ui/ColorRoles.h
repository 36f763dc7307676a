#pragma once
// The colours views ask for, by role rather than by value, resolved from the palette at paint time so a
// change of the desktop's theme shows at the next repaint.
//
// The label roles are the palette's text colour at decreasing strength (secondary 65 %, tertiary 26 %,
// quaternary 10 % on a light theme; a little stronger on a dark one, where thin grey text sinks faster).
// Secondary is the captions' colour and is made stronger still where a palette would leave it under
// 5:1 against the window. Tertiary and quaternary are for what is not read: separators, faint fills.
// The fixed colours are the warm system tones, a shade lighter on a dark theme so they keep their contrast.
#include <QColor>
#include <QPalette>

namespace kalvix::ui {

enum class ColorRole {
    primary,
    secondary,
    tertiary,
    quaternary,
    accent,
    separator,
    controlBackground,
    windowBackground,
};

enum class FixedColor { white, black, yellow, orange, red };

// A dark theme is one whose window background is darker than its text.
bool isDark(const QPalette& palette);

QColor roleColor(ColorRole role, const QPalette& palette);
QColor fixedColor(FixedColor color, const QPalette& palette);

// WCAG 2 relative luminance of an opaque colour, and the contrast ratio of two (1 to 21).
qreal relativeLuminance(const QColor& color);
qreal contrastRatio(const QColor& a, const QColor& b);
// `color` with its alpha raised (never lowered) until, painted over the opaque `background`, it stands
// `ratio` apart from it; fully opaque where even that falls short.
QColor withContrast(QColor color, const QColor& background, qreal ratio);

// `color` at `opacity` (0..1) times its own alpha.
QColor withOpacity(QColor color, qreal opacity);

// A colour as a view states it: a role or a fixed colour (at an opacity), or a colour of the data (a
// calendar's). Resolved against the palette at paint time.
class Ink {
public:
    static Ink role(ColorRole role, qreal opacity = 1.0)
    {
        return Ink(Kind::role, role, FixedColor::black, {}, opacity);
    }
    static Ink fixed(FixedColor color, qreal opacity = 1.0)
    {
        return Ink(Kind::fixed, ColorRole::primary, color, {}, opacity);
    }
    static Ink custom(QColor color) { return Ink(Kind::custom, ColorRole::primary, FixedColor::black, color, 1.0); }

    QColor resolve(const QPalette& palette) const;

private:
    enum class Kind { role, fixed, custom };
    Ink(Kind kind, ColorRole role, FixedColor fixed, QColor custom, qreal opacity)
        : m_kind(kind)
        , m_role(role)
        , m_fixed(fixed)
        , m_custom(custom)
        , m_opacity(opacity)
    {
    }

    Kind m_kind;
    ColorRole m_role;
    FixedColor m_fixed;
    QColor m_custom;
    qreal m_opacity;
};

// Palettes for a light and a dark desktop, for hosts whose platform gives none and for pictures of both.
QPalette lightPalette();
QPalette darkPalette();

} // namespace kalvix::ui

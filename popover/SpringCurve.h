#pragma once
// The popover's spring as an easing curve: a spring with a response of 0.35 s and a damping fraction of
// 0.9 (a barely perceptible overshoot), given as the exact solution of the damped oscillator.
//
// A spring animation of a toolkit with springs starts at rest at 0 and is pulled towards 1:
//   x(t) = 1 - e^(-z w t) (cos(wd t) + (z w / wd) sin(wd t)),   w = 2 pi / response, wd = w sqrt(1 - z^2).
// That closed form is the spring itself, not a fit to it, so the curve is exact at every frame; what a
// QEasingCurve needs besides is a fixed length: the envelope falls below a thousandth of the distance at
// 480 ms (under half a unit of the 340-unit width change), where the curve ends on 1 exactly.
#include <QEasingCurve>

namespace kalvix {

struct SpringCurve {
    static constexpr double kResponse = 0.35;
    static constexpr double kDampingFraction = 0.9;
    static constexpr int kDurationMs = 480;

    // The spring's position at `seconds` after the start (0 at the start, 1 at rest; overshoots a little).
    static double position(double seconds);
    // position() over the animation's length, as a function of its progress 0..1; exactly 1 at 1.
    static qreal progress(qreal progress);
    static QEasingCurve easingCurve();
};

} // namespace kalvix

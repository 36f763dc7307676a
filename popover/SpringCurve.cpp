#include "popover/SpringCurve.h"

#include <cmath>
#include <numbers>

namespace kalvix {

double SpringCurve::position(double seconds)
{
    if (seconds <= 0)
        return 0;
    const double w = 2 * std::numbers::pi / kResponse;
    const double decay = kDampingFraction * w;
    const double wd = w * std::sqrt(1 - kDampingFraction * kDampingFraction);
    return 1 - std::exp(-decay * seconds) * (std::cos(wd * seconds) + decay / wd * std::sin(wd * seconds));
}

qreal SpringCurve::progress(qreal progress)
{
    if (progress >= 1)
        return 1;
    return position(progress * kDurationMs / 1000.0);
}

QEasingCurve SpringCurve::easingCurve()
{
    QEasingCurve curve;
    curve.setCustomType(&SpringCurve::progress);
    return curve;
}

} // namespace kalvix

#include "clock/Solar.h"

#include "time/CivilCalendar.h"
#include "time/SystemZone.h"

#include <cmath>

namespace kalvix::Solar {
namespace {

constexpr double kPi = 3.141592653589793;
// 2π/365: the year is always taken as 365 days long, leap years included.
constexpr double kTwoPiOver365 = 0.01721420632103996;
// cos 90.833°, the zenith of the approximation for sunrise and sunset.
constexpr double kCosZenith = -0.01453808050249674;

} // namespace

SunTimes sunTimes(Instant date, const City& city)
{
    const CivilCalendar calendar(zoneOrSystem(city.timeZoneID.toUtf8()));
    // One conversion gives both the local date and its day of year. When it fails the day of year
    // would be 1, but the day origin cannot be formed either, so the answer is absent regardless.
    const std::optional<CivilDate> local = calendar.dateOf(date);
    if (!local)
        return {};
    const int n = dayOfYear(*local);

    const double gamma = kTwoPiOver365 * (n - 1 + 0.5);
    const double declination = 0.006918 - 0.399912 * std::cos(gamma) + 0.070257 * std::sin(gamma) -
                               0.006758 * std::cos(2 * gamma) + 0.000907 * std::sin(2 * gamma) -
                               0.002697 * std::cos(3 * gamma) + 0.00148 * std::sin(3 * gamma);

    const double phi = city.latitude * kPi / 180;
    const double c = kCosZenith / (std::cos(phi) * std::cos(declination)) - std::tan(phi) * std::tan(declination);
    if (std::isnan(c) || std::fabs(c) > 1)
        return {};
    const double hourAngle = std::acos(c) * 180 / kPi;

    const std::optional<Instant> origin = CivilCalendar::utc().startOfDay(*local);
    if (!origin)
        return {};

    const double equationOfTime = 229.18 * (0.000075 + 0.001868 * std::cos(gamma) - 0.032077 * std::sin(gamma) -
                                            0.014615 * std::cos(2 * gamma) - 0.040849 * std::sin(2 * gamma));

    const double sunriseMinutes = 720 - 4 * (city.longitude + hourAngle) - equationOfTime;
    const double sunsetMinutes = 720 - 4 * (city.longitude - hourAngle) - equationOfTime;
    return {*origin + sunriseMinutes * 60, *origin + sunsetMinutes * 60};
}

} // namespace kalvix::Solar

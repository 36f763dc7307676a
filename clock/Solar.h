#pragma once
// Sunrise and sunset at a catalog city, by the NOAA general solar position approximation evaluated
// once per day (fractional year at day-of-year N with the fixed offset 0.5, always over 365 days;
// zenith 90.833°).
//
// The day is the calendar day containing the given instant in the city's zone (the system zone when
// the platform does not know the city's). Minutes are counted from midnight UTC of that local date,
// not from local midnight, and are not wrapped: far east of Greenwich the sunrise lies on the previous
// UTC date, which is still the local morning. Pure and stateless; cheap enough for every repaint.
#include "clock/City.h"
#include "time/Instant.h"

#include <optional>

namespace kalvix {

struct SunTimes {
    // Both present, or both absent (polar day or night, or an instant outside the calendar).
    std::optional<Instant> sunrise;
    std::optional<Instant> sunset;
};

namespace Solar {

SunTimes sunTimes(Instant date, const City& city);

} // namespace Solar
} // namespace kalvix

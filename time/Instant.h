#pragma once
// An absolute point in time: seconds since 1970-01-01 00:00:00 UTC, with fraction.
//
// Instants carry no zone. Days, months and wall-clock times are civil values and are reached from an
// Instant only through a zone (see CivilCalendar). An Instant may hold any double, including values far
// outside any calendar (stored data is not trusted); isCivil() tells whether calendar code may use it.
#include <QtGlobal>

#include <cmath>
#include <compare>

namespace kalvix {

struct Instant {
    double seconds = 0.0;

    // Roughly the years 1 to 9999, where every calendar operation here is defined.
    static constexpr double kCivilLimit = 253402300799.0;

    static constexpr Instant fromSecs(double s) { return Instant{s}; }
    static Instant fromMSecs(qint64 ms) { return Instant{static_cast<double>(ms) / 1000.0}; }

    // Milliseconds, floored so that an instant just before a boundary stays before it.
    qint64 toMSecs() const { return static_cast<qint64>(std::floor(seconds * 1000.0)); }
    bool isCivil() const { return std::isfinite(seconds) && std::fabs(seconds) <= kCivilLimit; }

    friend constexpr auto operator<=>(Instant, Instant) = default;
    friend constexpr bool operator==(Instant, Instant) = default;
    friend constexpr Instant operator+(Instant a, double s) { return Instant{a.seconds + s}; }
    friend constexpr Instant operator-(Instant a, double s) { return Instant{a.seconds - s}; }
    friend constexpr double operator-(Instant a, Instant b) { return a.seconds - b.seconds; }
};

} // namespace kalvix

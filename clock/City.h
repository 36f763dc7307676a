#pragma once
// One entry of Kalvix's fixed city catalog: a display name, a tz-database zone and the coordinates.
//
// The name is the city's identity everywhere (pickers, the world-clock list, the home-city preference);
// equality and hashing still take all four fields, in field order. The zone identifier is not checked
// here: users of it fall back to the system zone when the platform does not know it.
#include <QHash>
#include <QString>

namespace kalvix {

struct City {
    QString name;
    QString timeZoneID;
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive

    const QString& id() const { return name; }

    friend bool operator==(const City&, const City&) = default;
};

inline size_t qHash(const City& city, size_t seed = 0) noexcept
{
    return qHashMulti(seed, city.name, city.timeZoneID, city.latitude, city.longitude);
}

} // namespace kalvix

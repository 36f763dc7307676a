#include "clock/Cities.h"

namespace kalvix::Cities {

const QList<City>& all()
{
    // Names are in NFC; "São Paulo" is spelled with the precomposed U+00E3.
    static const QList<City> catalog{
        {QStringLiteral("Amsterdam"), QStringLiteral("Europe/Amsterdam"), 52.37, 4.9},
        {QStringLiteral("Auckland"), QStringLiteral("Pacific/Auckland"), -36.85, 174.76},
        {QStringLiteral("Bangkok"), QStringLiteral("Asia/Bangkok"), 13.76, 100.5},
        {QStringLiteral("Beijing"), QStringLiteral("Asia/Shanghai"), 39.9, 116.41},
        {QStringLiteral("Berlin"), QStringLiteral("Europe/Berlin"), 52.52, 13.4},
        {QStringLiteral("Buenos Aires"), QStringLiteral("America/Argentina/Buenos_Aires"), -34.6, -58.38},
        {QStringLiteral("Cairo"), QStringLiteral("Africa/Cairo"), 30.04, 31.24},
        {QStringLiteral("Cape Town"), QStringLiteral("Africa/Johannesburg"), -33.92, 18.42},
        {QStringLiteral("Chicago"), QStringLiteral("America/Chicago"), 41.88, -87.63},
        {QStringLiteral("Cupertino"), QStringLiteral("America/Los_Angeles"), 37.32, -122.03},
        {QStringLiteral("Delhi"), QStringLiteral("Asia/Kolkata"), 28.61, 77.21},
        {QStringLiteral("Dubai"), QStringLiteral("Asia/Dubai"), 25.2, 55.27},
        {QStringLiteral("Dublin"), QStringLiteral("Europe/Dublin"), 53.35, -6.26},
        {QStringLiteral("Edinburgh"), QStringLiteral("Europe/London"), 55.95, -3.19},
        {QStringLiteral("Hong Kong"), QStringLiteral("Asia/Hong_Kong"), 22.32, 114.17},
        {QStringLiteral("Honolulu"), QStringLiteral("Pacific/Honolulu"), 21.31, -157.86},
        {QStringLiteral("Istanbul"), QStringLiteral("Europe/Istanbul"), 41.01, 28.98},
        {QStringLiteral("Jakarta"), QStringLiteral("Asia/Jakarta"), -6.21, 106.85},
        {QStringLiteral("Johannesburg"), QStringLiteral("Africa/Johannesburg"), -26.2, 28.05},
        {QStringLiteral("Karachi"), QStringLiteral("Asia/Karachi"), 24.86, 67.01},
        {QStringLiteral("Kuala Lumpur"), QStringLiteral("Asia/Kuala_Lumpur"), 3.14, 101.69},
        {QStringLiteral("Lagos"), QStringLiteral("Africa/Lagos"), 6.52, 3.38},
        {QStringLiteral("Lisbon"), QStringLiteral("Europe/Lisbon"), 38.72, -9.14},
        {QStringLiteral("London"), QStringLiteral("Europe/London"), 51.51, -0.13},
        {QStringLiteral("Los Angeles"), QStringLiteral("America/Los_Angeles"), 34.05, -118.24},
        {QStringLiteral("Madrid"), QStringLiteral("Europe/Madrid"), 40.42, -3.7},
        {QStringLiteral("Manchester"), QStringLiteral("Europe/London"), 53.48, -2.24},
        {QStringLiteral("Melbourne"), QStringLiteral("Australia/Melbourne"), -37.81, 144.96},
        {QStringLiteral("Mexico City"), QStringLiteral("America/Mexico_City"), 19.43, -99.13},
        {QStringLiteral("Mumbai"), QStringLiteral("Asia/Kolkata"), 19.08, 72.88},
        {QStringLiteral("Nairobi"), QStringLiteral("Africa/Nairobi"), -1.29, 36.82},
        {QStringLiteral("New York"), QStringLiteral("America/New_York"), 40.71, -74.01},
        {QStringLiteral("Paris"), QStringLiteral("Europe/Paris"), 48.86, 2.35},
        {QStringLiteral("Riyadh"), QStringLiteral("Asia/Riyadh"), 24.71, 46.68},
        {QStringLiteral("Rome"), QStringLiteral("Europe/Rome"), 41.9, 12.5},
        {QStringLiteral("San Francisco"), QStringLiteral("America/Los_Angeles"), 37.77, -122.42},
        {QStringLiteral(u"S\u00E3o Paulo"), QStringLiteral("America/Sao_Paulo"), -23.55, -46.63},
        {QStringLiteral("Seoul"), QStringLiteral("Asia/Seoul"), 37.57, 126.98},
        {QStringLiteral("Shanghai"), QStringLiteral("Asia/Shanghai"), 31.23, 121.47},
        {QStringLiteral("Singapore"), QStringLiteral("Asia/Singapore"), 1.35, 103.82},
        {QStringLiteral("Stockholm"), QStringLiteral("Europe/Stockholm"), 59.33, 18.07},
        {QStringLiteral("Sydney"), QStringLiteral("Australia/Sydney"), -33.87, 151.21},
        {QStringLiteral("Tel Aviv"), QStringLiteral("Asia/Jerusalem"), 32.09, 34.78},
        {QStringLiteral("Tokyo"), QStringLiteral("Asia/Tokyo"), 35.68, 139.69},
        {QStringLiteral("Toronto"), QStringLiteral("America/Toronto"), 43.65, -79.38},
        {QStringLiteral("Zurich"), QStringLiteral("Europe/Zurich"), 47.37, 8.54},
    };
    return catalog;
}

namespace {

std::optional<City> firstEqual(const QString& name)
{
    for (const City& city : all())
        if (city.name == name)
            return city;
    return std::nullopt;
}

} // namespace

std::optional<City> named(const QString& name)
{
    // Catalog names are unique and in NFC, so no two entries are canonically equivalent: a literal
    // match is the only equivalent one, and normalising is needed only when that fails.
    if (auto city = firstEqual(name))
        return city;
    const QString nfc = name.normalized(QString::NormalizationForm_C);
    if (nfc == name)
        return std::nullopt;
    return firstEqual(nfc);
}

} // namespace kalvix::Cities

#include "settings/SettingsChoices.h"

#include "clock/Cities.h"
#include "prefs/PrefKey.h"

namespace kalvix::settings {

const QList<PickerOption>& dateStyleOptions()
{
    static const QList<PickerOption> options{
        {QStringLiteral("Text (5 Jul 2026)"), static_cast<int>(DateStyle::text)},
        {QStringLiteral("Numeric (05-07-2026)"), static_cast<int>(DateStyle::numeric)},
    };
    return options;
}

const QList<PickerOption>& timeFormatOptions()
{
    static const QList<PickerOption> options{
        {QStringLiteral("System default"), static_cast<int>(TimeStyle::systemDefault)},
        {QStringLiteral("12-hour"), static_cast<int>(TimeStyle::twelveHour)},
        {QStringLiteral("24-hour"), static_cast<int>(TimeStyle::twentyFourHour)},
    };
    return options;
}

int optionIndex(const QList<PickerOption>& options, int value)
{
    for (int i = 0; i < options.size(); ++i)
        if (options[i].value == value)
            return i;
    return -1;
}

int homeCityIndex(const QString& name)
{
    const std::optional<City> city = Cities::named(name);
    return city ? static_cast<int>(Cities::all().indexOf(*city)) : -1;
}

QStringList citiesToOffer(const QStringList& chosen)
{
    QStringList taken;
    for (const QString& name : chosen)
        if (const std::optional<City> city = Cities::named(name))
            taken.append(city->name);
    QStringList offer;
    for (const City& city : Cities::all())
        if (!taken.contains(city.name))
            offer.append(city.name);
    return offer;
}

bool canAddCity(const QStringList& chosen, const QString& choice)
{
    return !choice.isEmpty() && chosen.size() < kMaxWorldClocks && citiesToOffer(chosen).contains(choice);
}

} // namespace kalvix::settings

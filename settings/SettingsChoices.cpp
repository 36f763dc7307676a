#include "settings/SettingsChoices.h"

#include "clock/Cities.h"

namespace kalvix::settings {

const QList<PickerOption>& dateStyleOptions()
{
    static const QList<PickerOption> options{
        {QStringLiteral("Text (5 Jul 2026)"), 0},
        {QStringLiteral("Numeric (05-07-2026)"), 1},
    };
    return options;
}

const QList<PickerOption>& timeFormatOptions()
{
    static const QList<PickerOption> options{
        {QStringLiteral("System default"), 0},
        {QStringLiteral("12-hour"), 1},
        {QStringLiteral("24-hour"), 2},
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

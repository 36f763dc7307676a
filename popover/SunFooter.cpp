#include "popover/SunFooter.h"

#include "clock/Cities.h"
#include "clock/ClockModel.h"
#include "clock/Solar.h"
#include "context/AppContext.h"
#include "prefs/Prefs.h"
#include "time/DateFormat.h"
#include "time/SystemZone.h"
#include "ui/ClockFollower.h"
#include "ui/PreferenceBinding.h"
#include "ui/SymbolView.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;

constexpr int kFontSize = 13;
constexpr int kSunSpacing = 14;
constexpr int kSymbolToText = 6;

QString timeText(const std::optional<Instant>& t, const QTimeZone& zone, const QString& localeId)
{
    if (!t)
        return QStringLiteral("\u2014");
    return DateFormatter::cached(shortTimePattern(localeId), localeId).format(*t, zone);
}

// A symbol and its text, 6 apart.
QHBoxLayout* symbolAndText(ui::SymbolView* symbol, ui::TextLabel* text)
{
    auto* pair = new QHBoxLayout;
    pair->setContentsMargins(0, 0, 0, 0);
    pair->setSpacing(kSymbolToText);
    pair->addWidget(symbol, 0, Qt::AlignVCenter);
    pair->addWidget(text, 0, Qt::AlignVCenter);
    return pair;
}

} // namespace

City footerCity(const QString& name)
{
    if (std::optional<City> city = Cities::named(name))
        return *city;
    return *Cities::named(Pref::homeCity.fallback); // the catalog always holds it
}

SunFooterText sunFooterText(Instant now, const City& city, const QTimeZone& userZone, const QString& localeId)
{
    const SunTimes sun = Solar::sunTimes(now, city);
    return {QStringLiteral("Sunrise  ") + timeText(sun.sunrise, userZone, localeId),
            QStringLiteral("Sunset  ") + timeText(sun.sunset, userZone, localeId),
            city.name};
}

SunFooter::SunFooter(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_homeCity(new ui::Binding(context.prefs, Pref::homeCity, this))
    , m_sunrise(new ui::TextLabel({}, ui::systemFont(kFontSize), Ink::role(ColorRole::secondary), this))
    , m_sunset(new ui::TextLabel({}, ui::systemFont(kFontSize), Ink::role(ColorRole::secondary), this))
    , m_city(new ui::TextLabel({}, ui::systemFont(kFontSize), Ink::role(ColorRole::secondary), this))
{
    const QFont font = ui::systemFont(kFontSize);
    auto* sunset = new ui::SymbolView(QStringLiteral("sunset.fill"), font, Ink::role(ColorRole::secondary), this);
    sunset->setMulticolor(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSunSpacing);
    layout->addLayout(symbolAndText(
        new ui::SymbolView(QStringLiteral("sunrise"), font, Ink::role(ColorRole::secondary), this), m_sunrise));
    layout->addWidget(
        new ui::TextLabel(QStringLiteral("|"), font, Ink::role(ColorRole::tertiary), this), 0, Qt::AlignVCenter);
    layout->addLayout(symbolAndText(sunset, m_sunset));
    layout->addStretch(1);
    layout->addWidget(m_city, 0, Qt::AlignVCenter);

    new ui::ClockFollower(this, context.clock, [this](Instant now) { tick(now); });
    connect(m_homeCity, &ui::PreferenceBinding::changed, this, [this] { tick(m_context.clock.now()); });
    tick(context.clock.now());
}

void SunFooter::tick(Instant now)
{
    const SunFooterText text = sunFooterText(now, footerCity(m_homeCity->value()), systemZone(), currentLocaleId());
    for (auto [label, value] : {std::pair{m_sunrise, text.sunrise}, {m_sunset, text.sunset}, {m_city, text.city}}) {
        if (label->text() != value)
            label->setText(value);
    }
}

} // namespace kalvix

#pragma once
// The foot of the Standard layout: today's sunrise and sunset at the home city, shown in the user's own
// zone and the locale's short time ("—" on a day without them), and the city's name at the far end.
//
// The home city is the catalog city named by the homeCity preference, or London when the name is not in
// the catalog. Worked out afresh at every tick (a new day there brings new times) and whenever the
// preference changes.
#include "clock/City.h"
#include "time/Instant.h"

#include <QTimeZone>
#include <QWidget>

namespace kalvix {

struct AppContext;
namespace ui {
template <typename T> class Binding;
class TextLabel;
} // namespace ui

// The catalog city named `name`, else London.
City footerCity(const QString& name);

struct SunFooterText {
    QString sunrise; // "Sunrise  07:42", "Sunrise  —"
    QString sunset;
    QString city;
};

// The footer's texts for `city` on the day of `now` there, with the times in `userZone`.
SunFooterText sunFooterText(Instant now, const City& city, const QTimeZone& userZone, const QString& localeId);

class SunFooter final : public QWidget {
    Q_OBJECT
public:
    explicit SunFooter(AppContext& context, QWidget* parent = nullptr);

    ui::TextLabel* sunriseLabel() const { return m_sunrise; }
    ui::TextLabel* sunsetLabel() const { return m_sunset; }
    ui::TextLabel* cityLabel() const { return m_city; }

private:
    void tick(Instant now);

    AppContext& m_context;
    ui::Binding<QString>* m_homeCity;
    ui::TextLabel* m_sunrise;
    ui::TextLabel* m_sunset;
    ui::TextLabel* m_city;
};

} // namespace kalvix

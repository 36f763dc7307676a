#pragma once
// One world clock: the drawn face, the city's name, whether its date is today, tomorrow or yesterday
// compared with the user's, and its time as text. Told the time by its section at every tick; it resolves
// the city's zone each time (an unknown zone follows the user's), so a change of the system zone or of
// the locale shows at the next tick. Its accessible name says all of it ("Tokyo, 23:05, tomorrow") and its
// tooltip gives the city's full date.
#include "clock/City.h"
#include "time/Instant.h"

#include <QWidget>

namespace kalvix {

class AnalogClockFace;
class CivilCalendar;

namespace ui {
class TextLabel;
}

class WorldClockCell final : public QWidget {
    Q_OBJECT
public:
    explicit WorldClockCell(City city, QWidget* parent = nullptr);

    // Shows `now` there, against the user's calendar `local`, with dates and times in `localeId`.
    void setNow(Instant now, const CivilCalendar& local, const QString& localeId);

    const City& city() const { return m_city; }
    AnalogClockFace* face() const { return m_face; }
    QString dayText() const;
    QString timeText() const;

private:
    City m_city;
    AnalogClockFace* m_face;
    ui::TextLabel* m_name;
    ui::TextLabel* m_day;
    ui::TextLabel* m_time;
};

} // namespace kalvix

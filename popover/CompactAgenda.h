#pragma once
// The Compact layout's agenda: for each of the next days with events a hairline, the day's title ("Today",
// "Tomorrow", a weekday) with its date at the right, and its events; or, when nothing is coming, one
// hairline and "No upcoming events". Every day starts with its hairline, the first one included.
//
// Built from the calendar service's agenda when it publishes one, and again when the day changes (the
// titles count from today).
#include "calendar/AgendaDay.h"

#include <QList>
#include <QWidget>

#include <optional>

namespace kalvix {

struct AppContext;
class AgendaEventRow;

namespace ui {
class TextLabel;
}

class CompactAgenda final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit CompactAgenda(AppContext& context, QWidget* parent = nullptr);

    // The day titles and dates shown, in order; the "No upcoming events" text when no day is.
    QList<ui::TextLabel*> dayTitles() const { return m_dayTitles; }
    QList<ui::TextLabel*> dayDates() const { return m_dayDates; }
    QList<AgendaEventRow*> eventRows() const { return m_rows; }
    ui::TextLabel* emptyText() const { return m_emptyText; }

private:
    void rebuild();
    void addDay(const AgendaDay& day, Instant now);
    void clear();

    AppContext& m_context;
    QList<ui::TextLabel*> m_dayTitles;
    QList<ui::TextLabel*> m_dayDates;
    QList<AgendaEventRow*> m_rows;
    ui::TextLabel* m_emptyText = nullptr;
    std::optional<Instant> m_builtFor;
};

} // namespace kalvix

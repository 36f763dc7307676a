#pragma once
// One calendar month: a header with the month's name (a click goes to today) and the month navigation, a
// row of weekday letters in the locale's order, and the days as a grid of DayCells with the calendar's event
// dots. Normal size in the Standard layout, small (`compact`) in the Compact layout, which also has a
// today dot between the chevrons.
//
// The enclosing layout owns the displayed month: it sets it (setDisplayedMonth) and reads it back; every
// change the grid makes itself (navigation, keyboard) is also written to the calendar service, which
// recomputes the dots of that month before the write returns, and announced with displayedMonthChanged.
// The selected day belongs to the grid: set by each click, kept across month changes, never cleared.
//
// Keyboard, while the days have focus: the arrows move the selected day (into the neighbouring month at the
// edges), Page Up/Down change month (the selection moves along), Home goes to today and selects it, Enter
// opens the calendar application at the selected day.
#include "popover/MonthGrid.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace kalvix {

struct AppContext;
class DayGrid;
class DotButton;

namespace ui {
class PlainButton;
class TextLabel;
} // namespace ui

class MonthGridView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view. The month shown starts at the current instant.
    MonthGridView(AppContext& context, bool compact, QWidget* parent = nullptr);

    bool isCompact() const { return m_compact; }
    Instant displayedMonth() const { return m_displayedMonth; }
    // The enclosing layout's write: shows the month, without telling the service.
    void setDisplayedMonth(Instant month);
    // The enclosing layout's appearance step: shows the month of `now` and tells the service, as one change,
    // and gives the days the keyboard.
    void appear(Instant now);
    std::optional<Instant> selectedDay() const { return m_selectedDay; }

    // The header's actions: a month back or on, and back to the current month.
    void shift(int months);
    void goToday();

    // The parts, for the layouts and tests.
    ui::PlainButton* titleButton() const { return m_title; }
    ui::PlainButton* previousButton() const { return m_previous; }
    ui::PlainButton* nextButton() const { return m_next; }
    DotButton* todayButton() const { return m_today; } // compact only
    QList<ui::TextLabel*> weekdayLabels() const { return m_weekdays; }
    DayGrid* days() const { return m_days; }

Q_SIGNALS:
    void displayedMonthChanged(kalvix::Instant month);

private:
    QWidget* makeHeader();
    QWidget* makeWeekdayRow();
    void connectDays();
    void refresh();
    void showMonth(Instant month, bool tellService);
    void select(Instant day);
    void moveSelection(int days);
    void page(int months);
    void selectToday();
    Instant focusDay() const;
    Instant now() const;

    AppContext& m_context;
    bool m_compact;
    Instant m_displayedMonth;
    std::optional<Instant> m_selectedDay;
    std::optional<Instant> m_shownToday;
    bool m_writingService = false;
    ui::PlainButton* m_title = nullptr;
    ui::PlainButton* m_previous = nullptr;
    DotButton* m_today = nullptr;
    ui::PlainButton* m_next = nullptr;
    QList<ui::TextLabel*> m_weekdays;
    DayGrid* m_days = nullptr;
    QString m_localeId;
    int m_firstWeekday = 1;
};

} // namespace kalvix

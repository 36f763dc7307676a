#pragma once
// One day of the month grid: the day number in a fixed square, a filled accent circle behind it on today
// or an accent ring on the selected day, and below it a row of up to three event dots whose height is
// kept when there are none, so every cell of the grid has the same height.
//
// The whole rectangle of the cell is its click target. A click selects the day (at once, never waiting
// to see whether a second click follows); the second click of a double click opens the calendar
// application there. Only the grid makes cells and gives them their state.
#include "popover/MonthGrid.h"

#include <QWidget>

#include <functional>
#include <optional>

namespace kalvix {

class DayCell final : public QWidget {
    Q_OBJECT
public:
    // Counts the events of a day for screen readers; nothing when the calendar cannot be read.
    using EventCounter = std::function<std::optional<int>(Instant day)>;

    DayCell(bool compact, QWidget* parent = nullptr);

    // Repaints only when the state differs.
    void setState(const DayCellState& state);
    const DayCellState& state() const { return m_state; }
    bool isCompact() const { return m_compact; }

    // The grid's keyboard focus sits on this cell (the grid draws the ring around it; screen readers follow).
    void setFocusShown(bool shown);
    bool isFocusShown() const { return m_focusShown; }

    void setEventCounter(EventCounter counter) { m_countEvents = std::move(counter); }
    // What a screen reader says: "Thursday 5 March 2026, 2 events, today".
    QString accessibleText() const;
    static QString describe(const DayCellState& state, std::optional<int> events);

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked(kalvix::Instant day);
    void doubleClicked(kalvix::Instant day);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintNumber(class QPainter& painter, const QRectF& square);
    void paintDots(class QPainter& painter, qreal top);

    bool m_compact;
    DayCellState m_state;
    bool m_pressed = false;
    bool m_focusShown = false;
    EventCounter m_countEvents;
};

} // namespace kalvix

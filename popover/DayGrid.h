#pragma once
// The days of the month grid: seven equal columns of DayCells, each centred in its column, rows a fixed
// distance apart. It is one stop of the Tab chain; while it has the keyboard, the arrow keys, Page Up/Down,
// Home and Enter are turned into requests for the month grid, which decides what they do.
#include "popover/MonthGrid.h"

#include <QWidget>

class QGridLayout;

namespace kalvix {

class DayCell;

class DayGrid final : public QWidget {
    Q_OBJECT
public:
    DayGrid(bool compact, QWidget* parent = nullptr);

    // Shows one cell per state, in rows of seven; cells are kept and reused.
    void setCells(const QList<DayCellState>& cells);
    // The cells on show, in order.
    QList<DayCell*> cells() const;
    DayCell* cellFor(Instant day) const;

    // The cell that shows the keyboard focus while the grid has it (none: no ring).
    void setFocusDay(std::optional<Instant> day);
    // Whether the focus ring is drawn: after keyboard use or Tab, not after a click.
    bool showsFocus() const { return m_showFocus; }

    void setEventCounter(std::function<std::optional<int>(Instant)> counter);

Q_SIGNALS:
    void dayClicked(kalvix::Instant day);
    void dayDoubleClicked(kalvix::Instant day);
    void moveRequested(int days);
    void pageRequested(int months);
    void todayRequested();
    void openRequested();
    void focusEntered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showFocusRing(bool show);

    bool m_compact;
    QGridLayout* m_layout;
    QList<DayCell*> m_cells;
    int m_shown = 0;
    std::optional<Instant> m_focusDay;
    bool m_showFocus = false;
    std::function<std::optional<int>(Instant)> m_countEvents;
};

} // namespace kalvix

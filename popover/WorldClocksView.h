#pragma once
// The world-clock section of the Standard layout: a "World Clocks" header with an "Edit" link, and one
// cell per chosen city in the store's order, all told the time at every tick while on screen.
//
// Every city is shown; none scrolls away or is cut off. Where the cells do not fit side by side at their
// smallest width (six clocks in the section's 330 points), they go onto balanced rows (3 and 3) instead
// of running past the section's edge into the next column.
#include "time/Instant.h"

#include <QList>
#include <QWidget>

class QVBoxLayout;

namespace kalvix {

struct AppContext;
class WorldClockCell;

class WorldClocksView final : public QWidget {
    Q_OBJECT
public:
    explicit WorldClocksView(AppContext& context, QWidget* parent = nullptr);

    const QList<WorldClockCell*>& cells() const { return m_cells; }

    // Fixes the section's width (330 unless told otherwise) and puts the cells on as many rows as it needs.
    void setSectionWidth(int width);

    // How many cells go on each row, top to bottom, for `count` cells in `width` points.
    static QList<int> rowLengths(int count, int width);

private:
    void rebuild();
    void arrange();
    void tick(Instant now);

    AppContext& m_context;
    QVBoxLayout* m_rows;
    QList<WorldClockCell*> m_cells;
    int m_sectionWidth;
    QList<int> m_arranged;
};

} // namespace kalvix

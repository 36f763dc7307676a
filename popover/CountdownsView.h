#pragma once
// The countdown section of the Standard layout: a "Countdowns" header with an "Edit" link, then a hint
// when nothing is pinned, or one row per countdown, earliest first, with day counts that follow the clock.
//
// The order is for display only: the store's list keeps the order the user added them in. Dates that are
// equal keep that order; a stored date that is not a number at all goes last instead of upsetting the sort.
// The earliest kMostRows are rows, and a line says how many more there are: a stored list may hold a
// hundred thousand, and each row is a few widgets that follow the clock.
#include "countdowns/Countdown.h"

#include <QList>
#include <QWidget>

class QVBoxLayout;

namespace kalvix {

struct AppContext;
class CountdownRow;
namespace ui {
class TextLabel;
}

class CountdownsView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMostRows = 100;

    explicit CountdownsView(AppContext& context, QWidget* parent = nullptr);

    // `items` sorted stably by date, earliest first.
    static QList<Countdown> displayOrder(const QList<Countdown>& items);

    const QList<CountdownRow*>& rows() const { return m_rows; }
    // The hint shown while nothing is pinned (hidden otherwise).
    ui::TextLabel* hint() const { return m_hint; }
    // "and N more", below the rows of a list longer than kMostRows (hidden otherwise).
    ui::TextLabel* more() const { return m_more; }

private:
    void rebuild();
    void tick(Instant now);

    AppContext& m_context;
    ui::TextLabel* m_hint;
    QWidget* m_hintBox;
    QVBoxLayout* m_list;
    ui::TextLabel* m_more;
    QList<CountdownRow*> m_rows;
};

} // namespace kalvix

#pragma once
// The Countdowns section: one row per countdown in the store, then "Add Countdown".
//
// The rows are the store's list as it is now, from whatever writer. Every keystroke in a title and every
// day picked goes into the store at once, which saves the whole list, so nothing typed is lost if Kalvix
// ends mid-edit. Nothing is written until the user changes something: a stored value the store
// could not read stays as it is, behind an empty list, until then. Rows follow the list by identity, so the
// field being typed in stays while the list changes around it.
//
// A list longer than kMostRows is not shown as rows (each row is a few widgets: a hundred thousand would
// take minutes and gigabytes): the section says how many there are and where to edit them, offers no
// Add, and leaves the stored value exactly as it is.
#include "countdowns/Countdown.h"
#include "settings/FormSection.h"

#include <QList>

#include <functional>

class QLabel;
class QPushButton;

namespace kalvix {
class CountdownStore;
class TimeSource;
} // namespace kalvix

namespace kalvix::settings {

class CountdownRow;
class FormRow;

class CountdownSection final : public FormSection {
    Q_OBJECT
public:
    // `store` and `time` (the instant a new countdown is pinned at) must outlive the section.
    CountdownSection(CountdownStore& store, const TimeSource& time, QWidget* parent = nullptr);

    static constexpr int kMostRows = 500;

    QList<CountdownRow*> rows() const { return m_rows; }
    // The note shown instead of rows for a list longer than kMostRows; hidden otherwise.
    QLabel* tooManyNote() const { return m_tooMany; }
    QList<QWidget*> focusChain() const override;

private:
    void showItems();
    CountdownRow* makeRow(int index);
    int indexOf(CountdownRow* row) const;
    void edit(CountdownRow* row, const std::function<void(Countdown&)>& change);
    void remove(CountdownRow* row);
    void add();

    CountdownStore& m_store;
    const TimeSource& m_time;
    QList<CountdownRow*> m_rows;
    QPushButton* m_add;
    QLabel* m_tooMany;
};

} // namespace kalvix::settings

#pragma once
// The World Clocks section: one row per name in the store, each with a red remove button, then the
// "Add city" picker and its Add button.
//
// The rows are the store's list as it is now, from whatever writer (the popover, the file edited by hand).
// The picker offers "Choose…" and then the catalog cities not yet shown, in catalog order; Add appends the
// chosen city and sets the picker back to "Choose…", and is disabled while nothing is chosen or six clocks
// are shown. A choice that the list takes meanwhile from elsewhere is cleared, so Add never makes a second
// copy of a clock.
//
// A stored list longer than kMostRows (only the first six are clocks; the rest is what a script or a
// damaged file left) is not shown as rows: the section says how many names there are, and the list stays
// as stored until a change in Kalvix.
#include "settings/FormSection.h"

#include <QStringList>

class QLabel;
class QPushButton;

namespace kalvix {
class WorldClockStore;
namespace ui {
class PlainButton;
}
} // namespace kalvix

namespace kalvix::settings {

class FormPicker;
class FormRow;

class WorldClockSection final : public FormSection {
    Q_OBJECT
public:
    // `store` must outlive the section.
    explicit WorldClockSection(WorldClockStore& store, QWidget* parent = nullptr);

    // The city chosen in the picker and not yet added; empty for none.
    const QString& cityToAdd() const { return m_cityToAdd; }

    static constexpr int kMostRows = 500;
    // Shown instead of rows for a list longer than kMostRows; hidden otherwise.
    QLabel* tooManyNote() const { return m_tooMany; }

    QList<QWidget*> focusChain() const override;

private:
    struct Row {
        QString name;
        FormRow* widget;
        ui::PlainButton* remove;
    };

    FormRow* makeAddRow();
    Row makeRow(const QString& name);
    void showCities();
    void showChoices();
    void add();
    void remove(const QString& name);

    WorldClockStore& m_store;
    QString m_cityToAdd;
    QList<Row> m_rows;
    FormPicker* m_picker = nullptr;
    QPushButton* m_add = nullptr;
    QLabel* m_tooMany = nullptr;
};

} // namespace kalvix::settings

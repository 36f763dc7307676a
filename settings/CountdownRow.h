#pragma once
// One countdown in the Countdowns section: its title field, its date picker and a red remove button,
// 10 points apart. The row reports the user's edits and is told the stored values; telling it a value it
// already shows changes nothing, so the text being typed keeps its cursor and selection.
#include "countdowns/Countdown.h"
#include "settings/FormRow.h"

class QLineEdit;

namespace kalvix {
class TimeSource;
namespace ui {
class PlainButton;
}
} // namespace kalvix

namespace kalvix::settings {

class CountdownDateEdit;

class CountdownRow final : public FormRow {
    Q_OBJECT
public:
    CountdownRow(const Countdown& countdown, const TimeSource& time, QWidget* parent = nullptr);

    const QUuid& id() const { return m_id; }
    void showCountdown(const Countdown& countdown);
    // Names the controls after the row's place in the list ("Title of countdown 2").
    void setPosition(int position);

    QLineEdit* titleField() const { return m_title; }
    CountdownDateEdit* datePicker() const { return m_date; }
    ui::PlainButton* removeButton() const { return m_remove; }

Q_SIGNALS:
    void titleEdited(const QString& title);
    void datePicked(kalvix::Instant date);
    void removeClicked();

private:
    QUuid m_id;
    QLineEdit* m_title;
    CountdownDateEdit* m_date;
    ui::PlainButton* m_remove;
};

} // namespace kalvix::settings

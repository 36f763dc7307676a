#pragma once
// One row of a settings group: its children side by side, vertically centred, with the group's padding
// around them and at least the height of a row. labeled() makes the common row: a label on the left and
// its control on the right; the label names the control for screen readers too.
#include <QWidget>

class QHBoxLayout;

namespace kalvix::settings {

class FormRow : public QWidget {
    Q_OBJECT
public:
    // Space between the group's edge and a row's content; the hairline between rows starts there too.
    static constexpr int kPadding = 12;

    explicit FormRow(QWidget* parent = nullptr);

    // A row of `text` and `control`; the control's accessible name becomes `text` unless it has one.
    static FormRow* labeled(const QString& text, QWidget* control, QWidget* parent = nullptr);

    QHBoxLayout* rowLayout() const { return m_layout; }

private:
    QHBoxLayout* m_layout;
};

} // namespace kalvix::settings

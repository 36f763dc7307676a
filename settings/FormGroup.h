#pragma once
// The rounded group of a settings section: a control-background plate with a hairline edge, its rows one
// under the other, and a hairline between neighbouring rows that starts at the rows' padding (as grouped
// settings forms draw them). Colours are resolved at paint time, so it follows the theme.
#include <QWidget>

class QVBoxLayout;

namespace kalvix::settings {

class FormGroup final : public QWidget {
    Q_OBJECT
public:
    explicit FormGroup(QWidget* parent = nullptr);

    // Puts `row` at `index`; a row already in the group moves there.
    void insertRow(int index, QWidget* row);
    void addRow(QWidget* row);
    int rowCount() const;
    QWidget* rowAt(int index) const;

    static constexpr qreal kRadius = 8;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_layout;
};

} // namespace kalvix::settings

#pragma once
// A picker of the settings form: a combo box that reports only the user's own choices (activated) and
// leaves the mouse wheel to the scrolling form unless it has focus, so scrolling past it never changes a
// setting by accident.
#include <QComboBox>

namespace kalvix::settings {

class FormPicker final : public QComboBox {
    Q_OBJECT
public:
    explicit FormPicker(const QString& accessibleName, QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

} // namespace kalvix::settings

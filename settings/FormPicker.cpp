#include "settings/FormPicker.h"

#include <QWheelEvent>

namespace kalvix::settings {

FormPicker::FormPicker(const QString& accessibleName, QWidget* parent)
    : QComboBox(parent)
{
    setAccessibleName(accessibleName);
    setFocusPolicy(Qt::StrongFocus);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void FormPicker::wheelEvent(QWheelEvent* event)
{
    if (hasFocus())
        QComboBox::wheelEvent(event);
    else
        event->ignore(); // on to the form, which scrolls
}

} // namespace kalvix::settings

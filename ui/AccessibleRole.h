#pragma once
// Gives a plain widget the accessible role of what it stands for (a list item, a clock's text), which Qt
// gives only to its own controls: a painted cell or a row made of labels would otherwise read as a bare
// "client" area. The name read out stays the widget's accessibleName().
//
// Set the role before anything asks the widget for its accessible interface: Qt keeps the first one made.
#include <QAccessible>

class QWidget;

namespace kalvix::ui {

void setAccessibleRole(QWidget* widget, QAccessible::Role role);

} // namespace kalvix::ui

#include "settings/FormRow.h"

#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>

namespace kalvix::settings {
namespace {

constexpr int kMinHeight = 38;
constexpr int kVerticalPadding = 5;
constexpr int kSpacing = 10;

} // namespace

FormRow::FormRow(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(kPadding, kVerticalPadding, kPadding, kVerticalPadding);
    m_layout->setSpacing(kSpacing);
    setMinimumHeight(kMinHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

FormRow* FormRow::labeled(const QString& text, QWidget* control, QWidget* parent)
{
    auto* row = new FormRow(parent);
    auto* label =
        new ui::TextLabel(text, ui::textStyleFont(ui::TextStyle::body), ui::Ink::role(ui::ColorRole::primary), row);
    label->setBuddy(control);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(text);
    row->rowLayout()->addWidget(label, 1);
    row->rowLayout()->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

} // namespace kalvix::settings

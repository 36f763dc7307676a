#include "settings/FormSection.h"

#include "settings/FormGroup.h"
#include "settings/FormRow.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QVBoxLayout>

namespace kalvix::settings {
namespace {

constexpr int kSpaceAbove = 24;
constexpr int kHeaderToGroup = 6;
constexpr int kGroupToFooter = 6;
constexpr int kTextInset = FormRow::kPadding; // header, footer and row texts start on one line

} // namespace

FormSection::FormSection(const QString& header, const QString& footer, QWidget* parent)
    : QWidget(parent)
    , m_header(new ui::TextLabel(
          header, ui::textStyleFont(ui::TextStyle::body, QFont::DemiBold), ui::Ink::role(ui::ColorRole::primary), this))
    , m_group(new FormGroup(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kSpaceAbove, 0, 0);
    layout->setSpacing(0);
    m_header->setContentsMargins(kTextInset, 0, kTextInset, 0);
    m_header->setAccessibleName(header);
    layout->addWidget(m_header);
    layout->addSpacing(kHeaderToGroup);
    layout->addWidget(m_group);
    if (!footer.isEmpty()) {
        m_footer = new ui::TextLabel(
            footer, ui::textStyleFont(ui::TextStyle::subheadline), ui::Ink::role(ui::ColorRole::secondary), this);
        m_footer->setFit(ui::TextLabel::Fit::wrap);
        m_footer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Its height follows its width (resizeEvent): a wrapped label's own size hint guesses a narrower
        // width and leaves an empty line under the text.
        m_footer->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        m_footer->setContentsMargins(kTextInset, 0, kTextInset, 0);
        layout->addSpacing(kGroupToFooter);
        layout->addWidget(m_footer);
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FormSection::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_footer)
        m_footer->setFixedHeight(m_footer->heightForWidth(width()));
}

} // namespace kalvix::settings

#include "popover/SectionHeader.h"

#include "popover/HeaderLink.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>

namespace kalvix {
namespace {

constexpr int kTitleSize = 16;

} // namespace

QHBoxLayout* makeSectionHeader(const QString& title, SettingsTab tab, AppActions& actions, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new ui::TextLabel(
        title, ui::systemFont(kTitleSize, QFont::DemiBold), ui::Ink::role(ui::ColorRole::primary), parent);
    row->addWidget(label, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(new HeaderLink(QStringLiteral("Edit"), tab, actions, parent), 0, Qt::AlignVCenter);
    return row;
}

} // namespace kalvix

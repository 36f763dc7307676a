#include "popover/SectionHeader.h"

#include "context/AppContext.h"
#include "prefs/SettingsState.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>

namespace kalvix {
namespace {

constexpr int kTitleSize = 16;
constexpr int kLinkSize = 14;

} // namespace

QHBoxLayout* makeSectionHeader(const QString& title, SettingsTab tab, AppActions& actions, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new ui::TextLabel(
        title, ui::systemFont(kTitleSize, QFont::DemiBold), ui::Ink::role(ui::ColorRole::primary), parent);
    row->addWidget(label, 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* edit = new ui::PlainButton(
        QStringLiteral("Edit"), ui::systemFont(kLinkSize), ui::Ink::role(ui::ColorRole::accent), parent);
    edit->setAccessibleName(QStringLiteral("Edit ") + title);
    QObject::connect(edit, &ui::PlainButton::clicked, parent, [&actions, tab] { actions.openSettings(tab); });
    row->addWidget(edit, 0, Qt::AlignVCenter);
    return row;
}

} // namespace kalvix

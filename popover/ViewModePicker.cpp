#include "popover/ViewModePicker.h"

#include "prefs/Prefs.h"
#include "ui/PreferenceBinding.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QMenu>
#include <QRadioButton>

namespace kalvix {
namespace {

QString standardTitle()
{
    return ViewModePicker::tr("Standard");
}

QString compactTitle()
{
    return ViewModePicker::tr("Compact");
}

} // namespace

ViewModePicker::ViewModePicker(PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent)
    , m_compactMode(new ui::Binding(prefs, Pref::compactMode, this))
    , m_standard(new QRadioButton(standardTitle(), this))
    , m_compact(new QRadioButton(compactTitle(), this))
{
    // The picker's title is not shown, but a screen reader names the group by it.
    setAccessibleName(tr("View"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_standard);
    layout->addWidget(m_compact);
    layout->addStretch();
    auto* group = new QButtonGroup(this);
    group->addButton(m_standard);
    group->addButton(m_compact);
    showValue();
    connect(m_standard, &QRadioButton::clicked, this, [this] { m_compactMode->set(false); });
    connect(m_compact, &QRadioButton::clicked, this, [this] { m_compactMode->set(true); });
    connect(m_compactMode, &ui::PreferenceBinding::changed, this, &ViewModePicker::showValue);
}

void ViewModePicker::showValue()
{
    const bool compact = m_compactMode->value();
    m_standard->setChecked(!compact);
    m_compact->setChecked(compact);
}

QActionGroup* ViewModePicker::addToMenu(QMenu& menu, PreferencesStore& prefs)
{
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    auto* binding = new ui::Binding(prefs, Pref::compactMode, group);
    QAction* standard = menu.addAction(standardTitle());
    QAction* compact = menu.addAction(compactTitle());
    for (QAction* action : {standard, compact}) {
        action->setCheckable(true);
        group->addAction(action);
    }
    const auto show = [binding, standard, compact] {
        const bool isCompact = binding->value();
        standard->setChecked(!isCompact);
        compact->setChecked(isCompact);
    };
    show();
    QObject::connect(standard, &QAction::triggered, binding, [binding] { binding->set(false); });
    QObject::connect(compact, &QAction::triggered, binding, [binding] { binding->set(true); });
    QObject::connect(binding, &ui::PreferenceBinding::changed, group, show);
    return group;
}

} // namespace kalvix

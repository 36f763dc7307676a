#include "settings/WorldClockSection.h"

#include "clock/WorldClockStore.h"
#include "settings/FormGroup.h"
#include "settings/FormPicker.h"
#include "settings/FormRow.h"
#include "settings/SettingsChoices.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace kalvix::settings {
namespace {

constexpr int kCityRemoveTarget = 22; // the remove button's click target, square

QString removeName(const QString& city)
{
    return QStringLiteral("Remove ") + city;
}

} // namespace

WorldClockSection::WorldClockSection(WorldClockStore& store, QWidget* parent)
    : FormSection(QStringLiteral("World Clocks"),
                  QStringLiteral("Up to 6 clocks, shown left to right in the order added."),
                  parent)
    , m_store(store)
{
    group()->addRow(makeAddRow());
    m_tooMany = new QLabel;
    m_tooMany->setWordWrap(true);
    auto* noteRow = new FormRow;
    noteRow->rowLayout()->addWidget(m_tooMany, 1);
    noteRow->hide();
    group()->addRow(noteRow);
    showCities();
    connect(&m_store, &WorldClockStore::cityNamesChanged, this, &WorldClockSection::showCities);
}

FormRow* WorldClockSection::makeAddRow()
{
    m_picker = new FormPicker(QStringLiteral("Add city"));
    m_add = new QPushButton(QStringLiteral("Add"));
    m_add->setFocusPolicy(Qt::StrongFocus);
    FormRow* row = FormRow::labeled(QStringLiteral("Add city"), m_picker);
    row->rowLayout()->addWidget(m_add, 0, Qt::AlignVCenter);
    connect(m_picker, &FormPicker::activated, this, [this](int index) {
        m_cityToAdd = m_picker->itemData(index).toString();
        m_add->setEnabled(canAddCity(m_store.cityNames(), m_cityToAdd));
    });
    connect(m_add, &QPushButton::clicked, this, &WorldClockSection::add);
    return row;
}

WorldClockSection::Row WorldClockSection::makeRow(const QString& name)
{
    auto* row = new FormRow;
    auto* label =
        new ui::TextLabel(name, ui::textStyleFont(ui::TextStyle::body), ui::Ink::role(ui::ColorRole::primary), row);
    auto* removeButton = new ui::PlainButton(QStringLiteral("minus.circle.fill"),
                                             ui::textStyleFont(ui::TextStyle::body),
                                             ui::Ink::fixed(ui::FixedColor::red),
                                             removeName(name),
                                             row);
    removeButton->setFixedSize(kCityRemoveTarget, kCityRemoveTarget);
    row->rowLayout()->addWidget(label, 1);
    row->rowLayout()->addWidget(removeButton, 0, Qt::AlignVCenter);
    connect(removeButton, &ui::PlainButton::clicked, this, [this, name] { remove(name); });
    return Row{name, row, removeButton};
}

void WorldClockSection::showCities()
{
    const bool tooMany = m_store.cityNames().size() > kMostRows;
    m_tooMany->parentWidget()->setVisible(tooMany);
    if (tooMany)
        m_tooMany->setText(QStringLiteral("%1 names are stored for the world clocks, more than Settings shows "
                                          "(%2). They are kept as they are; edit the worldClockCities line of "
                                          "kalvix.conf to change them.")
                               .arg(m_store.cityNames().size())
                               .arg(kMostRows));
    static const QStringList none;
    const QStringList& names = tooMany ? none : m_store.cityNames();
    QStringList shown;
    for (const Row& row : m_rows)
        shown.append(row.name);
    const QList<int> match = matchRows(shown, names);
    QList<Row> rows;
    for (int i = 0; i < names.size(); ++i)
        rows.append(match[i] >= 0 ? m_rows[match[i]] : makeRow(names[i]));
    // A row may go while its own remove button is still delivering the click: it is hidden at once (the
    // focus moves on to the next control) and deleted once the click is done.
    for (int i = 0; i < m_rows.size(); ++i)
        if (!match.contains(i)) {
            m_rows[i].widget->hide();
            m_rows[i].widget->deleteLater();
        }
    m_rows = rows;
    for (int i = 0; i < m_rows.size(); ++i)
        group()->insertRow(i, m_rows[i].widget); // moves a kept row to its place
    showChoices();
    Q_EMIT focusChainChanged();
}

void WorldClockSection::showChoices()
{
    const QStringList offer = citiesToOffer(m_store.cityNames());
    if (!offer.contains(m_cityToAdd))
        m_cityToAdd.clear();
    m_picker->clear();
    m_picker->addItem(QStringLiteral("Choose\u2026"), QString());
    for (const QString& name : offer)
        m_picker->addItem(name, name);
    m_picker->setCurrentIndex(std::max(0, m_picker->findData(m_cityToAdd)));
    m_add->setEnabled(canAddCity(m_store.cityNames(), m_cityToAdd));
}

void WorldClockSection::add()
{
    if (!canAddCity(m_store.cityNames(), m_cityToAdd))
        return;
    const bool fromKeyboard = m_add->hasFocus();
    const QString city = std::exchange(m_cityToAdd, QString());
    m_store.addCity(city);
    // Add is disabled now; the keyboard goes on from the picker, where the next city is chosen.
    if (fromKeyboard)
        m_picker->setFocus(Qt::TabFocusReason);
}

void WorldClockSection::remove(const QString& name)
{
    m_store.removeCity(name);
}

QList<QWidget*> WorldClockSection::focusChain() const
{
    QList<QWidget*> chain;
    for (const Row& row : m_rows)
        chain.append(row.remove);
    chain << m_picker << m_add;
    return chain;
}

} // namespace kalvix::settings

#include "settings/CountdownSection.h"

#include "countdowns/CountdownStore.h"
#include "settings/CountdownDateEdit.h"
#include "settings/CountdownRow.h"
#include "settings/FormGroup.h"
#include "settings/SettingsChoices.h"
#include "time/TimeSource.h"
#include "ui/PlainButton.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace kalvix::settings {

CountdownSection::CountdownSection(CountdownStore& store, const TimeSource& time, QWidget* parent)
    : FormSection(QStringLiteral("Countdowns"),
                  QStringLiteral("Pinned dates appear in the popover with a live day count."),
                  parent)
    , m_store(store)
    , m_time(time)
    , m_add(new QPushButton(QStringLiteral("Add Countdown")))
    , m_tooMany(new QLabel)
{
    m_tooMany->setWordWrap(true);
    m_tooMany->hide();
    auto* noteRow = new FormRow;
    noteRow->rowLayout()->addWidget(m_tooMany, 1);
    group()->addRow(noteRow);
    m_add->setFocusPolicy(Qt::StrongFocus);
    ui::setSymbolIcon(m_add, QStringLiteral("plus"));
    auto* addRow = new FormRow;
    addRow->rowLayout()->addWidget(m_add, 0, Qt::AlignLeft | Qt::AlignVCenter);
    addRow->rowLayout()->addStretch(1);
    group()->addRow(addRow);
    showItems();
    connect(m_add, &QPushButton::clicked, this, &CountdownSection::add);
    connect(&m_store, &CountdownStore::itemsChanged, this, &CountdownSection::showItems);
}

void CountdownSection::showItems()
{
    const QList<Countdown>& items = m_store.items();
    const bool tooMany = items.size() > kMostRows;
    m_tooMany->setVisible(tooMany);
    m_tooMany->parentWidget()->setVisible(tooMany);
    m_add->setEnabled(!tooMany);
    if (tooMany) {
        m_tooMany->setText(QStringLiteral("%1 countdowns are more than Settings shows (%2). They are kept as "
                                          "they are; edit the countdowns line of kalvix.conf to change them.")
                               .arg(items.size())
                               .arg(kMostRows));
        for (CountdownRow* row : std::as_const(m_rows)) {
            row->hide();
            row->deleteLater();
        }
        m_rows.clear();
        Q_EMIT focusChainChanged();
        return;
    }
    QList<QUuid> shown, wanted;
    for (const CountdownRow* row : m_rows)
        shown.append(row->id());
    for (const Countdown& countdown : items)
        wanted.append(countdown.id);
    const QList<int> match = matchRows(shown, wanted);
    QList<CountdownRow*> rows;
    for (int i = 0; i < items.size(); ++i)
        rows.append(match[i] >= 0 ? m_rows[match[i]] : makeRow(i));
    // A row may go while its own remove button is still delivering the click: hidden now, deleted after.
    for (int i = 0; i < m_rows.size(); ++i)
        if (!match.contains(i)) {
            m_rows[i]->hide();
            m_rows[i]->deleteLater();
        }
    m_rows = rows;
    for (int i = 0; i < m_rows.size(); ++i) {
        m_rows[i]->showCountdown(items[i]);
        m_rows[i]->setPosition(i + 1);
        group()->insertRow(i, m_rows[i]);
    }
    Q_EMIT focusChainChanged();
}

CountdownRow* CountdownSection::makeRow(int index)
{
    auto* row = new CountdownRow(m_store.items()[index], m_time);
    connect(row, &CountdownRow::titleEdited, this, [this, row](const QString& title) {
        edit(row, [&title](Countdown& countdown) { countdown.title = title; });
    });
    connect(row, &CountdownRow::datePicked, this, [this, row](Instant date) {
        edit(row, [date](Countdown& countdown) { countdown.date = date; });
    });
    connect(row, &CountdownRow::removeClicked, this, [this, row] { remove(row); });
    return row;
}

int CountdownSection::indexOf(CountdownRow* row) const
{
    // Rows are in the store's order after every change, and every change is shown at once.
    return static_cast<int>(m_rows.indexOf(row));
}

void CountdownSection::edit(CountdownRow* row, const std::function<void(Countdown&)>& change)
{
    const int index = indexOf(row);
    if (index < 0 || index >= m_store.items().size())
        return;
    QList<Countdown> items = m_store.items();
    change(items[index]);
    const QUuid id = items[index].id;
    const bool unique =
        std::count_if(items.cbegin(), items.cend(), [&id](const Countdown& c) { return c.id == id; }) == 1;
    // By identity, from the stored list as it is now, so a hand edit not yet seen here is not undone. Two
    // countdowns with one identity (an entry copied by hand) can only be told apart by their place.
    if (unique)
        m_store.update(items[index]);
    else
        m_store.setItems(items);
}

void CountdownSection::remove(CountdownRow* row)
{
    if (indexOf(row) >= 0)
        m_store.remove(row->id());
}

void CountdownSection::add()
{
    const Countdown added = Countdown::create(QStringLiteral("New countdown"), m_time.now());
    m_store.add(added);
    // A countdown is added to be named: its title takes the typing at once, the placeholder text selected.
    for (CountdownRow* row : std::as_const(m_rows))
        if (row->id() == added.id) {
            row->titleField()->setFocus(Qt::OtherFocusReason);
            row->titleField()->selectAll();
        }
}

QList<QWidget*> CountdownSection::focusChain() const
{
    QList<QWidget*> chain;
    for (const CountdownRow* row : m_rows)
        chain << row->titleField() << row->datePicker() << row->removeButton();
    if (m_add->isEnabled())
        chain << m_add;
    return chain;
}

} // namespace kalvix::settings

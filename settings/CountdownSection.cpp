#include "settings/CountdownSection.h"

#include "countdowns/CountdownStore.h"
#include "platform/TimeSource.h"
#include "settings/CountdownDateEdit.h"
#include "settings/CountdownRow.h"
#include "settings/FormGroup.h"
#include "settings/SettingsChoices.h"
#include "ui/PlainButton.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace kalvix::settings {

CountdownSection::CountdownSection(CountdownStore& store, const TimeSource& time, QWidget* parent)
    : FormSection(QStringLiteral("Countdowns"),
                  QStringLiteral("Pinned dates appear in the popover with a live day count."),
                  parent)
    , m_store(store)
    , m_time(time)
    , m_add(new QPushButton(QStringLiteral("Add Countdown")))
{
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
    connect(row, &CountdownRow::titleEdited, this, [this, row](const QString& title) { editTitle(row, title); });
    connect(row, &CountdownRow::datePicked, this, [this, row](Instant date) { editDate(row, date); });
    connect(row, &CountdownRow::removeClicked, this, [this, row] { remove(row); });
    return row;
}

int CountdownSection::indexOf(CountdownRow* row) const
{
    // Rows are in the store's order after every change, and every change is shown at once.
    return static_cast<int>(m_rows.indexOf(row));
}

void CountdownSection::editTitle(CountdownRow* row, const QString& title)
{
    const int index = indexOf(row);
    if (index < 0 || index >= m_store.items().size())
        return;
    QList<Countdown> items = m_store.items();
    items[index].title = title;
    m_store.setItems(items);
}

void CountdownSection::editDate(CountdownRow* row, Instant date)
{
    const int index = indexOf(row);
    if (index < 0 || index >= m_store.items().size())
        return;
    QList<Countdown> items = m_store.items();
    items[index].date = date;
    m_store.setItems(items);
}

void CountdownSection::remove(CountdownRow* row)
{
    const int index = indexOf(row);
    if (index < 0 || index >= m_store.items().size())
        return;
    const QUuid id = row->id();
    QList<Countdown> items = m_store.items();
    items.removeIf([&id](const Countdown& countdown) { return countdown.id == id; });
    m_store.setItems(items);
}

void CountdownSection::add()
{
    QList<Countdown> items = m_store.items();
    items.append(Countdown::create(QStringLiteral("New countdown"), m_time.now()));
    m_store.setItems(items);
}

QList<QWidget*> CountdownSection::focusChain() const
{
    QList<QWidget*> chain;
    for (const CountdownRow* row : m_rows)
        chain << row->titleField() << row->datePicker() << row->removeButton();
    chain << m_add;
    return chain;
}

} // namespace kalvix::settings

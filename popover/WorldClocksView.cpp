#include "popover/WorldClocksView.h"

#include "clock/ClockModel.h"
#include "clock/WorldClockStore.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "popover/SectionHeader.h"
#include "popover/WorldClockCell.h"
#include "time/CivilCalendar.h"
#include "time/SystemZone.h"
#include "ui/ClockFollower.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace kalvix {
namespace {

constexpr int kWorldClocksSpacing = 12;
constexpr int kCellSpacing = 14;
constexpr int kWorldClocksRowSpacing = 14;
constexpr int kCellMinimumWidth = 70;
constexpr int kDefaultSectionWidth = 330; // the width the Standard layout gives the section

} // namespace

QList<int> WorldClocksView::rowLengths(int count, int width)
{
    if (count <= 0)
        return {};
    const int perRow = std::max(1, (width + kCellSpacing) / (kCellMinimumWidth + kCellSpacing));
    const int rows = (count + perRow - 1) / perRow;
    QList<int> lengths;
    for (int row = 0; row < rows; ++row)
        lengths << count / rows + (row < count % rows ? 1 : 0);
    return lengths;
}

WorldClocksView::WorldClocksView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_rows(new QVBoxLayout)
    , m_sectionWidth(kDefaultSectionWidth)
{
    setFixedWidth(m_sectionWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kWorldClocksSpacing);
    layout->addLayout(
        makeSectionHeader(QStringLiteral("World Clocks"), SettingsTab::worldClocks, context.actions, this));
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(kWorldClocksRowSpacing);
    layout->addLayout(m_rows);
    layout->addStretch(1);

    connect(&context.worldClocks, &WorldClockStore::cityNamesChanged, this, &WorldClocksView::rebuild);
    new ui::ClockFollower(this, context.clock, [this](Instant now) { tick(now); });
    rebuild();
}

void WorldClocksView::rebuild()
{
    qDeleteAll(m_cells);
    m_cells.clear();
    for (const City& city : m_context.worldClocks.cities())
        m_cells << new WorldClockCell(city, this);
    m_arranged.clear();
    arrange();
    tick(m_context.clock.now());
}

void WorldClocksView::arrange()
{
    const QList<int> lengths = rowLengths(static_cast<int>(m_cells.size()), m_sectionWidth);
    // Compared element by element: QList's own comparison hands memcmp a null pointer when one side is
    // an empty list that never held data and the other a cleared one.
    if (std::ranges::equal(lengths, m_arranged) && m_rows->count() == lengths.size())
        return;
    while (QLayoutItem* item = m_rows->takeAt(0))
        delete item; // the row layouts only; the cells stay children of this view
    int next = 0;
    for (int length : lengths) {
        auto* row = new QHBoxLayout;
        row->setSpacing(kCellSpacing);
        for (int i = 0; i < length; ++i)
            row->addWidget(m_cells.at(next++), 0, Qt::AlignTop);
        row->addStretch(1);
        m_rows->addLayout(row);
    }
    m_arranged = lengths;
}

void WorldClocksView::setSectionWidth(int width)
{
    m_sectionWidth = width;
    setFixedWidth(width);
    arrange();
}

void WorldClocksView::tick(Instant now)
{
    const CivilCalendar local = CivilCalendar::current();
    const QString localeId = currentLocaleId();
    for (WorldClockCell* cell : m_cells)
        cell->setNow(now, local, localeId);
}

} // namespace kalvix

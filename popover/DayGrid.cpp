#include "popover/DayGrid.h"

#include "popover/DayCell.h"
#include "ui/PlainButton.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>

namespace kalvix {
namespace {

constexpr int kColumns = 7;
constexpr int kColumnMinWidth = 10;
constexpr int kColumnSpacing = 0;
constexpr int kRowSpacing = 6;
constexpr int kRowSpacingCompact = 2;
// The focus ring stands off the cell by this much, or by half the room to the next cell where there is less.
constexpr int kFocusStandOff = 3;
constexpr qreal kFocusRadius = 7;

} // namespace

DayGrid::DayGrid(bool compact, QWidget* parent)
    : QWidget(parent)
    , m_compact(compact)
    , m_layout(new QGridLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setHorizontalSpacing(kColumnSpacing);
    m_layout->setVerticalSpacing(compact ? kRowSpacingCompact : kRowSpacing);
    for (int column = 0; column < kColumns; ++column) {
        m_layout->setColumnStretch(column, 1);
        m_layout->setColumnMinimumWidth(column, kColumnMinWidth);
    }
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Days"));
}

void DayGrid::setCells(const QList<DayCellState>& states)
{
    while (m_cells.size() < states.size()) {
        const auto index = m_cells.size();
        auto* cell = new DayCell(m_compact, this);
        cell->setEventCounter(m_countEvents);
        connect(cell, &DayCell::clicked, this, [this](Instant day) {
            setFocus(Qt::MouseFocusReason); // the arrow keys go on from the clicked day
            showFocusRing(false);           // a click is not keyboard use
            Q_EMIT dayClicked(day);
        });
        connect(cell, &DayCell::doubleClicked, this, &DayGrid::dayDoubleClicked);
        m_layout->addWidget(
            cell, static_cast<int>(index / kColumns), static_cast<int>(index % kColumns), Qt::AlignCenter);
        m_cells << cell;
    }
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        if (i < states.size())
            m_cells[i]->setState(states[i]);
        m_cells[i]->setVisible(i < states.size());
    }
    m_shown = static_cast<int>(states.size());
    setFocusDay(m_focusDay);
}

QList<DayCell*> DayGrid::cells() const
{
    return m_cells.mid(0, m_shown);
}

DayCell* DayGrid::cellFor(Instant day) const
{
    for (DayCell* cell : cells())
        if (cell->state().day == day)
            return cell;
    return nullptr;
}

void DayGrid::setFocusDay(std::optional<Instant> day)
{
    m_focusDay = day;
    for (DayCell* cell : cells())
        cell->setFocusShown(m_showFocus && hasFocus() && day && cell->state().day == *day);
    update();
}

// Drawn here rather than by the cell: it stands around the cell, in the room between the cells.
void DayGrid::paintEvent(QPaintEvent*)
{
    for (DayCell* cell : cells()) {
        if (!cell->isFocusShown())
            continue;
        const int columnRoom = width() / kColumns - cell->width();
        const int across = std::min(kFocusStandOff, columnRoom / 2);
        const int down = std::min(kFocusStandOff, m_layout->verticalSpacing() / 2);
        QPainter painter(this);
        ui::paintFocusRing(
            painter, QRectF(cell->geometry()).adjusted(-across, -down, across, down), palette(), kFocusRadius);
    }
}

void DayGrid::setEventCounter(std::function<std::optional<int>(Instant)> counter)
{
    m_countEvents = std::move(counter);
    for (DayCell* cell : m_cells)
        cell->setEventCounter(m_countEvents);
}

void DayGrid::showFocusRing(bool show)
{
    m_showFocus = show;
    setFocusDay(m_focusDay);
}

void DayGrid::keyPressEvent(QKeyEvent* event)
{
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    switch (event->key()) {
    case Qt::Key_Left:
        Q_EMIT moveRequested(rtl ? 1 : -1);
        break;
    case Qt::Key_Right:
        Q_EMIT moveRequested(rtl ? -1 : 1);
        break;
    case Qt::Key_Up:
        Q_EMIT moveRequested(-kColumns);
        break;
    case Qt::Key_Down:
        Q_EMIT moveRequested(kColumns);
        break;
    case Qt::Key_PageUp:
        Q_EMIT pageRequested(-1);
        break;
    case Qt::Key_PageDown:
        Q_EMIT pageRequested(1);
        break;
    case Qt::Key_Home:
        Q_EMIT todayRequested();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT openRequested();
        break;
    default:
        QWidget::keyPressEvent(event); // Escape and the rest go on to the window
        return;
    }
    showFocusRing(true);
}

void DayGrid::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    Q_EMIT focusEntered();
    showFocusRing(reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
}

void DayGrid::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    setFocusDay(m_focusDay);
}

} // namespace kalvix

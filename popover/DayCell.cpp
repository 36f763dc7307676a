#include "popover/DayCell.h"

#include "time/DateFormat.h"
#include "ui/Shapes.h"
#include "ui/TextStyles.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>

namespace kalvix {
namespace {

constexpr int kSquare = 34;
constexpr int kSquareCompact = 22;
constexpr int kNumberSize = 15;
constexpr int kNumberSizeCompact = 12;
constexpr int kDot = 5;
constexpr int kDotCompact = 4;
constexpr int kDotSpacing = 2;
constexpr int kNumberToDots = 2;
constexpr int kVerticalPadding = 1;
constexpr qreal kRingWidth = 1.5;
constexpr qreal kOtherMonthOpacity = 0.5;

// A day cell to screen readers: a selectable cell named by its full date, its events and whether it is
// today. The name is made when asked, so cells cost nothing while no screen reader listens.
class AccessibleDayCell final : public QAccessibleWidget {
public:
    explicit AccessibleDayCell(DayCell* cell)
        : QAccessibleWidget(cell, QAccessible::Cell)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return cell()->accessibleText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = cell()->state().isSelected;
        s.focused = cell()->isFocusShown();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            Q_EMIT cell()->clicked(cell()->state().day);
    }

private:
    DayCell* cell() const { return static_cast<DayCell*>(widget()); }
};

QAccessibleInterface* accessibleDayCell(const QString&, QObject* object)
{
    if (auto* cell = qobject_cast<DayCell*>(object))
        return new AccessibleDayCell(cell);
    return nullptr;
}

} // namespace

DayCell::DayCell(bool compact, QWidget* parent)
    : QWidget(parent)
    , m_compact(compact)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleDayCell);
        return true;
    }();
    Q_UNUSED(installed);
    const int square = compact ? kSquareCompact : kSquare;
    const int dot = compact ? kDotCompact : kDot;
    setFixedSize(square, kVerticalPadding + square + kNumberToDots + dot + kVerticalPadding);
    setFocusPolicy(Qt::NoFocus); // the grid holds the keyboard focus and moves the selection
}

QSize DayCell::sizeHint() const
{
    return size();
}

void DayCell::setState(const DayCellState& state)
{
    if (state == m_state)
        return;
    const bool renamed = state.day != m_state.day || state.isToday != m_state.isToday;
    m_state = state;
    update();
    if (renamed && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void DayCell::setFocusShown(bool shown)
{
    if (m_focusShown == shown)
        return;
    m_focusShown = shown;
    update();
    if (shown && QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

QString DayCell::describe(const DayCellState& state, std::optional<int> events)
{
    QString text = formatSkeleton(state.day, QStringLiteral("yMMMMEEEEd"));
    if (events && *events > 0)
        text += u", " + (*events == 1 ? tr("1 event") : tr("%1 events").arg(*events));
    if (state.isToday)
        text += u", " + tr("today");
    return text;
}

QString DayCell::accessibleText() const
{
    return describe(m_state, m_countEvents ? m_countEvents(m_state.day) : std::nullopt);
}

void DayCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = m_compact ? kSquareCompact : kSquare;
    const QRectF square((width() - side) / 2, kVerticalPadding, side, side);
    const QPalette& pal = palette();
    if (m_state.isToday)
        ui::fillCircle(painter, square, ui::roleColor(ui::ColorRole::accent, pal));
    else if (m_state.isSelected)
        ui::strokeCircleInside(painter, square, ui::roleColor(ui::ColorRole::accent, pal), kRingWidth);
    paintNumber(painter, square);
    paintDots(painter, square.bottom() + kNumberToDots);
}

void DayCell::paintNumber(QPainter& painter, const QRectF& square)
{
    using ui::Ink;
    const Ink ink = m_state.isToday            ? Ink::fixed(ui::FixedColor::white)
                    : m_state.inDisplayedMonth ? Ink::role(ui::ColorRole::primary)
                                               : Ink::role(ui::ColorRole::secondary, kOtherMonthOpacity);
    painter.setFont(
        ui::systemFont(m_compact ? kNumberSizeCompact : kNumberSize, m_state.isToday ? QFont::Bold : QFont::Normal));
    painter.setPen(ink.resolve(palette()));
    // In the locale's digits, as the clocks and dates around the grid are written.
    painter.drawText(square, Qt::AlignCenter, QLocale().toString(m_state.dayNumber));
}

void DayCell::paintDots(QPainter& painter, qreal top)
{
    const qreal dot = m_compact ? kDotCompact : kDot;
    const auto count = m_state.dots.size();
    const qreal rowWidth = count * dot + std::max<qsizetype>(0, count - 1) * kDotSpacing;
    qreal x = (width() - rowWidth) / 2;
    for (const CalendarColor& color : m_state.dots) {
        ui::fillCircle(painter, QRectF(x, top, dot, dot), QColor(color.r, color.g, color.b, color.a));
        x += dot + kDotSpacing;
    }
}

void DayCell::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void DayCell::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        Q_EMIT clicked(m_state.day);
}

void DayCell::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true; // its release is a click too: the day is selected whatever the second click does
    Q_EMIT doubleClicked(m_state.day);
}

} // namespace kalvix

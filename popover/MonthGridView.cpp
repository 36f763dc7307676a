#include "popover/MonthGridView.h"

#include "calendar/CalendarService.h"
#include "context/AppContext.h"
#include "popover/CalendarAppNotice.h"
#include "popover/DayGrid.h"
#include "popover/DotButton.h"
#include "time/DateFormat.h"
#include "time/SystemZone.h"
#include "time/TimeSource.h"
#include "ui/ClockFollower.h"
#include "ui/Directional.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kStackSpacing = 10;
constexpr int kStackSpacingCompact = 4;
constexpr int kHeaderSpacing = 12;
constexpr int kTitleSize = 17;
constexpr int kTitleSizeCompact = 15;
constexpr int kWeekdaySize = 12;
constexpr int kWeekdaySizeCompact = 10;
constexpr qreal kTodayDot = 7;

using ui::ColorRole;
using ui::Ink;

} // namespace

MonthGridView::MonthGridView(AppContext& context, bool compact, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_compact(compact)
    , m_displayedMonth(context.time.now())
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(compact ? kStackSpacingCompact : kStackSpacing);
    stack->addWidget(makeHeader());
    stack->addWidget(makeWeekdayRow());
    m_days = new DayGrid(compact, this);
    stack->addWidget(m_days);
    connectDays();

    // The dots are the only published value the grid draws; today moves on at midnight.
    connect(&context.calendar, &CalendarService::monthDotsChanged, this, [this] {
        if (!m_writingService)
            refresh();
    });
    new ui::ClockFollower(this, context.clock, [this](Instant) {
        const CivilCalendar calendar = CivilCalendar::current();
        if (!m_shownToday || !calendar.isSameDay(*m_shownToday, now()))
            refresh();
    });
    refresh();
}

QWidget* MonthGridView::makeHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0); // spaced by hand below: the today dot's focus room comes off its spacing
    const QFont titleFont = ui::systemFont(m_compact ? kTitleSizeCompact : kTitleSize, QFont::DemiBold);
    m_title = new ui::PlainButton(QString(), titleFont, Ink::role(ColorRole::primary), header);
    m_title->setToolTip(tr("Go to today"));
    m_title->setAccessibleDescription(tr("Go to today"));
    const QFont chevronFont = ui::textStyleFont(ui::TextStyle::body, QFont::DemiBold);
    m_previous = new ui::PlainButton(
        ui::backChevron(header), chevronFont, Ink::role(ColorRole::primary), tr("Previous month"), header);
    if (m_compact) {
        m_today = new DotButton(kTodayDot, Ink::role(ColorRole::secondary), tr("Go to today"), header);
        m_today->setToolTip(tr("Go to today"));
    }
    m_next = new ui::PlainButton(
        ui::onChevron(header), chevronFont, Ink::role(ColorRole::primary), tr("Next month"), header);
    row->addWidget(m_title);
    row->addSpacing(kHeaderSpacing);
    row->addStretch();
    row->addWidget(m_previous);
    if (m_today) {
        row->addSpacing(kHeaderSpacing - DotButton::focusMargin());
        row->addWidget(m_today);
        row->addSpacing(kHeaderSpacing - DotButton::focusMargin());
        connect(m_today, &DotButton::clicked, this, &MonthGridView::goToday);
    } else {
        row->addSpacing(kHeaderSpacing);
    }
    row->addWidget(m_next);
    connect(m_title, &ui::PlainButton::clicked, this, &MonthGridView::goToday);
    connect(m_previous, &ui::PlainButton::clicked, this, [this] { shift(-1); });
    connect(m_next, &ui::PlainButton::clicked, this, [this] { shift(1); });
    return header;
}

QWidget* MonthGridView::makeWeekdayRow()
{
    auto* weekdays = new QWidget(this);
    auto* row = new QHBoxLayout(weekdays);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const QFont font = ui::systemFont(m_compact ? kWeekdaySizeCompact : kWeekdaySize, QFont::Medium);
    for (int i = 0; i < 7; ++i) {
        auto* label = new ui::TextLabel(QString(), font, Ink::role(ColorRole::secondary), weekdays);
        label->setAlignment(Qt::AlignCenter);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        row->addWidget(label, 1);
        m_weekdays << label;
    }
    return weekdays;
}

void MonthGridView::connectDays()
{
    connect(m_days, &DayGrid::dayClicked, this, &MonthGridView::select);
    connect(m_days, &DayGrid::dayDoubleClicked, this, [this](Instant day) {
        select(day);
        m_context.actions.openCalendarApp(day, calendarAppReply(this));
    });
    connect(m_days, &DayGrid::moveRequested, this, &MonthGridView::moveSelection);
    connect(m_days, &DayGrid::pageRequested, this, &MonthGridView::page);
    connect(m_days, &DayGrid::todayRequested, this, &MonthGridView::selectToday);
    connect(m_days, &DayGrid::openRequested, this, [this] {
        m_context.actions.openCalendarApp(focusDay(), calendarAppReply(this));
    });
    connect(m_days, &DayGrid::focusEntered, this, [this] { m_days->setFocusDay(focusDay()); });
    CalendarService& service = m_context.calendar;
    m_days->setEventCounter([&service](Instant day) -> std::optional<int> {
        if (service.access() != CalendarAccess::fullAccess)
            return std::nullopt;
        const CivilCalendar calendar = CivilCalendar::current();
        const auto start = calendar.startOfDay(day);
        const auto end = MonthGrid::stepDays(day, 1, calendar);
        if (!start || !end)
            return std::nullopt;
        return static_cast<int>(service.store().occurrences(*start, *end).size());
    });
}

Instant MonthGridView::now() const
{
    return m_context.time.now();
}

void MonthGridView::refresh()
{
    const CivilCalendar calendar = CivilCalendar::current();
    const QString localeId = currentLocaleId();
    if (localeId != m_localeId || m_weekdays.first()->text().isEmpty()) {
        m_localeId = localeId;
        m_firstWeekday = firstWeekday(localeId);
        const QStringList symbols = MonthGrid::weekdaySymbols(veryShortWeekdaySymbols(localeId), m_firstWeekday);
        for (qsizetype i = 0; i < m_weekdays.size() && i < symbols.size(); ++i)
            m_weekdays[i]->setText(symbols[i]);
    }
    m_title->setText(formatSkeleton(m_displayedMonth, QStringLiteral("MMMMy")));
    m_title->updateGeometry();
    const Instant today = now();
    m_shownToday = today;
    const QList<Instant> days = MonthGrid::gridDays(m_displayedMonth, m_firstWeekday, calendar);
    m_days->setCells(
        MonthGrid::cells(days, m_displayedMonth, today, m_selectedDay, m_context.calendar.monthDots(), calendar));
    m_days->setFocusDay(focusDay());
}

void MonthGridView::setDisplayedMonth(Instant month)
{
    showMonth(month, false);
}

void MonthGridView::appear(Instant now)
{
    m_displayedMonth = now;
    m_writingService = true;
    m_context.calendar.setDisplayedMonth(now);
    m_writingService = false;
    refresh();
    // The popover opens with the keyboard on the days, so the arrows work at once (the ring shows once used).
    m_days->setFocus(Qt::OtherFocusReason);
}

void MonthGridView::showMonth(Instant month, bool tellService)
{
    m_displayedMonth = month;
    if (tellService) {
        m_writingService = true; // one refresh below, not one more for the dots it announces
        m_context.calendar.setDisplayedMonth(month);
        m_writingService = false;
    }
    refresh();
    if (tellService)
        Q_EMIT displayedMonthChanged(month);
}

void MonthGridView::shift(int months)
{
    if (const auto month = MonthGrid::shift(m_displayedMonth, months, CivilCalendar::current()))
        showMonth(*month, true);
}

void MonthGridView::goToday()
{
    showMonth(now(), true);
}

void MonthGridView::select(Instant day)
{
    m_selectedDay = day;
    refresh();
}

// Where the keyboard starts: the selected day if it is in the month shown, else today if it is, else the 1st.
Instant MonthGridView::focusDay() const
{
    const CivilCalendar calendar = CivilCalendar::current();
    if (m_selectedDay && MonthGrid::sameMonth(*m_selectedDay, m_displayedMonth, calendar))
        return *m_selectedDay;
    if (MonthGrid::sameMonth(now(), m_displayedMonth, calendar))
        return calendar.startOfDay(now()).value_or(now());
    const auto month = calendar.monthInterval(m_displayedMonth);
    return month ? month->start : m_displayedMonth;
}

void MonthGridView::moveSelection(int days)
{
    const CivilCalendar calendar = CivilCalendar::current();
    const auto target = MonthGrid::stepDays(focusDay(), days, calendar);
    if (!target)
        return;
    m_selectedDay = *target;
    if (MonthGrid::sameMonth(*target, m_displayedMonth, calendar))
        refresh();
    else
        showMonth(*target, true);
}

void MonthGridView::page(int months)
{
    const CivilCalendar calendar = CivilCalendar::current();
    if (m_selectedDay && MonthGrid::sameMonth(*m_selectedDay, m_displayedMonth, calendar)) {
        if (const auto moved = MonthGrid::shift(*m_selectedDay, months, calendar))
            m_selectedDay = calendar.startOfDay(*moved);
    }
    shift(months);
}

void MonthGridView::selectToday()
{
    m_selectedDay = CivilCalendar::current().startOfDay(now());
    goToday();
}

} // namespace kalvix

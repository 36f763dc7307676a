#include "popover/CompactAgenda.h"

#include "calendar/CalendarService.h"
#include "calendar/EventLabels.h"
#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "popover/AgendaEventRow.h"
#include "popover/Divider.h"
#include "time/CivilCalendar.h"
#include "ui/ClockFollower.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kOuterSpacing = 8; // the layout's stack: dividers and days are its children
constexpr int kDaySpacing = 4;
constexpr int kAgendaEmptyPadding = 8;

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

} // namespace

CompactAgenda::CompactAgenda(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kOuterSpacing);
    connect(&context.calendar, &CalendarService::agendaChanged, this, &CompactAgenda::rebuild);
    new ui::ClockFollower(this, context.clock, [this](Instant now) {
        if (!m_builtFor || !CivilCalendar::current().isSameDay(*m_builtFor, now))
            rebuild();
    });
    rebuild();
}

void CompactAgenda::clear()
{
    QLayoutItem* item;
    while ((item = layout()->takeAt(0))) {
        delete item->widget();
        delete item;
    }
    m_dayTitles.clear();
    m_dayDates.clear();
    m_rows.clear();
    m_emptyText = nullptr;
}

void CompactAgenda::rebuild()
{
    clear();
    const Instant now = m_context.clock.now();
    m_builtFor = now;
    const QList<AgendaDay>& agenda = m_context.calendar.agenda();
    if (agenda.isEmpty()) {
        layout()->addWidget(new Divider(Qt::Horizontal, this));
        auto* box = new QWidget(this);
        auto* padded = new QVBoxLayout(box);
        padded->setContentsMargins(0, kAgendaEmptyPadding, 0, kAgendaEmptyPadding);
        m_emptyText = new ui::TextLabel(
            tr("No upcoming events"), ui::textStyleFont(TextStyle::caption), Ink::role(ColorRole::secondary), box);
        m_emptyText->setAlignment(Qt::AlignCenter);
        padded->addWidget(m_emptyText);
        layout()->addWidget(box);
        return;
    }
    for (const AgendaDay& day : agenda)
        addDay(day, now);
}

void CompactAgenda::addDay(const AgendaDay& day, Instant now)
{
    layout()->addWidget(new Divider(Qt::Horizontal, this));
    auto* block = new QWidget(this);
    auto* stack = new QVBoxLayout(block);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kDaySpacing);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing)); // the platform's default
    auto* title = new ui::TextLabel(dayTitle(day.day, now),
                                    ui::textStyleFont(TextStyle::callout, QFont::Bold),
                                    Ink::role(ColorRole::primary),
                                    block);
    auto* date = new ui::TextLabel(
        dayMonthLabel(day.day), ui::textStyleFont(TextStyle::callout), Ink::role(ColorRole::secondary), block);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(date);
    stack->addLayout(header);
    m_dayTitles << title;
    m_dayDates << date;

    for (const DayEvent& event : day.events) {
        auto* row = new AgendaEventRow(event, block);
        stack->addWidget(row);
        m_rows << row;
    }
    layout()->addWidget(block);
}

} // namespace kalvix

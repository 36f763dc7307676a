#include "popover/UpNextView.h"

#include "calendar/CalendarService.h"
#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "popover/CalendarAppNotice.h"
#include "popover/Divider.h"
#include "popover/EventRow.h"
#include "ui/ClockFollower.h"
#include "ui/Directional.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kUpNextSpacing = 10;
constexpr int kHeaderSize = 16;
constexpr int kUpNextEmptyPadding = 20;
constexpr int kUpNextRowSpacing = 12;
constexpr int kDeniedSpacing = 8;
constexpr int kLinkSize = 15;

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

ui::TextLabel* calloutText(const QString& text, QWidget* parent)
{
    return new ui::TextLabel(text, ui::textStyleFont(TextStyle::callout), Ink::role(ColorRole::secondary), parent);
}

} // namespace

UpNextState upNextState(CalendarAccess access, bool hasEvents)
{
    switch (access) {
    case CalendarAccess::notDetermined:
        return UpNextState::requesting;
    case CalendarAccess::denied:
        return UpNextState::denied;
    case CalendarAccess::fullAccess:
        break;
    }
    return hasEvents ? UpNextState::list : UpNextState::empty;
}

UpNextView::UpNextView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_requesting(calloutText(tr("Requesting calendar access\u2026"), this))
    , m_empty(calloutText(tr("No upcoming events"), this))
    , m_list(new QWidget(this))
    , m_viewAll(
          new ui::PlainButton(tr("View All Events"), ui::systemFont(kLinkSize), Ink::role(ColorRole::primary), this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kUpNextSpacing);
    stack->addWidget(new ui::TextLabel(
        tr("Up Next"), ui::systemFont(kHeaderSize, QFont::DemiBold), Ink::role(ColorRole::primary), this));
    m_requesting->setFit(ui::TextLabel::Fit::wrap);
    stack->addWidget(m_requesting);
    m_empty->setAlignment(Qt::AlignCenter);
    m_emptyBox = new QWidget(this);
    auto* padded = new QVBoxLayout(m_emptyBox);
    padded->setContentsMargins(0, kUpNextEmptyPadding, 0, kUpNextEmptyPadding);
    m_empty->setParent(m_emptyBox);
    padded->addWidget(m_empty);
    stack->addWidget(m_emptyBox);
    auto* rows = new QVBoxLayout(m_list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(kUpNextRowSpacing);
    stack->addWidget(m_list);
    m_denied = makeDenied();
    stack->addWidget(m_denied);
    stack->addStretch(1);
    stack->addWidget(new Divider(Qt::Horizontal, this));
    m_viewAll->setTrailingSymbol(ui::onChevron(this), ui::textStyleFont(TextStyle::caption));
    m_viewAll->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    stack->addWidget(m_viewAll);
    connect(m_viewAll, &ui::PlainButton::clicked, this, [this] {
        m_context.actions.openCalendarApp(calendarAppReply(this));
    });

    CalendarService& service = context.calendar;
    connect(&service, &CalendarService::accessChanged, this, &UpNextView::refresh);
    connect(&service, &CalendarService::upNextChanged, this, &UpNextView::refresh);
    new ui::ClockFollower(this, context.clock, [this](Instant now) {
        for (EventRow* row : m_rows)
            row->setNow(now);
    });
    refresh();
}

QWidget* UpNextView::makeDenied()
{
    auto* denied = new QWidget(this);
    auto* stack = new QVBoxLayout(denied);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kDeniedSpacing);
    auto* message = calloutText(tr("Kalvix needs calendar access to show your events."), denied);
    message->setFit(ui::TextLabel::Fit::wrap);
    stack->addWidget(message);
    // Linux has no privacy settings for calendars: what stands between Kalvix and the events is a folder
    // it cannot read, so that folder is what the button opens.
    m_openFolder = new QPushButton(tr("Open Calendar Folder"), denied);
    stack->addWidget(m_openFolder, 0, Qt::AlignLeft);
    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        const QString folder = m_context.calendar.store().unreadableSource();
        if (!folder.isEmpty())
            m_context.actions.openFolder(folder);
    });
    return denied;
}

QWidget* UpNextView::contentWidget() const
{
    switch (m_state) {
    case UpNextState::requesting:
        return m_requesting;
    case UpNextState::denied:
        return m_denied;
    case UpNextState::empty:
        return m_emptyBox;
    case UpNextState::list:
        return m_list;
    }
    return m_requesting;
}

void UpNextView::refresh()
{
    const CalendarService& service = m_context.calendar;
    m_state = upNextState(service.access(), !service.upNext().isEmpty());
    if (m_state == UpNextState::denied) {
        const QString folder = service.store().unreadableSource();
        m_openFolder->setEnabled(!folder.isEmpty());
        m_openFolder->setToolTip(folder);
    }
    if (m_state == UpNextState::list)
        rebuildRows();
    for (QWidget* content : {static_cast<QWidget*>(m_requesting), m_denied, m_emptyBox, m_list})
        content->setVisible(content == contentWidget());
}

void UpNextView::rebuildRows()
{
    const QList<DayEvent>& events = m_context.calendar.upNext();
    if (events == m_shownEvents && !m_rows.isEmpty())
        return;
    m_shownEvents = events;
    qDeleteAll(m_rows);
    m_rows.clear();
    const Instant now = m_context.clock.now();
    for (const DayEvent& event : events) {
        auto* row = new EventRow(event, now, m_list);
        m_list->layout()->addWidget(row);
        m_rows << row;
    }
}

} // namespace kalvix

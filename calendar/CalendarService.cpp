#include "calendar/CalendarService.h"

#include "calendar/UpcomingEvents.h"
#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"
#include "time/TimeSource.h"

#include <QCoreApplication>
#include <QPointer>

namespace kalvix {

CalendarService::CalendarService(CalendarStore& store, const TimeSource& time, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_time(time)
    , m_displayedMonth(time.now())
{
    // Queued with this object as context: the refresh runs on a later turn of the loop and is dropped
    // if the service is gone by then.
    connect(&m_store, &CalendarStore::changed, this, &CalendarService::refreshAll, Qt::QueuedConnection);

    switch (m_store.accessStatus()) {
    case CalendarAccess::notDetermined:
        requestAccess();
        break;
    case CalendarAccess::fullAccess:
        m_access = CalendarAccess::fullAccess;
        Q_EMIT accessChanged();
        refreshAll();
        break;
    case CalendarAccess::denied:
        m_access = CalendarAccess::denied;
        Q_EMIT accessChanged();
        break;
    }
}

CalendarService::~CalendarService() = default;

void CalendarService::setDisplayedMonth(Instant month)
{
    m_displayedMonth = month;
    refreshMonthDots();
}

void CalendarService::requestAccess()
{
    // The answer may come on any thread and after this object is gone: it only posts to the
    // application's thread, and the posted task checks that the service still exists.
    QPointer<CalendarService> self(this);
    QObject* mainContext = QCoreApplication::instance() ? static_cast<QObject*>(QCoreApplication::instance())
                                                        : static_cast<QObject*>(this);
    m_store.requestFullAccess([self, mainContext](bool granted) {
        QMetaObject::invokeMethod(
            mainContext,
            [self, granted] {
                if (self)
                    self->applyAccessAnswer(granted);
            },
            Qt::QueuedConnection);
    });
}

void CalendarService::applyAccessAnswer(bool granted)
{
    m_access = granted ? CalendarAccess::fullAccess : CalendarAccess::denied;
    Q_EMIT accessChanged();
    if (granted)
        refreshAll();
}

void CalendarService::refreshAll()
{
    if (m_access != CalendarAccess::fullAccess)
        return;
    refreshMonthDots();
    refreshUpcoming();
}

void CalendarService::refreshMonthDots()
{
    auto dots = MonthDots::compute(m_store, m_displayedMonth, CivilCalendar::current());
    if (!dots)
        return;
    m_monthDots = std::move(*dots);
    Q_EMIT monthDotsChanged();
}

void CalendarService::refreshUpcoming()
{
    UpcomingEvents lists = UpcomingEvents::compute(m_store, m_time.now(), CivilCalendar::current());
    m_upNext = std::move(lists.upNext);
    Q_EMIT upNextChanged();
    m_agenda = std::move(lists.agenda);
    Q_EMIT agendaChanged();
}

} // namespace kalvix

#pragma once
// The one source of calendar data for the popover: the access state, the month dots of the displayed
// month, the next events and the agenda.
//
// Built from a calendar store and a time source. At construction it subscribes to the store's changes
// and settles access: full access fills every list before the constructor returns; an undecided store
// is asked once, and the answer (from any thread) is applied on this object's thread; any other state
// is final and queries nothing. Full access and denied never change afterwards.
//
// Triggers, and nothing else, recompute: access granted or present at start, and every store change
// with full access (dots, then the upcoming lists, on a later turn of the event loop, one refresh per
// change); every write of displayedMonth (dots only, at once, whatever the access state, also when the
// value is unchanged). Each assignment of a published value emits its signal, changed or not.
// Main thread only.
#include "calendar/AgendaDay.h"
#include "calendar/DayEvent.h"
#include "calendar/MonthDots.h"
#include "calendarstore/CalendarStore.h"

#include <QList>
#include <QObject>

namespace kalvix {

class TimeSource;

class CalendarService final : public QObject {
    Q_OBJECT
public:
    // The store must outlive the service.
    CalendarService(CalendarStore& store, const TimeSource& time, QObject* parent = nullptr);
    ~CalendarService() override;

    // notDetermined while the store has not answered, then fullAccess or denied for good.
    CalendarAccess access() const { return m_access; }
    const MonthDotMap& monthDots() const { return m_monthDots; }
    const QList<DayEvent>& upNext() const { return m_upNext; }
    const QList<AgendaDay>& agenda() const { return m_agenda; }

    Instant displayedMonth() const { return m_displayedMonth; }
    // Stores the instant and recomputes the dots before returning.
    void setDisplayedMonth(Instant month);

    CalendarStore& store() const { return m_store; }

Q_SIGNALS:
    void accessChanged();
    void monthDotsChanged();
    void upNextChanged();
    void agendaChanged();

private:
    void requestAccess();
    void applyAccessAnswer(bool granted);
    void refreshAll();
    void refreshMonthDots();
    void refreshUpcoming();

    CalendarStore& m_store;
    const TimeSource& m_time;
    CalendarAccess m_access = CalendarAccess::notDetermined;
    MonthDotMap m_monthDots;
    QList<DayEvent> m_upNext;
    QList<AgendaDay> m_agenda;
    Instant m_displayedMonth;
};

} // namespace kalvix

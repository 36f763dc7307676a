#pragma once
// An in-memory calendar store: occurrences kept in a list and returned in that order, an access state
// set by the test, and an access request the test answers (from any thread) when it chooses.
// Counts queries so tests can see what was recomputed.
#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"

#include <utility>

namespace kalvix::test {

class FakeCalendarStore final : public CalendarStore {
public:
    explicit FakeCalendarStore(CalendarAccess status = CalendarAccess::fullAccess)
        : m_status(status)
    {
    }

    void setOccurrences(std::vector<CalendarOccurrence> occurrences) { m_occurrences = std::move(occurrences); }
    void add(CalendarOccurrence occurrence) { m_occurrences.push_back(std::move(occurrence)); }
    // As the real store does after its content changed.
    void announceChange() { Q_EMIT changed(); }

    CalendarAccess accessStatus() const override { return m_status; }
    void requestFullAccess(AccessCallback done) override
    {
        ++m_requestCount;
        m_pendingAnswer = std::move(done);
    }
    bool hasPendingRequest() const { return bool(m_pendingAnswer); }
    int requestCount() const { return m_requestCount; }
    void answer(bool granted)
    {
        auto done = std::exchange(m_pendingAnswer, {});
        if (done)
            done(granted);
    }

    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const override
    {
        m_queries.push_back({start, end});
        std::vector<CalendarOccurrence> result;
        for (const auto& o : m_occurrences) {
            if (o.start < end && (o.end > start || (o.start == o.end && o.start >= start)))
                result.push_back(o);
        }
        return result;
    }
    const std::vector<Interval>& queries() const { return m_queries; }

    QList<CalendarInfo> calendars() const override { return m_calendars; }
    QString unreadableSource() const override { return m_unreadable; }
    void setCalendars(QList<CalendarInfo> calendars) { m_calendars = std::move(calendars); }
    void setUnreadableSource(QString path) { m_unreadable = std::move(path); }
    void clearQueries() { m_queries.clear(); }

private:
    CalendarAccess m_status;
    std::vector<CalendarOccurrence> m_occurrences;
    AccessCallback m_pendingAnswer;
    int m_requestCount = 0;
    mutable std::vector<Interval> m_queries;
    QList<CalendarInfo> m_calendars;
    QString m_unreadable;
};

} // namespace kalvix::test

#pragma once
// The calendar store of iCalendar data: .ics files and vdir folders (one or more .ics files per
// folder, with optional `color` and `displayname` files), read with libical.
//
// Each source is a file or a folder; a folder is searched three levels deep, and every folder that
// holds .ics files is one calendar (a file given directly is a calendar of its own). A calendar's
// colour is its vdir `color` file, else the COLOR or X-APPLE-CALENDAR-COLOR of its first file that
// has one, else a fixed palette colour chosen by its path.
//
// Loading runs off the calling thread into an immutable index. Recurring events are expanded at load
// only over what the month grid and the upcoming list show at that time; a query elsewhere expands
// the rules by whole months (in UTC) and keeps those months (a bounded number, the least recently used
// go first) until the next load, so moving between months costs once per month. Each occurrence of a
// rule belongs to where it starts, the load window or a month, so none is repeated or missed. Rules whose occurrences
// can last longer than four weeks are expanded for each query instead, and so is a query longer than the months kept.
// The sources are watched: a burst of changes settles for a moment, only changed files are read again, and one
// changed() follows.
//
// Access: not determined until the first load ends (the access request is that load), then full
// access, or denied when sources exist but none of them can be read. Main thread only, except that
// the access callback may be called from the load.
#include "platform/CalendarStore.h"
#include "platform/TimeSource.h"

#include <QStringList>

#include <memory>

namespace kalvix {

namespace ical {
class Snapshot;
}

class IcalCalendarStore final : public CalendarStore {
    Q_OBJECT
public:
    struct Options {
        int settleMs = 400;
        // The load expands the months holding the current month from this many days before its first
        // day to this many after its last (the month grid's range). Other months expand on demand.
        int loadDaysBefore = 7;
        int loadDaysAfter = 14;
        int cachedMonths = 36; // months expanded on demand and kept

        const TimeSource* time = nullptr; // the system clock when null
    };

    explicit IcalCalendarStore(QStringList sources, QObject* parent = nullptr);
    IcalCalendarStore(QStringList sources, Options options, QObject* parent = nullptr);
    ~IcalCalendarStore() override;

    CalendarAccess accessStatus() const override;
    void requestFullAccess(AccessCallback done) override;
    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const override;

    const QStringList& sources() const { return m_sources; }
    bool isLoaded() const;
    QList<CalendarInfo> calendars() const override;
    QString unreadableSource() const override;

    // Reads every source at once on the calling thread, without announcing (tools and benchmarks).
    void loadNow();

Q_SIGNALS:
    // After every finished load, whether or not anything changed.
    void loaded();

private:
    struct State;
    void startLoad();
    void finishLoad(std::shared_ptr<const ical::Snapshot> snapshot);
    void watch(const ical::Snapshot& snapshot);

    QStringList m_sources;
    Options m_options;
    std::unique_ptr<State> m_state;
};

} // namespace kalvix

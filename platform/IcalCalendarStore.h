#pragma once
// The calendar store of iCalendar data: .ics files and vdir folders (one or more .ics files per
// folder, with optional `color` and `displayname` files), read with libical.
//
// Each source is a file or a folder; a folder is searched three levels deep, and every folder that
// holds .ics files is one calendar (a file given directly is a calendar of its own). A calendar's
// colour is its vdir `color` file, else the COLOR or X-APPLE-CALENDAR-COLOR of its first file that
// has one, else a fixed palette colour chosen by its path.
//
// Loading runs off the calling thread into an immutable index; interval queries read only the index.
// Recurring events are expanded once over a window around the load time (two months back, fourteen
// ahead); a query outside it expands the rules for that query alone. The sources are watched: a burst
// of changes settles for a moment, only changed files are read again, and one changed() follows.
//
// Access: not determined until the first load ends (the access request is that load), then full
// access, or denied when sources exist but none of them can be read. Main thread only, except that
// the access callback may be called from the load.
#include "platform/CalendarStore.h"
#include "platform/TimeSource.h"

#include <QStringList>

#include <memory>

namespace kalvix {

class IcalCalendarStore final : public CalendarStore {
    Q_OBJECT
public:
    struct Options {
        int settleMs = 400;
        // Around the load time; the month grid's usual range. Queries beyond expand on demand.
        int windowPastDays = 62;
        int windowFutureDays = 430;
        const TimeSource* time = nullptr; // the system clock when null
    };

    // The loaded index (opaque outside the store's own source).
    struct Snapshot;

    struct CalendarInfo {
        QString name;
        QString path;
        CalendarColor color;
        int events = 0;
        int skipped = 0; // events and files that could not be read
    };

    explicit IcalCalendarStore(QStringList sources, QObject* parent = nullptr);
    IcalCalendarStore(QStringList sources, Options options, QObject* parent = nullptr);
    ~IcalCalendarStore() override;

    CalendarAccess accessStatus() const override;
    void requestFullAccess(AccessCallback done) override;
    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const override;

    const QStringList& sources() const { return m_sources; }
    bool isLoaded() const;
    QList<CalendarInfo> calendars() const;
    // The first source that exists but cannot be read, for the user to look at; empty when none.
    QString unreadableSource() const;

    // Reads every source at once on the calling thread, without announcing (tools and benchmarks).
    void loadNow();

Q_SIGNALS:
    // After every finished load, whether or not anything changed.
    void loaded();

private:
    struct State;
    void startLoad();
    void finishLoad(std::shared_ptr<const Snapshot> snapshot);
    void watch(const Snapshot& snapshot);

    QStringList m_sources;
    Options m_options;
    std::unique_ptr<State> m_state;
};

} // namespace kalvix

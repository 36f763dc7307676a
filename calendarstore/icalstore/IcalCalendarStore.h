#pragma once
// The calendar store of iCalendar data: .ics files and vdir folders (one or more .ics files per
// folder, with optional `color` and `displayname` files).
//
// Each source is a file or a folder; a folder is searched three levels deep, and every folder that
// holds .ics files is one calendar (a file given directly is a calendar of its own). A calendar's
// colour is its vdir `color` file, else the COLOR or X-APPLE-CALENDAR-COLOR of its first file that
// has one, else a fixed palette colour chosen by its path. See IcalSnapshot.h for what a load
// keeps and how queries answer, IcalReader.h for how files are read.
//
// Loading runs off the calling thread into an immutable index; the months next to those a query
// needed are expanded ahead, off the calling thread too, so that moving the month grid by a month
// finds them ready. The sources are watched: a burst of changes settles for a moment, only changed
// files are read again, and one changed() follows. A load that is no longer wanted (the store is
// going away) is told to stop, and the store does not wait long for it.
//
// A source on a file system that hangs (a network or FUSE mount) holds back no other: the load goes
// on without it, and it shows when it answers.
//
// A feed's calendars (see CalendarFeed.h) come after the sources' and are read by the same reader;
// files the feed serves are left out of the sources.
//
// Access: not determined until the first load ends (the access request is that load), then full
// access, or denied when sources exist but none of them can be read. Main thread only, except that
// the access callback may be called from the load.
#include "calendarstore/CalendarFeed.h"
#include "calendarstore/CalendarStore.h"
#include "time/TimeSource.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace kalvix {

namespace ical {
class Snapshot;
}

class IcalCalendarStore final : public CalendarStore {
    Q_OBJECT
public:
    // Runs a task off the calling thread. Unset, loads run on a thread of their own and months are
    // expanded ahead on one worker; tests set it to run tasks when they choose.
    using Executor = std::function<void(std::function<void()> task)>;

    struct Options {
        int settleMs = 400;
        // The load expands the months holding the current month from this many days before its first
        // day to this many after its last (the month grid's range). Other months expand on demand.
        int loadDaysBefore = 7;
        int loadDaysAfter = 14;
        int cachedMonths = 36; // months expanded on demand and kept
        // A source or file whose file system keeps a load waiting this long without progress is left
        // out of it and reported as unreadable; the store looks every `retryMs` whether it answered
        // since, and loads again when it has.
        std::chrono::milliseconds patience{3000};
        int retryMs = 2000;

        const TimeSource* time = nullptr; // the system clock when null
        // Calendars of the desktop's calendar service, read after the sources; none when null. The
        // first load waits until the feed is ready, and every change of the feed loads again.
        CalendarFeed* feed = nullptr;
        Executor executor;
        bool expandAhead = true; // off for a store that answers once (the command line)
    };

    explicit IcalCalendarStore(QStringList sources, QObject* parent = nullptr);
    IcalCalendarStore(QStringList sources, Options options, QObject* parent = nullptr);
    ~IcalCalendarStore() override;

    CalendarAccess accessStatus() const override;
    void requestFullAccess(AccessCallback done) override;
    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const override;
    std::vector<CalendarOccurrence> firstOccurrences(Instant start, Instant end, std::size_t count) const override;
    std::vector<OccurrenceSpan> spans(Instant start, Instant end) const override;

    const QStringList& sources() const { return m_sources; }
    // Reads the new sources at once when they differ from the current ones.
    void setSources(QStringList sources);
    bool isLoaded() const;
    QList<CalendarInfo> calendars() const override;
    QString unreadableSource() const override;

    // What the file watcher calls: a source changed, so the settle window starts (or starts again).
    void noteSourcesChanged();
    bool changePending() const;
    // Ends the settle window now, when a change waits in it (tools and tests that drive time).
    void settleNow();

    // Reads every source at once on the calling thread, without announcing (tools and benchmarks).
    void loadNow();
    // Paths watched so far (they are handed to the file watcher in batches, after each load).
    int watchedPathCount() const;

Q_SIGNALS:
    // After every finished load, whether or not anything changed.
    void loaded();

private:
    struct State;
    struct LoadLink;
    void startLoad();
    void finishLoad(std::shared_ptr<const ical::Snapshot> snapshot);
    void settleAccess();
    void lookForAnswers();
    std::shared_ptr<const ical::Snapshot> queried(Instant start, Instant end) const;
    void expandAhead(const ical::Snapshot& snapshot, Instant start, Instant end) const;
    void run(std::function<void()> task, bool load) const;
    QStringList readSources() const;
    std::vector<FeedCalendar> feedCalendars() const;

    QStringList m_sources;
    Options m_options;
    std::unique_ptr<State> m_state;
};

} // namespace kalvix

#include "calendarstore/icalstore/IcalCalendarStore.h"

#include "calendarstore/ical/IcalValues.h"
#include "calendarstore/icalstore/IcalSnapshot.h"
#include "calendarstore/icalstore/IcalSourceWatcher.h"
#include "calendarstore/icalstore/WatchedWork.h"
#include "time/SystemZone.h"

#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace kalvix {

using ical::Snapshot;

namespace {

// How long a store that goes away waits for a load it has told to stop (a read may hang on a
// network file system); after that the load finishes on its own and its result is dropped.
constexpr auto kStopWait = std::chrono::seconds(2);
// Months are expanded ahead for the month before and the month after a query.
constexpr double kAhead = 31 * 86400.0;

ical::LoadPlan planOf(const IcalCalendarStore::Options& options)
{
    return ical::LoadPlan{options.loadDaysBefore, options.loadDaysAfter, options.cachedMonths, options.patience};
}

} // namespace

// What a load shares with its store: the load holds no pointer to the store but this one, which the
// store clears when it goes away.
struct IcalCalendarStore::LoadLink {
    std::mutex mutex;
    IcalCalendarStore* store = nullptr;
    std::atomic<bool> cancelled{false};
    std::promise<void> done;
};

struct IcalCalendarStore::State {
    std::shared_ptr<const Snapshot> snapshot;
    CalendarAccess access = CalendarAccess::notDetermined;
    std::vector<AccessCallback> waiting;
    bool loading = false;
    bool reloadPending = false;
    mutable bool zoneReloadAsked = false;
    std::shared_ptr<LoadLink> link;
    std::future<void> loadDone;
    std::thread loader;
    IcalSourceWatcher* watcher = nullptr;
    QThreadPool* ahead = nullptr; // expands months ahead, one task at a time
    QTimer* answers = nullptr;    // looks whether sources left out of the load have answered since
    unsigned answersAtLoad = 0;
};

IcalCalendarStore::IcalCalendarStore(QStringList sources, QObject* parent)
    : IcalCalendarStore(std::move(sources), Options{}, parent)
{
}

IcalCalendarStore::IcalCalendarStore(QStringList sources, Options options, QObject* parent)
    : CalendarStore(parent)
    , m_sources(std::move(sources))
    , m_options(std::move(options))
    , m_state(std::make_unique<State>())
{
    ical::initialiseLibical();
    if (!m_options.time)
        m_options.time = &TimeSource::system();
    m_state->watcher = new IcalSourceWatcher(m_options.settleMs, this);
    connect(m_state->watcher, &IcalSourceWatcher::settled, this, &IcalCalendarStore::startLoad);
    m_state->ahead = new QThreadPool(this);
    m_state->ahead->setMaxThreadCount(1);
    m_state->answers = new QTimer(this);
    m_state->answers->setInterval(m_options.retryMs);
    connect(m_state->answers, &QTimer::timeout, this, &IcalCalendarStore::lookForAnswers);
    if (m_options.feed) {
        connect(m_options.feed, &CalendarFeed::changed, this, [this] {
            if (m_state->snapshot || !m_state->waiting.empty())
                startLoad();
        });
    }
}

IcalCalendarStore::~IcalCalendarStore()
{
    if (m_state->link) {
        const std::lock_guard lock(m_state->link->mutex);
        m_state->link->store = nullptr;
        m_state->link->cancelled = true;
    }
    if (m_state->loader.joinable()) {
        if (m_state->loadDone.wait_for(kStopWait) == std::future_status::ready)
            m_state->loader.join();
        else
            m_state->loader.detach();
    }
    m_state->ahead->clear();
    m_state->ahead->waitForDone();
}

CalendarAccess IcalCalendarStore::accessStatus() const
{
    return m_state->access;
}

bool IcalCalendarStore::isLoaded() const
{
    return m_state->snapshot != nullptr;
}

void IcalCalendarStore::requestFullAccess(AccessCallback done)
{
    if (m_state->access != CalendarAccess::notDetermined) {
        done(m_state->access == CalendarAccess::fullAccess);
        return;
    }
    m_state->waiting.push_back(std::move(done));
    if (!m_state->loading)
        startLoad();
}

void IcalCalendarStore::setSources(QStringList sources)
{
    if (sources == m_sources)
        return;
    m_sources = std::move(sources);
    startLoad();
}

void IcalCalendarStore::noteSourcesChanged()
{
    m_state->watcher->noteChange();
}

bool IcalCalendarStore::changePending() const
{
    return m_state->watcher->changePending();
}

void IcalCalendarStore::settleNow()
{
    m_state->watcher->settleNow();
}

int IcalCalendarStore::watchedPathCount() const
{
    return m_state->watcher->watchedCount();
}

void IcalCalendarStore::run(std::function<void()> task, bool load) const
{
    if (m_options.executor)
        m_options.executor(std::move(task));
    else if (load)
        m_state->loader = std::thread(std::move(task));
    else
        m_state->ahead->start(std::move(task));
}

QStringList IcalCalendarStore::readSources() const
{
    if (!m_options.feed)
        return m_sources;
    QStringList sources = m_sources;
    for (const QString& served : m_options.feed->servedFiles())
        sources.removeAll(served);
    return sources;
}

std::vector<FeedCalendar> IcalCalendarStore::feedCalendars() const
{
    return m_options.feed ? m_options.feed->calendars() : std::vector<FeedCalendar>{};
}

void IcalCalendarStore::startLoad()
{
    // The first load waits for the feed's first look at its service, so that access is not settled
    // on the files alone; its changed() calls again.
    if (m_options.feed && !m_options.feed->ready() && !m_state->snapshot)
        return;
    if (m_state->loading) {
        m_state->reloadPending = true;
        return;
    }
    if (m_state->loader.joinable())
        m_state->loader.join(); // it ended: its result has arrived
    m_state->loading = true;
    m_state->zoneReloadAsked = false;
    m_state->answersAtLoad = ical::stalledAnswers();
    auto link = std::make_shared<LoadLink>();
    link->store = this;
    m_state->link = link;
    m_state->loadDone = link->done.get_future();
    run(
        [link,
         previous = m_state->snapshot,
         now = m_options.time->now(),
         floating = systemZone(),
         sources = readSources(),
         feed = feedCalendars(),
         plan = planOf(m_options)] {
            std::shared_ptr<const Snapshot> snap =
                Snapshot::build(sources, feed, previous.get(), now, plan, floating, &link->cancelled);
            {
                const std::lock_guard lock(link->mutex);
                if (IcalCalendarStore* store = link->store) {
                    QMetaObject::invokeMethod(
                        store, [store, snap] { store->finishLoad(snap); }, Qt::QueuedConnection);
                }
            }
            link->done.set_value();
        },
        true);
}

void IcalCalendarStore::finishLoad(std::shared_ptr<const Snapshot> snapshot)
{
    m_state->loading = false;
    const bool first = !m_state->snapshot;
    const bool changedContent = !first && !m_state->snapshot->sameContent(*snapshot);
    m_state->snapshot = std::move(snapshot);
    settleAccess();
    Q_EMIT loaded();
    if (changedContent)
        Q_EMIT changed();
    // After the news: the paths go to the file watcher in batches on later turns of the loop.
    m_state->watcher->watch(m_state->snapshot->watchFolders(), m_state->snapshot->watchFiles());
    if (m_state->snapshot->notAnswering().isEmpty())
        m_state->answers->stop();
    else if (!m_state->answers->isActive())
        m_state->answers->start();
    if (m_state->reloadPending) {
        m_state->reloadPending = false;
        startLoad();
    }
}

void IcalCalendarStore::settleAccess()
{
    if (m_state->access != CalendarAccess::notDetermined)
        return;
    const Snapshot& s = *m_state->snapshot;
    m_state->access =
        s.anySourceExists() && !s.anySourceReadable() ? CalendarAccess::denied : CalendarAccess::fullAccess;
    for (auto& done : std::exchange(m_state->waiting, {}))
        done(m_state->access == CalendarAccess::fullAccess);
}

void IcalCalendarStore::lookForAnswers()
{
    if (!m_state->loading && ical::stalledAnswers() != m_state->answersAtLoad)
        startLoad();
}

void IcalCalendarStore::loadNow()
{
    if (m_state->loader.joinable())
        m_state->loader.join();
    m_state->snapshot = Snapshot::build(readSources(),
                                        feedCalendars(),
                                        m_state->snapshot.get(),
                                        m_options.time->now(),
                                        planOf(m_options),
                                        systemZone());
    settleAccess();
}

// The snapshot to answer a query from, after the checks every query makes.
std::shared_ptr<const Snapshot> IcalCalendarStore::queried(Instant start, Instant end) const
{
    const auto snap = m_state->snapshot;
    if (!snap)
        return nullptr;
    // Floating times and dates were read in the zone of the load: a new system zone reads them anew.
    if (!m_state->zoneReloadAsked && systemZone().id() != snap->floating().id()) {
        m_state->zoneReloadAsked = true;
        QMetaObject::invokeMethod(
            const_cast<IcalCalendarStore*>(this), &IcalCalendarStore::startLoad, Qt::QueuedConnection);
    }
    expandAhead(*snap, start, end);
    return snap;
}

std::vector<CalendarOccurrence> IcalCalendarStore::occurrences(Instant start, Instant end) const
{
    const auto snap = queried(start, end);
    return snap ? snap->occurrences(start, end) : std::vector<CalendarOccurrence>{};
}

std::vector<CalendarOccurrence> IcalCalendarStore::firstOccurrences(Instant start, Instant end, std::size_t count) const
{
    const auto snap = queried(start, end);
    return snap ? snap->firstOccurrences(start, end, count) : std::vector<CalendarOccurrence>{};
}

std::vector<OccurrenceSpan> IcalCalendarStore::spans(Instant start, Instant end) const
{
    const auto snap = queried(start, end);
    return snap ? snap->spans(start, end) : std::vector<OccurrenceSpan>{};
}

// The months of the month before and after the query, expanded by the worker while the user looks.
void IcalCalendarStore::expandAhead(const Snapshot& snapshot, Instant start, Instant end) const
{
    if (!m_options.expandAhead)
        return;
    const std::vector<int> months = snapshot.monthsToExpand(start - kAhead, end + kAhead);
    if (!months.empty())
        run([snap = m_state->snapshot, months] { snap->prefetch(months); }, false);
}

QList<CalendarInfo> IcalCalendarStore::calendars() const
{
    return m_state->snapshot ? m_state->snapshot->calendars() : QList<CalendarInfo>{};
}

QString IcalCalendarStore::unreadableSource() const
{
    if (!m_state->snapshot)
        return {};
    const ical::Snapshot& s = *m_state->snapshot;
    return s.unreadable().isEmpty() && !s.notAnswering().isEmpty() ? s.notAnswering().front() : s.unreadable();
}

} // namespace kalvix

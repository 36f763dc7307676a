#include "platform/IcalCalendarStore.h"

#include "platform/IcalSnapshot.h"
#include "platform/IcalValues.h"
#include "platform/SystemZone.h"

#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <thread>

namespace kalvix {

using ical::Snapshot;

namespace {

ical::LoadPlan planOf(const IcalCalendarStore::Options& options)
{
    return ical::LoadPlan{options.loadDaysBefore, options.loadDaysAfter, options.cachedMonths};
}

} // namespace

struct IcalCalendarStore::State {
    std::shared_ptr<const Snapshot> snapshot;
    CalendarAccess access = CalendarAccess::notDetermined;
    std::vector<AccessCallback> waiting;
    bool loading = false;
    bool reloadPending = false;
    mutable bool zoneReloadAsked = false;
    std::thread loader;
    QFileSystemWatcher* watcher = nullptr;
    QTimer* settle = nullptr;
};

IcalCalendarStore::IcalCalendarStore(QStringList sources, QObject* parent)
    : IcalCalendarStore(std::move(sources), Options{}, parent)
{
}

IcalCalendarStore::IcalCalendarStore(QStringList sources, Options options, QObject* parent)
    : CalendarStore(parent)
    , m_sources(std::move(sources))
    , m_options(options)
    , m_state(std::make_unique<State>())
{
    ical::initialiseLibical();
    if (!m_options.time)
        m_options.time = &TimeSource::system();
    m_state->watcher = new QFileSystemWatcher(this);
    m_state->settle = new QTimer(this);
    m_state->settle->setSingleShot(true);
    m_state->settle->setInterval(m_options.settleMs);
    connect(m_state->watcher, &QFileSystemWatcher::directoryChanged, m_state->settle, qOverload<>(&QTimer::start));
    connect(m_state->watcher, &QFileSystemWatcher::fileChanged, m_state->settle, qOverload<>(&QTimer::start));
    connect(m_state->settle, &QTimer::timeout, this, &IcalCalendarStore::startLoad);
}

IcalCalendarStore::~IcalCalendarStore()
{
    if (m_state->loader.joinable())
        m_state->loader.join();
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

void IcalCalendarStore::startLoad()
{
    if (m_state->loading) {
        m_state->reloadPending = true;
        return;
    }
    if (m_state->loader.joinable())
        m_state->loader.join();
    m_state->loading = true;
    m_state->zoneReloadAsked = false;
    const Instant now = m_options.time->now();
    const QTimeZone floating = platform::systemZone();
    m_state->loader = std::thread([this, previous = m_state->snapshot, now, floating, sources = m_sources] {
        std::shared_ptr<const Snapshot> snap =
            Snapshot::build(sources, previous.get(), now, planOf(m_options), floating);
        // Queued to this object: dropped if the store is gone (its destructor joins this thread first).
        QMetaObject::invokeMethod(
            this, [this, snap] { finishLoad(snap); }, Qt::QueuedConnection);
    });
}

void IcalCalendarStore::finishLoad(std::shared_ptr<const Snapshot> snapshot)
{
    m_state->loading = false;
    const bool first = !m_state->snapshot;
    const bool changedContent = !first && !m_state->snapshot->sameContent(*snapshot);
    m_state->snapshot = std::move(snapshot);
    watch(*m_state->snapshot);
    if (m_state->access == CalendarAccess::notDetermined) {
        const auto& s = *m_state->snapshot;
        m_state->access =
            s.anySourceExists() && !s.anySourceReadable() ? CalendarAccess::denied : CalendarAccess::fullAccess;
        for (auto& done : std::exchange(m_state->waiting, {}))
            done(m_state->access == CalendarAccess::fullAccess);
    }
    Q_EMIT loaded();
    if (changedContent)
        Q_EMIT changed();
    if (m_state->reloadPending) {
        m_state->reloadPending = false;
        startLoad();
    }
}

void IcalCalendarStore::loadNow()
{
    if (m_state->loader.joinable())
        m_state->loader.join();
    auto snap = Snapshot::build(
        m_sources, m_state->snapshot.get(), m_options.time->now(), planOf(m_options), platform::systemZone());
    m_state->snapshot = std::move(snap);
    if (m_state->access == CalendarAccess::notDetermined) {
        const auto& s = *m_state->snapshot;
        m_state->access =
            s.anySourceExists() && !s.anySourceReadable() ? CalendarAccess::denied : CalendarAccess::fullAccess;
    }
}

void IcalCalendarStore::watch(const Snapshot& snapshot)
{
    QFileSystemWatcher* w = m_state->watcher;
    const QStringList wanted = snapshot.watchPaths();
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    QStringList stale;
    for (const QString& p : w->files() + w->directories()) {
        if (!wantedSet.contains(p))
            stale.append(p);
    }
    if (!stale.isEmpty())
        w->removePaths(stale);
    const QStringList present = w->files() + w->directories();
    QStringList missing;
    for (const QString& p : wanted) {
        if (!present.contains(p))
            missing.append(p);
    }
    if (!missing.isEmpty())
        w->addPaths(missing);
}

std::vector<CalendarOccurrence> IcalCalendarStore::occurrences(Instant start, Instant end) const
{
    const auto snap = m_state->snapshot;
    if (!snap)
        return {};
    // Floating times and dates were read in the zone of the load: a new system zone reads them anew.
    if (!m_state->zoneReloadAsked && platform::systemZone().id() != snap->floating().id()) {
        m_state->zoneReloadAsked = true;
        QMetaObject::invokeMethod(
            const_cast<IcalCalendarStore*>(this), &IcalCalendarStore::startLoad, Qt::QueuedConnection);
    }
    return snap->occurrences(start, end);
}

QList<CalendarInfo> IcalCalendarStore::calendars() const
{
    return m_state->snapshot ? m_state->snapshot->calendars() : QList<CalendarInfo>{};
}

QString IcalCalendarStore::unreadableSource() const
{
    return m_state->snapshot ? m_state->snapshot->unreadable() : QString{};
}

} // namespace kalvix

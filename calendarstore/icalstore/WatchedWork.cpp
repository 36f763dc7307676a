#include "calendarstore/icalstore/WatchedWork.h"

#include "calendarstore/ical/ParallelFor.h"

#include <QSet>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kalvix::ical {
namespace {

using Clock = std::chrono::steady_clock;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

constexpr qint64 kGivenUp = -1;

// What the watcher sees of one worker. `waitingSince` is 0 while the worker is not waiting on the
// file system, else the time of the wait's start or last progress; the watcher gives a worker up by
// swapping that time for kGivenUp, so a worker that has just stopped waiting is never given up.
struct WorkerState {
    std::atomic<qint64> waitingSince{0};
    bool lost = false;    // the worker's own: it learnt it was given up
    std::size_t item = 0; // under the run's mutex
    bool busy = false;    // under the run's mutex
    bool givenUp = false; // under the run's mutex
};

thread_local WorkerState* t_worker = nullptr;

struct Stalled {
    std::mutex mutex;
    QSet<QString> paths;
    std::atomic<unsigned> answers{0};
    std::function<void(const QString&)> hook;
    std::atomic<bool> hooked{false}; // read at every wait, which should cost no lock without a hook
};

Stalled& stalled()
{
    static Stalled* const s = new Stalled; // never destroyed: given-up workers may outlive main()
    return *s;
}

struct Run {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<QString> paths;
    std::function<std::function<void()>(std::size_t)> work;
    std::size_t next = 0;
    std::size_t settled = 0;
    std::vector<std::size_t> stalledItems;
    std::vector<std::shared_ptr<WorkerState>> workers;
};

void work(const std::shared_ptr<Run>& run, const std::shared_ptr<WorkerState>& self)
{
    t_worker = self.get();
    std::unique_lock lock(run->mutex);
    while (!self->givenUp && run->next < run->paths.size()) {
        const std::size_t i = run->next++;
        const QString& path = run->paths[i];
        if (isStalled(path)) {
            run->stalledItems.push_back(i);
            ++run->settled;
            run->changed.notify_all();
            continue;
        }
        self->item = i;
        self->busy = true;
        self->lost = false;
        lock.unlock();
        std::function<void()> keep = run->work(i);
        lock.lock();
        self->busy = false;
        if (self->givenUp) {
            // Answered at last: the path may be tried again, and whoever waits for it is told.
            Stalled& s = stalled();
            const std::lock_guard stalledLock(s.mutex);
            s.paths.remove(path);
            ++s.answers;
            break;
        }
        keep();
        ++run->settled;
        run->changed.notify_all();
    }
    t_worker = nullptr;
}

void startWorker(const std::shared_ptr<Run>& run)
{
    auto self = std::make_shared<WorkerState>();
    run->workers.push_back(self);
    std::thread([run, self] { work(run, self); }).detach();
}

} // namespace

IoScope::IoScope(const QString& path)
    : m_outer(t_worker && !t_worker->lost && t_worker->waitingSince == 0)
{
    if (m_outer)
        t_worker->waitingSince = nowMs();
    Stalled& s = stalled();
    if (!s.hooked)
        return;
    std::function<void(const QString&)> hook;
    {
        const std::lock_guard lock(s.mutex);
        hook = s.hook;
    }
    if (hook)
        hook(path);
}

IoScope::~IoScope()
{
    if (m_outer && t_worker->waitingSince.exchange(0) == kGivenUp)
        t_worker->lost = true;
}

void ioProgress()
{
    if (!t_worker)
        return;
    qint64 since = t_worker->waitingSince;
    if (since > 0)
        t_worker->waitingSince.compare_exchange_strong(since, nowMs());
}

bool workGivenUp()
{
    return t_worker && t_worker->lost;
}

bool isStalled(const QString& path)
{
    Stalled& s = stalled();
    const std::lock_guard lock(s.mutex);
    return s.paths.contains(path);
}

unsigned stalledAnswers()
{
    return stalled().answers;
}

void setIoHookForTesting(std::function<void(const QString&)> hook)
{
    Stalled& s = stalled();
    const std::lock_guard lock(s.mutex);
    s.hook = std::move(hook);
    s.hooked = bool(s.hook);
}

namespace detail {

std::vector<std::size_t> runWatched(std::vector<QString> paths,
                                    std::function<std::function<void()>(std::size_t)> work,
                                    std::chrono::milliseconds patience)
{
    if (paths.empty())
        return {};
    auto run = std::make_shared<Run>();
    run->paths = std::move(paths);
    run->work = std::move(work);
    const std::size_t count = run->paths.size();
    const auto look = std::max(std::chrono::milliseconds(1), patience / 4);
    std::unique_lock lock(run->mutex);
    for (std::size_t t = 0; t < std::min(count, coreCount()); ++t)
        startWorker(run);
    while (run->settled < count) {
        run->changed.wait_for(lock, look);
        const qint64 now = nowMs();
        const auto workers = run->workers; // replacements are added below
        for (const auto& worker : workers) {
            qint64 since = worker->waitingSince;
            if (!worker->busy || worker->givenUp || since <= 0 || now - since <= patience.count() ||
                !worker->waitingSince.compare_exchange_strong(since, kGivenUp))
                continue;
            worker->givenUp = true;
            {
                Stalled& s = stalled();
                const std::lock_guard stalledLock(s.mutex);
                s.paths.insert(run->paths[worker->item]);
            }
            run->stalledItems.push_back(worker->item);
            ++run->settled;
            if (run->next < count)
                startWorker(run);
        }
        std::erase_if(run->workers, [](const auto& w) { return w->givenUp; });
    }
    std::sort(run->stalledItems.begin(), run->stalledItems.end());
    return run->stalledItems;
}

} // namespace detail
} // namespace kalvix::ical

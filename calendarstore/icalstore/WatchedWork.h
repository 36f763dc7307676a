#pragma once
// Work on the file system that one hung path cannot hold back.
//
// A read on a network or FUSE file system can block for ever, and nothing interrupts it. So the work
// of a load runs on workers that say when they wait on the file system (an IoScope) and when such a
// wait moves on (ioProgress). A worker that waits without progress for longer than the patience is
// given up: its item is reported as stalled, a new worker takes its place, and the run ends without
// it. The given-up worker finishes on its own, whenever its path answers; until then the path is
// remembered as stalled, and later runs report items on it as stalled at once, so that a path that
// stays hung holds one thread, not one per load. Parsing takes as long as it takes: only waits on
// the file system count.
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace kalvix::ical {

// Marks the calling thread as waiting on the file system for `path`, for as long as it lives. Outside
// a watched run it only calls the test hook.
class IoScope {
public:
    explicit IoScope(const QString& path);
    ~IoScope();
    IoScope(const IoScope&) = delete;
    IoScope& operator=(const IoScope&) = delete;

private:
    bool m_outer;
};

// A wait on the file system moved on (a chunk read, a folder entry listed).
void ioProgress();

// Whether the run this thread works for has given it up: its result will be dropped, and what the
// run's caller owned may be gone, so the work stops at once.
bool workGivenUp();

// Paths given up and not answered yet; the count goes up each time one of them answers.
bool isStalled(const QString& path);
unsigned stalledAnswers();

// Called with the path at the start of every IoScope: tests make a path hang with it.
void setIoHookForTesting(std::function<void(const QString& path)> hook);

template <typename R> struct WatchedResults {
    std::vector<std::optional<R>> results; // nothing for a stalled item
    std::vector<std::size_t> stalled;      // in item order
};

namespace detail {
// The untyped run: `work(i)` does the item's work and returns how to keep its result, which the run
// calls only while the item has not been given up; `paths[i]` names what item i waits on.
std::vector<std::size_t> runWatched(std::vector<QString> paths,
                                    std::function<std::function<void()>(std::size_t)> work,
                                    std::chrono::milliseconds patience);
} // namespace detail

// Runs work(i) for each of `paths` on as many workers as the machine has cores. `work` is kept by
// the workers and may outlive the call: it must own what it uses.
template <typename R>
WatchedResults<R>
runWatched(std::vector<QString> paths, std::function<R(std::size_t)> work, std::chrono::milliseconds patience)
{
    auto results = std::make_shared<std::vector<std::optional<R>>>(paths.size());
    WatchedResults<R> out;
    out.stalled = detail::runWatched(
        std::move(paths),
        [results, work = std::move(work)](std::size_t i) -> std::function<void()> {
            return [results, i, value = std::make_shared<R>(work(i))] { (*results)[i] = std::move(*value); };
        },
        patience);
    // Every item is kept or given up by now, and a given-up one is never kept.
    out.results = std::move(*results);
    return out;
}

} // namespace kalvix::ical

#pragma once
// Runs work(0) .. work(count - 1) on as many threads as the machine has cores (the caller's among
// them), each index exactly once, and returns when all are done.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace kalvix {

// The machine's cores, asked once: glibc reads a file of /sys at every asking.
inline std::size_t coreCount()
{
    static const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

template <typename F> void parallelFor(std::size_t count, F&& work)
{
    if (count == 1) {
        work(std::size_t{0});
        return;
    }
    const std::size_t threads = std::min(count, coreCount());
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(run);
    run();
    for (auto& t : pool)
        t.join();
}

} // namespace kalvix

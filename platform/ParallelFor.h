#pragma once
// Runs work(0) .. work(count - 1) on as many threads as the machine has cores (the caller's among
// them), each index exactly once, and returns when all are done.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace kalvix {

template <typename F> void parallelFor(std::size_t count, F&& work)
{
    const std::size_t threads = std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
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

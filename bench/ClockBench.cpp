// Cost of the clock's one-second tick: the steady case (same format, title unchanged or changed) and
// the case where a preference change forces the formatter to be rebuilt.
#include "clock/ClockModel.h"
#include "prefs/Prefs.h"
#include "tests/support/FakeTimeSource.h"
#include "tests/support/MemoryPreferencesStore.h"

#include <benchmark/benchmark.h>

using namespace kalvix;

static void BM_SteadyTick(benchmark::State& state)
{
    test::MemoryPreferencesStore prefs;
    test::FakeTimeSource time(Instant{1783256709.0});
    ClockModel clock(prefs, time, ClockModel::Timer::none);
    for (auto _ : state) {
        time.advance(1.0);
        clock.tick();
        benchmark::DoNotOptimize(clock.menuBarTitle());
    }
}
BENCHMARK(BM_SteadyTick);

static void BM_TickWithFormatRebuild(benchmark::State& state)
{
    test::MemoryPreferencesStore prefs;
    test::FakeTimeSource time(Instant{1783256709.0});
    ClockModel clock(prefs, time, ClockModel::Timer::none);
    bool seconds = false;
    for (auto _ : state) {
        seconds = !seconds;
        prefs.set(Pref::showSeconds, seconds);
        time.advance(1.0);
        clock.tick();
        benchmark::DoNotOptimize(clock.menuBarTitle());
    }
}
BENCHMARK(BM_TickWithFormatRebuild);

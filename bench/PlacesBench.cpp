// Per-call cost of what the popover recomputes on every one-second repaint: the footer's sun times,
// each countdown row's day count and the world-clock row's cities; and of what a keystroke in a
// countdown title costs (encode the whole list) and what loading a large stored list costs.
#include "clock/Cities.h"
#include "clock/Solar.h"
#include "clock/WorldClockStore.h"
#include "countdowns/CountdownJson.h"
#include "countdowns/DaysUntilLabel.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "time/CivilCalendar.h"

#include <benchmark/benchmark.h>

using namespace kalvix;

namespace {

// 2026-07-05 13:05:09 UTC.
constexpr double kNow = 1783256709.0;

QList<Countdown> countdowns(int n)
{
    QList<Countdown> items;
    for (int i = 0; i < n; ++i)
        items.append(Countdown::create(QStringLiteral("Countdown number %1").arg(i), Instant{kNow + i * 86400.0}));
    return items;
}

} // namespace

static void BM_SunTimes(benchmark::State& state)
{
    const City city = *Cities::named(QStringLiteral("London"));
    double t = kNow;
    for (auto _ : state) {
        t += 1.0;
        benchmark::DoNotOptimize(Solar::sunTimes(Instant{t}, city));
    }
}
BENCHMARK(BM_SunTimes);

static void BM_SunTimesUnknownZone(benchmark::State& state)
{
    City city = *Cities::named(QStringLiteral("Tokyo"));
    city.timeZoneID = QStringLiteral("Mars/Olympus_Mons");
    double t = kNow;
    for (auto _ : state) {
        t += 1.0;
        benchmark::DoNotOptimize(Solar::sunTimes(Instant{t}, city));
    }
}
BENCHMARK(BM_SunTimesUnknownZone);

static void BM_DaysUntilLabel(benchmark::State& state)
{
    const Instant date{kNow + 12 * 86400.0};
    double t = kNow;
    for (auto _ : state) {
        t += 1.0;
        benchmark::DoNotOptimize(daysUntilLabel(date, Instant{t}));
    }
}
BENCHMARK(BM_DaysUntilLabel);

static void BM_DaysUntilLabelGivenCalendar(benchmark::State& state)
{
    const Instant date{kNow + 12 * 86400.0};
    const CivilCalendar calendar = CivilCalendar::current();
    double t = kNow;
    for (auto _ : state) {
        t += 1.0;
        benchmark::DoNotOptimize(daysUntilLabel(date, Instant{t}, calendar));
    }
}
BENCHMARK(BM_DaysUntilLabelGivenCalendar);

static void BM_WorldClockCitiesOfSix(benchmark::State& state)
{
    test::MemoryPreferencesStore prefs;
    WorldClockStore store(prefs);
    store.setCityNames({QStringLiteral("London"),
                        QStringLiteral("New York"),
                        QStringLiteral("Dubai"),
                        QStringLiteral("Tokyo"),
                        QString::fromUtf8("S\xC3\xA3o Paulo"),
                        QStringLiteral("Zurich")});
    for (auto _ : state)
        benchmark::DoNotOptimize(store.cities());
}
BENCHMARK(BM_WorldClockCitiesOfSix);

static void BM_EncodeCountdowns(benchmark::State& state)
{
    const QList<Countdown> items = countdowns(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(CountdownJson::encode(items));
}
BENCHMARK(BM_EncodeCountdowns)->Arg(20);

static void BM_DecodeCountdowns(benchmark::State& state)
{
    const QByteArray bytes = *CountdownJson::encode(countdowns(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(CountdownJson::decode(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeCountdowns)->Arg(20)->Arg(100000)->Unit(benchmark::kMicrosecond);

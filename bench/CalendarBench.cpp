// Load time, memory and refresh cost of the iCalendar store on a generated corpus, against libical's
// own parse of the same bytes. Run with --write-corpus DIR to only write the corpus (for khal).
#include "bench/CalendarCorpus.h"
#include "calendar/MonthDots.h"
#include "calendar/UpcomingEvents.h"
#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "time/TimeSource.h"

#include <benchmark/benchmark.h>
#include <libical/ical.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace kalvix;

namespace {

// The corpus dates lie in 2024-2027; "now" is fixed inside them.
class FixedTime final : public TimeSource {
public:
    Instant now() const override { return Instant{1741176000.0}; } // 2025-03-05 12:00 UTC
};
const FixedTime kTime;

bench::CorpusPaths& corpus()
{
    static QTemporaryDir dir;
    static bench::CorpusPaths paths = bench::writeCalendarCorpus(dir.path());
    return paths;
}

long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}

std::unique_ptr<IcalCalendarStore> loaded(const QString& source)
{
    IcalCalendarStore::Options options;
    options.time = &kTime;
    auto store = std::make_unique<IcalCalendarStore>(QStringList{source}, options);
    store->loadNow();
    return store;
}

void BM_LibicalParseBigFile(benchmark::State& state)
{
    QFile f(corpus().bigFile);
    f.open(QIODevice::ReadOnly);
    const QByteArray text = f.readAll();
    for (auto _ : state) {
        icalcomponent* root = icalparser_parse_string(text.constData());
        benchmark::DoNotOptimize(root);
        icalcomponent_free(root);
    }
    state.counters["MB"] = double(text.size()) / 1e6;
}

void BM_LoadBigFile(benchmark::State& state)
{
    for (auto _ : state) {
        auto store = loaded(corpus().bigFile);
        benchmark::DoNotOptimize(store.get());
    }
}

void BM_LoadVdir(benchmark::State& state)
{
    for (auto _ : state) {
        auto store = loaded(corpus().vdir);
        benchmark::DoNotOptimize(store.get());
    }
}

void BM_RefreshUpcoming(benchmark::State& state)
{
    static auto store = loaded(corpus().bigFile);
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    std::size_t events = 0;
    for (auto _ : state) {
        auto lists = UpcomingEvents::compute(*store, kTime.now(), calendar);
        events = std::size_t(lists.upNext.size());
        benchmark::DoNotOptimize(lists);
    }
    state.counters["window_occurrences"] = double(store->occurrences(kTime.now(), kTime.now() + 14 * 86400.0).size());
    state.counters["upNext"] = double(events);
}

void BM_RefreshMonthDots(benchmark::State& state)
{
    static auto store = loaded(corpus().bigFile);
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    for (auto _ : state) {
        auto dots = MonthDots::compute(*store, kTime.now(), calendar);
        benchmark::DoNotOptimize(dots);
    }
    const auto w = MonthDots::window(kTime.now(), calendar);
    state.counters["window_occurrences"] = double(store->occurrences(w->start, w->end).size());
}

void BM_RefreshMonthDotsFarAheadFirst(benchmark::State& state)
{
    // Five years on, outside the load window: the first visit expands the months it needs.
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    for (auto _ : state) {
        state.PauseTiming();
        auto store = loaded(corpus().bigFile);
        state.ResumeTiming();
        auto dots = MonthDots::compute(*store, kTime.now() + 5 * 365 * 86400.0, calendar);
        benchmark::DoNotOptimize(dots);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}

void BM_RefreshMonthDotsFarAheadAgain(benchmark::State& state)
{
    // The same month again: its expanded months are kept.
    static auto store = loaded(corpus().bigFile);
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    const Instant when = kTime.now() + 5 * 365 * 86400.0;
    MonthDots::compute(*store, when, calendar);
    for (auto _ : state) {
        auto dots = MonthDots::compute(*store, when, calendar);
        benchmark::DoNotOptimize(dots);
    }
    const auto w = MonthDots::window(when, calendar);
    state.counters["window_occurrences"] = double(store->occurrences(w->start, w->end).size());
}

// Tasks the store hands off, run on another thread when the bench says: as the store's worker would
// run them while the user looks at the month.
struct Worker {
    std::vector<std::function<void()>> tasks;
    void runAll()
    {
        std::thread thread([this] {
            for (std::size_t i = 0; i < tasks.size(); ++i)
                tasks[i]();
        });
        thread.join();
        tasks.clear();
    }
};

std::unique_ptr<IcalCalendarStore> loadedWith(const QString& source, Worker& worker)
{
    IcalCalendarStore::Options options;
    options.time = &kTime;
    options.executor = [&worker](std::function<void()> task) { worker.tasks.push_back(std::move(task)); };
    auto store = std::make_unique<IcalCalendarStore>(QStringList{source}, options);
    store->loadNow();
    return store;
}

// A click on the month grid's arrow a year ahead: the month dots of the next month, on the main
// thread. `ahead`: the months next to the shown one were expanded by the worker before the click.
void monthChange(benchmark::State& state, bool ahead)
{
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    Worker worker;
    Instant shown = kTime.now() + 365 * 86400.0;
    auto store = loadedWith(corpus().bigFile, worker);
    MonthDots::compute(*store, shown, calendar);
    for (auto _ : state) {
        state.PauseTiming();
        if (ahead)
            worker.runAll();
        else
            worker.tasks.clear();
        shown = *calendar.addMonths(shown, 1);
        state.ResumeTiming();
        auto dots = MonthDots::compute(*store, shown, calendar);
        benchmark::DoNotOptimize(dots);
    }
}

void BM_MonthChangeFirstVisitNothingAhead(benchmark::State& state)
{
    monthChange(state, false);
}

void BM_MonthChangeFirstVisit(benchmark::State& state)
{
    monthChange(state, true);
}

// A calendar of the desktop's calendar service as the feed hands it over: 10,000 events, one every 53
// minutes over a year around now, in one text.
class ServiceCalendar final : public CalendarFeed {
public:
    ServiceCalendar()
    {
        QByteArray text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix bench//EN\r\n";
        const QDateTime first =
            QDateTime::fromSecsSinceEpoch(qint64(kTime.now().seconds), QTimeZone::utc()).addDays(-182);
        for (int i = 0; i < 10000; ++i) {
            const QDateTime at = first.addSecs(qint64(i) * 53 * 60);
            text += "BEGIN:VEVENT\r\nUID:bench-" + QByteArray::number(i) + "\r\nSUMMARY:Event " +
                    QByteArray::number(i) +
                    "\r\nDTSTART:" + at.toString(QStringLiteral("yyyyMMddThhmmssZ")).toLatin1() +
                    "\r\nDTEND:" + at.addSecs(1800).toString(QStringLiteral("yyyyMMddThhmmssZ")).toLatin1() +
                    "\r\nEND:VEVENT\r\n";
        }
        text += "END:VCALENDAR\r\n";
        m_calendar.id = QStringLiteral("eds:bench");
        m_calendar.name = QStringLiteral("Bench");
        m_calendar.revision = 1;
        m_calendar.text = std::make_shared<const QByteArray>(text);
    }
    bool ready() const override { return true; }
    std::vector<FeedCalendar> calendars() const override { return {m_calendar}; }
    QStringList servedFiles() const override { return {}; }

private:
    FeedCalendar m_calendar;
};

// A click on the month grid's arrow over the service's calendar: the month after the one shown, each
// seen for the first time.
void BM_MonthChangeServiceCalendar(benchmark::State& state)
{
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    ServiceCalendar feed;
    IcalCalendarStore::Options options;
    options.time = &kTime;
    options.feed = &feed;
    options.expandAhead = false;
    IcalCalendarStore store(QStringList{}, options);
    store.loadNow();
    Instant shown = kTime.now() - 150 * 86400.0;
    std::size_t dots = 0;
    for (auto _ : state) {
        shown = *calendar.addMonths(shown, 1);
        auto computed = MonthDots::compute(store, shown, calendar);
        dots = computed ? std::size_t(computed->size()) : 0;
        benchmark::DoNotOptimize(computed);
    }
    state.counters["days_with_dots"] = double(dots);
}

void BM_MonthChangeAgain(benchmark::State& state)
{
    // Back and forth between two months seen before.
    const CivilCalendar calendar(QTimeZone("Europe/London"));
    Worker worker;
    const Instant first = kTime.now() + 365 * 86400.0;
    const Instant second = *calendar.addMonths(first, 1);
    auto store = loadedWith(corpus().bigFile, worker);
    MonthDots::compute(*store, first, calendar);
    MonthDots::compute(*store, second, calendar);
    bool onFirst = false;
    for (auto _ : state) {
        onFirst = !onFirst;
        auto dots = MonthDots::compute(*store, onFirst ? first : second, calendar);
        benchmark::DoNotOptimize(dots);
    }
    worker.tasks.clear();
}

} // namespace

BENCHMARK(BM_LibicalParseBigFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadBigFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadVdir)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RefreshUpcoming)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshMonthDots)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshMonthDotsFarAheadFirst)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RefreshMonthDotsFarAheadAgain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MonthChangeFirstVisitNothingAhead)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_MonthChangeFirstVisit)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_MonthChangeAgain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthChangeServiceCalendar)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("TZ", "Europe/London");
    if (argc == 3 && std::strcmp(argv[1], "--write-corpus") == 0) {
        bench::writeCalendarCorpus(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) {
        // In a process of its own: resident memory after loading one source, and the peak on the way.
        auto store = loaded(QString::fromLocal8Bit(argv[2]));
        std::printf("source %s: %lld events, rss %.1f MB, peak %.1f MB\n",
                    argv[2],
                    static_cast<long long>(store->calendars().value(0).events),
                    double(statusKb("VmRSS:")) / 1024.0,
                    double(statusKb("VmHWM:")) / 1024.0);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Cost of reading the system zone and locale, which the clock does at every tick: TZ naming a zone,
// /etc/localtime as a link and as a copied file (kept by the file's identity after the first reading),
// and the one-off identification of a copied file by its bytes.
#include "time/CivilCalendar.h"
#include "time/SystemZone.h"
#include "time/ZoneFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace kalvix;

namespace {

// TZ unset for one benchmark, as on a desktop that sets no TZ; put back for the others.
class NoTz {
public:
    NoTz()
        : m_old(std::getenv("TZ") ? std::getenv("TZ") : "")
    {
        ::unsetenv("TZ");
    }
    ~NoTz() { ::setenv("TZ", m_old.c_str(), 1); }
    NoTz(const NoTz&) = delete;
    NoTz& operator=(const NoTz&) = delete;

private:
    std::string m_old;
};

QByteArray copyOfZone(const QTemporaryDir& dir, const char* zone, const char* name)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile::remove(path);
    QFile::copy(zoneinfoRoot() + u'/' + QLatin1String(zone), path);
    return path.toLocal8Bit();
}

} // namespace

static void BM_SystemZoneFromTz(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(systemZone());
}
BENCHMARK(BM_SystemZoneFromTz);

static void BM_SystemZoneLinkedLocaltime(benchmark::State& state)
{
    NoTz noTz;
    QTemporaryDir dir;
    const QByteArray link = dir.filePath(QStringLiteral("localtime")).toLocal8Bit();
    if (::symlink("/usr/share/zoneinfo/Europe/London", link.constData()) != 0)
        state.SkipWithError("cannot make the link");
    for (auto _ : state)
        benchmark::DoNotOptimize(systemZone(link.constData(), "/nonexistent"));
}
BENCHMARK(BM_SystemZoneLinkedLocaltime);

static void BM_SystemZoneCopiedLocaltime(benchmark::State& state)
{
    NoTz noTz;
    QTemporaryDir dir;
    const QByteArray copy = copyOfZone(dir, "Europe/London", "localtime");
    systemZone(copy.constData(), "/nonexistent"); // the first reading identifies the file
    for (auto _ : state)
        benchmark::DoNotOptimize(systemZone(copy.constData(), "/nonexistent"));
}
BENCHMARK(BM_SystemZoneCopiedLocaltime);

static void BM_SystemZoneTzNamingACopiedFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray copy = copyOfZone(dir, "Australia/Sydney", "zone");
    const std::string old = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::setenv("TZ", copy.constData(), 1);
    systemZone();
    for (auto _ : state)
        benchmark::DoNotOptimize(systemZone());
    ::setenv("TZ", old.c_str(), 1);
}
BENCHMARK(BM_SystemZoneTzNamingACopiedFile);

// The one-off cost when the file changes: the zoneinfo tree searched for the same bytes.
static void BM_IdentifyACopiedFile(benchmark::State& state)
{
    QTemporaryDir dir;
    bool tokyo = false;
    for (auto _ : state) {
        state.PauseTiming();
        tokyo = !tokyo;
        const QByteArray copy = copyOfZone(dir, tokyo ? "Asia/Tokyo" : "Europe/Paris", "localtime");
        state.ResumeTiming();
        benchmark::DoNotOptimize(zoneNameOfFile(copy));
    }
}
BENCHMARK(BM_IdentifyACopiedFile)->Unit(benchmark::kMillisecond);

static void BM_CurrentLocaleId(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(currentLocaleId());
}
BENCHMARK(BM_CurrentLocaleId);

// What a label pays per call: the system zone, its shared transition table and one day conversion.
static void BM_CurrentCalendarDayOf(benchmark::State& state)
{
    const Instant t{1783256709.0};
    for (auto _ : state)
        benchmark::DoNotOptimize(CivilCalendar::current().startOfDay(t));
}
BENCHMARK(BM_CurrentCalendarDayOf);

// The entry of the micro-benchmarks: zone and locale pinned, so figures compare across machines.
#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::setenv("TZ", "Europe/London", 1);
    ::setenv("LC_ALL", "en_GB.UTF-8", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

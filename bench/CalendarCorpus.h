#pragma once
// A generated calendar corpus for the benchmarks: about 50,000 events between 2024 and 2027, a tenth of
// them recurring (weekly, daily with COUNT, monthly, yearly all-day), in Europe/London, New York, UTC
// and floating time, written as one large .ics file and as a vdir of one event per file.
#include <QString>

namespace kalvix::bench {

struct CorpusPaths {
    QString bigFile;
    QString vdir;
};

CorpusPaths writeCalendarCorpus(const QString& folder, int events = 50000);

} // namespace kalvix::bench

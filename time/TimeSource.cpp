#include "time/TimeSource.h"

#include <ctime>

namespace kalvix {
namespace {

class SystemTimeSource final : public TimeSource {
public:
    Instant now() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return Instant{static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9};
    }
};

} // namespace

const TimeSource& TimeSource::system()
{
    static const SystemTimeSource source;
    return source;
}

} // namespace kalvix

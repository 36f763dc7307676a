#pragma once
// Where "now" comes from. Models take a TimeSource instead of asking the system, so tests can pin time.
#include "time/Instant.h"

namespace kalvix {

class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual Instant now() const = 0;

    // The real wall clock (CLOCK_REALTIME). Process-wide, never destroyed.
    static const TimeSource& system();
};

} // namespace kalvix

#pragma once
// A clock that only moves when the test moves it.
#include "time/TimeSource.h"

namespace kalvix::test {

class FakeTimeSource final : public TimeSource {
public:
    explicit FakeTimeSource(Instant start = Instant{0})
        : m_now(start)
    {
    }
    Instant now() const override { return m_now; }
    void set(Instant t) { m_now = t; }
    void advance(double seconds) { m_now = m_now + seconds; }

private:
    Instant m_now;
};

} // namespace kalvix::test

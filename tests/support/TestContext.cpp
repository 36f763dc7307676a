#include "tests/support/TestContext.h"

namespace kalvix::test {

TestContext::TestContext(Instant now, CalendarAccess access)
    : time(now)
    , store(access)
    , clock(prefs, time, ClockModel::Timer::none)
    , calendar(store, time)
    , worldClocks(prefs)
    , countdowns(prefs)
    , m_context{prefs, time, clock, calendar, worldClocks, countdowns, settingsState, loginItems, actions}
{
}

TestContext::~TestContext() = default;

void TestContext::setNow(Instant now)
{
    time.set(now);
    clock.tick();
}

void TestContext::advance(double seconds)
{
    setNow(time.now() + seconds);
}

} // namespace kalvix::test

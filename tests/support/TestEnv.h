#pragma once
// Pins an environment variable for one scope (zone and locale are read from the environment at
// every computation, so tests change them freely and put them back).
#include "tests/support/QtPrinters.h"

#include <QByteArray>

#include <cstdlib>
#include <optional>
#include <string>

namespace kalvix::test {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = std::string(old);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Instant of a UTC wall-clock time, for readable test rows.
double utcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

} // namespace kalvix::test

#pragma once
// The user's time zone and locale, read afresh at every call so that a change of TZ, of /etc/localtime
// or of the locale variables shows without a restart.
//
// Zone rules always come from the system tz database through QTimeZone; ICU's bundled copy is stale.
#include <QByteArray>
#include <QString>
#include <QTimeZone>

namespace kalvix::platform {

// The zone named by $TZ (":" prefix and zoneinfo paths allowed), else the target of /etc/localtime,
// else /etc/timezone, else UTC. A $TZ that names no known zone falls back to /etc/localtime.
QTimeZone systemZone();

// As systemZone(), with the machine's zone read from `localtimePath` (a link into a zoneinfo tree).
QTimeZone systemZone(const char* localtimePath);

// The named tz-database zone, or systemZone() when the name is unknown (never ICU's "Etc/Unknown").
QTimeZone zoneOrSystem(const QByteArray& ianaId);

// The locale identifier for dates ("en_GB"), from LC_ALL, then LC_TIME, then LANG; "C" and "POSIX" map
// to "en_US_POSIX". Encoding and modifier suffixes are dropped.
QString currentLocaleId();

} // namespace kalvix::platform

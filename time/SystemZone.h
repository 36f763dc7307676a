#pragma once
// The user's time zone and locale, read afresh at every call so that a change of TZ, of /etc/localtime
// or of the locale variables shows without a restart.
//
// Zone rules always come from the system tz database through QTimeZone; ICU's bundled copy is stale.
#include <QByteArray>
#include <QString>
#include <QTimeZone>

namespace kalvix {

// The zone named by $TZ, else the zone of /etc/localtime, else UTC. $TZ may be a zone name or POSIX rule
// with or without a ":" prefix, or the path of a zone file; /etc/localtime may be a link into a zoneinfo
// tree or a copied zone file, named by its bytes (see ZoneFile.h) with /etc/timezone as the hint. A $TZ
// that names no zone falls back to /etc/localtime; an empty $TZ means UTC, as it does to the C library.
QTimeZone systemZone();

// As systemZone(), with the machine's zone read from `localtimePath` and its hint from `timezonePath`.
QTimeZone systemZone(const char* localtimePath, const char* timezonePath = "/etc/timezone");

// The named tz-database zone, or systemZone() when the name is unknown (never ICU's "Etc/Unknown").
QTimeZone zoneOrSystem(const QByteArray& ianaId);

// The ICU locale identifier for dates ("en_GB", "sr_Latn_RS"), from the first of LC_ALL, LC_TIME and
// LANG that is set and not empty, mapped as LocaleName.h describes; "en_US_POSIX" when none is set or
// the name is unusable.
QString currentLocaleId();

} // namespace kalvix

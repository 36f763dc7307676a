#pragma once
// The tz-database name of a zone file that is not a link into a zoneinfo tree: /etc/localtime copied in
// place (containers, some distributions), or TZ naming a file of its own.
//
// The name is that of the zone whose file in the system zoneinfo tree has the same bytes: the canonical
// zone where several names share them (Europe/London rather than GB or Europe/Jersey), or the hint when
// the hint is one of them. A file that matches none but ends in a POSIX rule (TZif version 2 and later)
// is named by that rule ("CET-1CEST,M3.5.0,M10.5.0/3"), which QTimeZone takes as a zone: its current
// rules are right, only its history is lost. Anything else has no name.
//
// Only regular files are read, and at most a small size. The answer is kept per path and file identity
// (device, inode, size, modification and change times), so that asking again, as the clock does every
// second, costs one stat() and no reading.
#include <QByteArray>
#include <QString>

namespace kalvix {

// The name of the zone in the file at `path`, or an empty text. `hintPath` names a file whose first line
// is a zone name to try first (Debian's /etc/timezone); it is read only when the file is not yet known.
QByteArray zoneNameOfFile(const QByteArray& path, const char* hintPath = nullptr);

// The system zoneinfo tree: the first of /usr/share/zoneinfo, /usr/lib/zoneinfo, /usr/share/lib/zoneinfo
// that exists (where QTimeZone reads zones).
QString zoneinfoRoot();

} // namespace kalvix

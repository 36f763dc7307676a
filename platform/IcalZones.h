#pragma once
// Zones for reading iCalendar data: TZIDs resolved to tz-database zones or to the file's own
// VTIMEZONEs, and fast conversion between wall-clock times and instants.
//
// Wall-clock times are handled as "wall seconds": the seconds since 1970-01-01 00:00 of the same wall
// clock, as if it were UTC. Gaps and overlaps follow CivilCalendar: a time in a gap moves forward by the
// gap's length, a time in an overlap takes the earlier instant.
#include "platform/IcalRecords.h"

#include <libical/ical.h>

#include <QByteArray>
#include <QHash>
#include <QTimeZone>

#include <map>
#include <memory>
#include <optional>

namespace kalvix::ical {

qint64 daysFromCivil(qint64 y, unsigned m, unsigned d);
// Wall-clock time written as if it were UTC: seconds since 1970-01-01 00:00 of the same wall clock.
qint64 wallSeconds(const WallTime& w);
WallTime fromWallSeconds(qint64 s);
CivilDate addDays(CivilDate date, int days);

// The tz-database name a TZID stands for, when the system knows it.
std::optional<QByteArray> systemZoneName(const QByteArray& tzid);

class ZoneTable;

struct ZoneDeleter {
    void operator()(icaltimezone* z) const { icaltimezone_free(z, 1); }
};

// Resolves TZIDs and converts between wall-clock times and instants for one reading or expansion.
// Owns the libical zones it builds from the file's VTIMEZONEs; not shared between threads.
class ZoneContext {
public:
    ZoneContext(const QHash<QByteArray, QByteArray>& zones, const QTimeZone& floating);

    ZoneRef resolve(const char* tzid);
    double toInstant(const WallTime& w, const ZoneRef& zone);
    WallTime toWall(double instant, const ZoneRef& zone);
    // Dates and floating times are read in the floating zone.
    double dayStart(CivilDate date);
    CivilDate floatingDate(double instant);

private:
    const ZoneTable& table(const QByteArray& id);
    icaltimezone* embedded(const QByteArray& tzid);

    const QHash<QByteArray, QByteArray>& m_zones;
    const ZoneTable& m_floating;
    std::map<QByteArray, const ZoneTable*> m_named;
    std::map<QByteArray, std::unique_ptr<icaltimezone, ZoneDeleter>> m_embedded;
};

} // namespace kalvix::ical

#pragma once
// Zones for reading iCalendar data: TZIDs resolved to tz-database zones or to the file's own
// VTIMEZONEs, and fast conversion between wall-clock times and instants for any year.
//
// Wall-clock times are "wall seconds" (see time/CivilDays.h). Gaps and overlaps follow CivilCalendar: a
// time in a gap moves forward by the gap's length, a time in an overlap takes the earlier instant.
#include "calendarstore/ical/IcalRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QTimeZone>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kalvix::ical {

// A zone's offsets as a table of transitions. Past its last explicit transition a zone either keeps
// its last offset or, when its rules go on for ever (the tz database's closing rule, a VTIMEZONE's
// open yearly RRULEs), repeats itself every 400 Gregorian years, which the table uses to answer for
// any year. Immutable, so shared between threads.
class ZoneTable {
public:
    struct Transition {
        qint64 atUtc = 0;
        int before = 0; // offsets east of UTC, in seconds
        int after = 0;
    };

    // `cycleStart`, when given: from there on the offsets repeat every 400 years, and `transitions`
    // reach at least 401 years past it. `partial`: made from a VTIMEZONE some of whose observances
    // could not be read.
    ZoneTable(int initialOffset,
              std::vector<Transition> transitions,
              std::optional<qint64> cycleStart,
              bool partial = false);

    // A tz-database zone from the system's database; built once per process.
    static std::shared_ptr<const ZoneTable> system(const QTimeZone& zone);
    // The zone a VTIMEZONE's lines describe (its content between BEGIN and END); nothing when it has
    // no observance with offsets. Built once per distinct text.
    static std::shared_ptr<const ZoneTable> fromVTimezone(QByteArrayView lines);

    qint64 toInstant(qint64 wall) const;
    qint64 toWall(qint64 instant) const;
    bool partial() const { return m_partial; }

private:
    struct Entry {
        Transition transition;
        qint64 wallThreshold = 0; // wall times from here on map with `after`
    };
    // Moves a time past the explicit table back into it by whole cycles; returns the seconds moved.
    qint64 cyclesBack(qint64& seconds) const;

    int m_initial = 0;
    std::vector<Entry> m_entries;
    std::optional<qint64> m_cycleStart;
    bool m_partial = false;
};

// The VTIMEZONEs of one file by TZID, each turned into a table when first asked for. Thread-safe.
class ZoneSet {
public:
    // Keeps the first zone of each TZID, and at most kMaxZones of them; false when it is past them.
    bool add(const QByteArray& tzid, QByteArray lines);
    bool contains(const QByteArray& tzid) const { return m_lines.contains(tzid); }
    std::shared_ptr<const ZoneTable> table(const QByteArray& tzid) const;
    // Of the zones asked for so far, those that could not be read, or not whole.
    int unreadable() const;

    static constexpr int kMaxZones = 100;

private:
    QHash<QByteArray, QByteArray> m_lines;
    mutable std::mutex m_mutex;
    mutable QHash<QByteArray, std::shared_ptr<const ZoneTable>> m_tables;
};

// The tz-database name a TZID stands for, when the system knows it (also behind a vendor prefix such
// as "/mozilla.org/.../Europe/London", or as a Windows zone name).
std::optional<QByteArray> systemZoneName(const QByteArray& tzid);

// Resolves TZIDs and converts between wall-clock times and instants for one reading or expansion.
// Not shared between threads; the tables it holds are.
class ZoneContext {
public:
    ZoneContext(const ZoneSet* zones, const QTimeZone& floating);

    ZoneRef resolve(QByteArrayView tzid);
    double toInstant(const WallTime& w, const ZoneRef& zone);
    WallTime toWall(double instant, const ZoneRef& zone);
    // Dates and floating times are read in the floating zone.
    double dayStart(CivilDate date);
    CivilDate floatingDate(double instant);

private:
    const ZoneTable* table(const ZoneRef& zone);

    const ZoneSet* m_zones;
    std::shared_ptr<const ZoneTable> m_floating;
    std::map<QByteArray, std::shared_ptr<const ZoneTable>> m_cache;
};

} // namespace kalvix::ical

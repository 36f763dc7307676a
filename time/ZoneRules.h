#pragma once
// One zone's offsets from the system tz database, as a table of its transitions, and the exact mapping of
// wall-clock times to instants that civil arithmetic is built on.
//
// The table holds the instants from 1900 to 2200 and answers by binary search; outside it every answer is
// asked of QTimeZone directly, so any year the database covers (its closing POSIX rule reaches year 9999)
// is answered the same way, only more slowly.
//
// QTimeZone's range queries are not taken as they are: in Qt 6.4, transitions(from, to) leaves out every
// transition of the zone's closing POSIX rule when the range starts before the last transition its file
// lists (October 2037 in most zones), and nextTransition() from exactly that last transition finds none.
// The table walks nextTransition() and steps over that point.
#include <QTimeZone>

#include <memory>
#include <vector>

namespace kalvix {

struct ZoneTransition {
    qint64 at;  // UTC seconds of the first instant with the new offset
    int before; // seconds east of UTC until `at`
    int after;  // seconds east of UTC from `at` on
};

class ZoneRules {
public:
    explicit ZoneRules(const QTimeZone& zone);

    // The rules of `zone`, built once and shared by every later call for the same zone (thread-safe).
    static std::shared_ptr<const ZoneRules> of(const QTimeZone& zone);

    // Seconds east of UTC in force at the UTC second `utc`.
    int offsetAt(qint64 utc) const;

    // Where a wall-clock time (seconds since 1970-01-01 00:00 on the zone's clock) lies in UTC.
    struct Mapping {
        // The earlier of the instants that show the wall time (two in an overlap). In a gap, where no
        // instant shows it, the wall time counted with the offset in force before the gap: it lands as
        // far past the gap's end as it lies past the gap's start.
        qint64 instant;
        // The first instant whose wall time is at or after the given one: `instant` where the wall time
        // exists, the end of the gap where it does not.
        qint64 firstAtOrAfter;
        bool exists;
    };
    Mapping map(qint64 wall) const;

    // The changes of offset with from < at < to, in order (a change of name or DST flag alone is none).
    std::vector<ZoneTransition> transitions(qint64 from, qint64 to) const;

private:
    static Mapping scan(qint64 wall, qint64 from, int initial, const ZoneTransition* begin, const ZoneTransition* end);
    std::vector<ZoneTransition> walk(qint64 from, qint64 to) const;
    bool inTable(qint64 from, qint64 to) const { return from >= m_tableFrom && to <= m_tableTo; }

    QTimeZone m_zone;
    qint64 m_tableFrom = 0;
    qint64 m_tableTo = 0;
    int m_initial = 0; // the offset at m_tableFrom
    std::vector<ZoneTransition> m_table;
};

} // namespace kalvix

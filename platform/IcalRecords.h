#pragma once
// The compact records that iCalendar text is read into: what the store's index keeps of each event,
// occurrence and recurring rule. No libical type appears here.
#include "platform/CalendarStore.h"
#include "platform/CivilCalendar.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace kalvix::ical {

inline constexpr int kMaxOccurrencesPerRule = 50000;
inline constexpr int kMaxIterationsPerRule = 100000;
inline constexpr double kUnknownLastStart = std::numeric_limits<double>::infinity();

struct EventInfo {
    std::optional<QString> title;
    std::optional<QString> uid;
    bool isAllDay = false;
};

// An occurrence as the index keeps it: start and end in seconds since the epoch and the event it
// belongs to (index into ParsedCalendar::events).
struct Occurrence {
    double start = 0;
    double end = 0;
    std::uint32_t event = 0;
    bool fromRule = false; // made by RRULE or RDATE, so an override may replace it
};

struct WallTime {
    CivilDate date;
    CivilTime time;
};

struct ZoneRef {
    enum class Kind : std::uint8_t { floating, utc, named, embedded };
    Kind kind = Kind::floating;
    QByteArray id; // tz-database id for named, the TZID text for embedded
};

// A recurring event kept so that it can be expanded again for any interval.
struct RecurringRule {
    std::uint32_t event = 0;
    bool isAllDay = false;
    WallTime start;
    ZoneRef zone;
    double durationSeconds = 0; // timed events
    int durationDays = 1;       // all-day events
    std::vector<QByteArray> rules;
    std::vector<double> extraStarts;      // RDATE, as instants
    std::vector<double> excludedStarts;   // EXDATE and overridden RECURRENCE-IDs, as instants
    std::vector<CivilDate> excludedDates; // EXDATE given as dates on a timed event
    // No occurrence starts before firstStart (DTSTART or an earlier RDATE) or after lastStart (known
    // when the load ran every RRULE to its end, else kUnknownLastStart).
    double firstStart = 0;
    double lastStart = kUnknownLastStart;
};

struct CalendarText {
    // Vertical-level calendar properties found in the text.
    QString name;                        // X-WR-CALNAME
    std::optional<CalendarColor> color;  // COLOR or X-APPLE-CALENDAR-COLOR
    QHash<QByteArray, QByteArray> zones; // TZID -> VTIMEZONE text
    std::vector<QByteArray> chunks;      // each a VCALENDAR holding some of the events
    int truncated = 0;                   // components cut off by the end of the text
};

struct ParsedCalendar {
    std::vector<EventInfo> events;
    std::vector<Occurrence> occurrences; // every single event; of the rules, those starting in the window
    std::vector<RecurringRule> rules;
    std::vector<std::pair<QString, double>> overrides; // UID and RECURRENCE-ID of each override
    int skipped = 0;                                   // components dropped as bad
};

struct ReadOptions {
    Interval window;    // recurring events are expanded over this interval
    QTimeZone floating; // zone of floating times and dates
    int chunkEvents = 400;
};

} // namespace kalvix::ical

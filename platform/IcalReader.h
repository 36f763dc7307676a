#pragma once
// Reading iCalendar text into compact records: the private half of IcalCalendarStore, also driven by
// the fuzz target and the benchmark. No libical type appears here; libical trees live only inside one
// call and are freed before it returns, so calls on different threads never share a tree.
//
// Times: a TZID is taken as a tz-database name when the system knows it (also behind a vendor prefix
// such as "/mozilla.org/.../Europe/London", or as a Windows zone name), else from the file's own
// VTIMEZONE, else as floating. Floating times and DATE values are read in the zone given to the
// reader (the system zone at load). Recurrences iterate in the event's wall-clock time, so a weekly
// 09:00 stays 09:00 across DST changes.
//
// Bad input is skipped per component: an event with a missing or impossible DTSTART, an unparseable
// rule, or a rule that would give more than kMaxOccurrencesPerRule occurrences in the window (or need
// more than kMaxIterationsPerRule steps) is dropped and counted; the rest of the file still reads.
#include "platform/CalendarStore.h"
#include "platform/CivilCalendar.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
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

// Splits text into calendar properties, embedded zones and chunks of top-level components.
CalendarText splitCalendarText(const QByteArray& text, int componentsPerChunk);
// Reads one chunk made by splitCalendarText.
ParsedCalendar
parseChunk(const QByteArray& chunk, const QHash<QByteArray, QByteArray>& zones, const ReadOptions& options);
// Appends `part`, shifting its event indices.
// Drops the rule occurrences that an override replaces and records the overrides in the rules, so
// later expansions honour them too.
void append(ParsedCalendar& into, ParsedCalendar&& part);
void applyOverrides(ParsedCalendar& calendar);
// Everything in one call: split, parse every chunk, append and apply overrides.
ParsedCalendar readCalendar(const QByteArray& text, const ReadOptions& options, CalendarText* header = nullptr);

// Occurrences of one rule overlapping [range.start, range.end), or nothing when the rule is bad.
std::optional<std::vector<Occurrence>> expandRule(const RecurringRule& rule,
                                                  const QHash<QByteArray, QByteArray>& zones,
                                                  Interval range,
                                                  const QTimeZone& floating);

// The longest an occurrence of the rule can be, in seconds (all-day ones may gain an hour at a DST change).
double lengthBound(const RecurringRule& rule);

// Appends to `out` the occurrences that start within [range.start, range.end) of the rules `which`
// (indices into `rules`, all of one file with its `zones`). Expanding adjacent ranges this way gives
// every occurrence exactly once. Rules that cannot be expanded add nothing. `lastStarts` (one per
// entry of `which`, at first each rule's lastStart) skips rules that are over before the range and
// learns where a rule ends when an expansion runs it to its end.
void expandRulesStartingIn(const std::vector<RecurringRule>& rules,
                           const std::vector<std::uint32_t>& which,
                           std::span<double> lastStarts,
                           const QHash<QByteArray, QByteArray>& zones,
                           Interval range,
                           const QTimeZone& floating,
                           std::vector<Occurrence>& out);

// libical's global settings (errors not fatal); called before any other use, idempotent.
void initialise();

} // namespace kalvix::ical

#pragma once
// The compact records that iCalendar text is read into: what the store's index keeps of each event,
// occurrence and recurring rule. No libical type appears here.
#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace kalvix::ical {

class ZoneSet;

inline constexpr int kMaxOccurrencesPerRule = 50000;
inline constexpr double kUnknownLastStart = std::numeric_limits<double>::infinity();

// Text kept in its calendar's pool of UTF-8 bytes.
struct TextRef {
    static constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t at = 0;
    std::uint32_t size = kAbsent;
    bool present() const { return size != kAbsent; }
};

struct EventInfo {
    TextRef title;
    TextRef uid;
    bool isAllDay = false;
};

// An occurrence as the index keeps it: start and end in seconds since the epoch and the event it
// belongs to (index into ParsedCalendar::events).
struct Occurrence {
    double start = 0;
    double end = 0;
    std::uint32_t event = 0;
};

struct ZoneRef {
    enum class Kind : std::uint8_t { floating, utc, named, embedded };
    Kind kind = Kind::floating;
    QByteArray id; // tz-database id for named, the TZID text for embedded
};

// An RDATE: its start, and its own length when it was given as a period.
struct ExtraStart {
    double start = 0;
    double length = -1; // negative: the event's own length
};

// A RECURRENCE-ID;RANGE=THISANDFUTURE override: from its original start on, the series moves by the
// override's shift and takes its length and its text (the override's event).
struct FutureChange {
    double from = 0;
    double shiftSeconds = 0; // timed series
    int shiftDays = 0;       // all-day series
    double durationSeconds = 0;
    int durationDays = 1;
    std::uint32_t event = 0;
};

// A recurring event kept so that it can be expanded again for any interval.
struct RecurringRule {
    std::uint32_t event = 0;
    bool isAllDay = false;
    WallTime start;
    ZoneRef zone;
    double durationSeconds = 0;    // timed events
    int durationDays = 1;          // all-day events
    std::vector<QByteArray> rules; // RRULE texts, each one Kalvix can follow
    std::vector<ExtraStart> extraStarts;
    std::vector<double> excludedStarts;   // EXDATE and overridden RECURRENCE-IDs, as instants
    std::vector<CivilDate> excludedDates; // EXDATE dates of a timed event; overrides of an all-day one
    std::vector<FutureChange> futures;    // by `from`
    // No occurrence starts before firstStart (DTSTART or an earlier RDATE) or after lastStart (known
    // when the load ran every RRULE to its end, else kUnknownLastStart).
    double firstStart = 0;
    double lastStart = kUnknownLastStart;
};

// An override of one occurrence (RECURRENCE-ID), to be matched with its series by UID.
struct Override {
    TextRef uid;
    double originalStart = 0; // the RECURRENCE-ID as an instant
    CivilDate originalDate;   // the RECURRENCE-ID's date as written
    bool originalIsDate = false;
    bool thisAndFuture = false;
    std::uint32_t event = 0;
    double start = 0; // the override's own start and length
    bool isAllDay = false;
    CivilDate startDate;
    double durationSeconds = 0;
    int durationDays = 1;
};

// What decides between revisions of one event (masters with one UID, or overrides of one occurrence):
// the higher SEQUENCE, then the later DTSTAMP, then the later place in the text. Kept only while the
// calendar is read.
struct Revision {
    enum class Role : std::uint8_t { single, master, override };
    Role role = Role::single; // single: no UID, or a RECURRENCE-ID that is not a value
    std::int32_t sequence = 0;
    std::int64_t stamp = std::numeric_limits<std::int64_t>::min(); // DTSTAMP in seconds, UTC
};

struct CalendarText {
    // Calendar-level properties found in the text.
    QString name;                                        // X-WR-CALNAME
    std::optional<CalendarColor> color;                  // COLOR or X-APPLE-CALENDAR-COLOR
    std::shared_ptr<ZoneSet> zones;                      // the VTIMEZONEs by TZID
    std::vector<std::pair<qsizetype, qsizetype>> events; // each VEVENT's lines, from and to
    int skipped = 0;                                     // events that could not be read whole
};

struct ParsedCalendar {
    QByteArray text; // the pool that TextRefs point into
    std::vector<EventInfo> events;
    std::vector<Occurrence> occurrences; // single events and rules' starts in the window, by start and event
    std::vector<RecurringRule> rules;
    std::vector<Override> overrides;
    std::vector<Revision> revisions; // by event, while reading; empty afterwards
    int skipped = 0; // events that could not be read, older revisions, unreadable zones, unfollowable rules
    int dropped = 0; // of the events, those left out after reading (older revisions, rules not expanded)

    std::optional<QString> string(TextRef ref) const;
};

// Work allowed for reading and expanding one file, in steps of the recurrence iterator (about one
// per day looked at); shared by the threads that read parts of the file.
class WorkBudget {
public:
    explicit WorkBudget(std::int64_t steps)
        : m_left(steps)
    {
    }
    // What one rule may use: what is left, at most `cap`.
    std::int64_t available(std::int64_t cap) const { return std::max<std::int64_t>(0, std::min(cap, m_left.load())); }
    void spend(std::int64_t steps) { m_left -= steps; }
    bool exhausted() const { return m_left.load() <= 0; }

private:
    std::atomic<std::int64_t> m_left;
};

struct ReadOptions {
    Interval window;                              // recurring events are expanded over this interval
    QTimeZone floating;                           // zone of floating times and dates
    std::int64_t fileSteps = 20000000;            // the file's work budget
    std::int64_t ruleSteps = 2000000;             // one rule's, in one expansion
    const std::atomic<bool>* cancelled = nullptr; // set when the result is no longer wanted
};

} // namespace kalvix::ical

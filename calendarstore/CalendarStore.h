#pragma once
// The calendar store behind the seam: what the calendar service needs of any event source.
//
// A store reports an access state, asks for access asynchronously, lists the event occurrences of all
// its calendars that overlap an interval (one entry per occurrence of a recurring event, in no promised
// order), and announces changes of its content with changed(), on the thread that owns it.
//
// Every occurrence has a start, an end not before it, and its calendar's colour; title and identifier
// may be absent. An all-day occurrence ends at the start of the day after its last day.
#include "time/Instant.h"

#include <QList>
#include <QObject>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kalvix {

// An opaque calendar colour, compared by value. Components are 0..255.
struct CalendarColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;

    friend constexpr bool operator==(const CalendarColor&, const CalendarColor&) = default;

    // "#rrggbb", or "#rrggbbaa" when not opaque.
    QString name() const;
    // Accepts "#rgb", "#rrggbb" and "#rrggbbaa" (surrounding space ignored); nothing for anything else.
    static std::optional<CalendarColor> fromName(QStringView text);
};

struct CalendarOccurrence {
    Instant start;
    Instant end;
    bool isAllDay = false;
    std::optional<QString> title;
    std::optional<QString> identifier;
    CalendarColor color;
    QString calendar; // the name of its calendar
};

// What the month grid's dots need of an occurrence.
struct OccurrenceSpan {
    Instant start;
    Instant end;
    bool isAllDay = false;
    CalendarColor color;
};

// One calendar of a store, as the user would recognise it.
struct CalendarInfo {
    QString name;
    QString path;
    CalendarColor color;
    int events = 0;
    int skipped = 0; // events and files that could not be read
    QString problem; // why a calendar of a service could not be read; empty when it could
};

// Whether the calendars can be read. The store's state and the calendar service's, one notion for both.
enum class CalendarAccess {
    notDetermined, // the answer is pending
    denied,        // sources exist but none can be read
    fullAccess,
};

class CalendarStore : public QObject {
    Q_OBJECT
public:
    using AccessCallback = std::function<void(bool granted)>;

    ~CalendarStore() override = default;

    virtual CalendarAccess accessStatus() const = 0;
    // Calls done exactly once, on any thread, with whether full access was granted.
    virtual void requestFullAccess(AccessCallback done) = 0;
    // Occurrences overlapping [start, end): start < end of the interval and end > start of the interval
    // (a zero-length occurrence at `start` counts as overlapping).
    virtual std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const = 0;
    // The first `count` of those by start (equal starts in the store's order): what a view that shows
    // the next few needs of a day that may hold a million. This default asks occurrences() and sorts;
    // a store that keeps them by start answers without making the rest.
    virtual std::vector<CalendarOccurrence> firstOccurrences(Instant start, Instant end, std::size_t count) const
    {
        std::vector<CalendarOccurrence> all = occurrences(start, end);
        std::stable_sort(all.begin(), all.end(), [](const CalendarOccurrence& a, const CalendarOccurrence& b) {
            return a.start < b.start;
        });
        all.resize(std::min(all.size(), count));
        return all;
    }
    // The same occurrences, in the same order, without their title and identifier (which cost a copy
    // each). This default asks occurrences(); a store that can answer cheaper does.
    virtual std::vector<OccurrenceSpan> spans(Instant start, Instant end) const
    {
        std::vector<OccurrenceSpan> out;
        for (const CalendarOccurrence& o : occurrences(start, end))
            out.push_back({o.start, o.end, o.isAllDay, o.color});
        return out;
    }

    // The calendars as last loaded, in the order of their sources; empty before the first load.
    virtual QList<CalendarInfo> calendars() const = 0;
    // The first source that exists but cannot be read, for the user to look at; empty when none.
    virtual QString unreadableSource() const = 0;

Q_SIGNALS:
    void changed();

protected:
    explicit CalendarStore(QObject* parent = nullptr)
        : QObject(parent)
    {
    }
};

} // namespace kalvix

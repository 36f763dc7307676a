#pragma once
// Gregorian civil-time arithmetic in one zone, with the zone's rules from the system tz database.
//
// Every operation that maps an Instant to a civil value returns nothing for an Instant outside
// Instant::isCivil(), so stored garbage (1e300, NaN) never reaches Qt's date code.
//
// DST: where a civil time falls in a gap (spring forward) it is moved forward by the gap's length;
// where it falls in an overlap (fall back) the earlier of the two instants is taken. A day that starts
// inside a gap starts at the first instant that exists. Both follow from the zone's own transitions, so
// they hold in every zone and year of the tz database, whatever the offsets and wherever midnight falls.
//
// A date that a zone skipped whole (Samoa's 30 December 2011) starts where the next day starts: it is a
// day of no length, and no instant has it as its date.
#include "time/CivilDays.h"
#include "time/Instant.h"

#include <QTimeZone>

#include <memory>
#include <optional>

namespace kalvix {

class ZoneRules;

struct Interval {
    Instant start;
    Instant end; // exclusive
};

class CivilCalendar {
public:
    explicit CivilCalendar(QTimeZone zone);

    // The user's calendar in the system zone as it is at this call.
    static CivilCalendar current();
    static CivilCalendar utc();

    const QTimeZone& zone() const { return m_zone; }

    std::optional<CivilDate> dateOf(Instant t) const;
    std::optional<CivilTime> timeOf(Instant t) const;
    // 1 = Monday .. 7 = Sunday.
    std::optional<int> weekdayOf(Instant t) const;
    std::optional<int> dayOfYear(Instant t) const;
    // Seconds east of UTC in effect at t.
    std::optional<int> offsetAt(Instant t) const;

    std::optional<Instant> startOfDay(Instant t) const;
    std::optional<Instant> startOfDay(CivilDate date) const;
    // The instant of a wall-clock time on a date (gap and overlap rules above).
    std::optional<Instant> instantOf(CivilDate date, CivilTime time) const;

    // The same wall-clock time n calendar days later (a DST day is 23 or 25 hours long).
    std::optional<Instant> addDays(Instant t, int days) const;
    // The same wall-clock time n months later; the day is clamped to the new month's last day.
    std::optional<Instant> addMonths(Instant t, int months) const;

    // From the first instant of t's month to the first instant of the next month.
    std::optional<Interval> monthInterval(Instant t) const;

    // Whole calendar days from a's date to b's date (negative when b's date is earlier).
    std::optional<int> daysBetween(Instant a, Instant b) const;
    bool isSameDay(Instant a, Instant b) const;

private:
    std::optional<qint64> wallSeconds(Instant t) const;

    QTimeZone m_zone;
    std::shared_ptr<const kalvix::ZoneRules> m_rules;
};

} // namespace kalvix

#pragma once
// Recurrence rules (RRULE), read and iterated in the event's wall-clock time.
//
// Kalvix follows rules itself rather than through libical's iterator: a rule that can never match, or
// matches once in centuries, costs libical seconds to minutes inside one call that cannot be stopped.
// Here every step is small and counted, so a rule stops at a budget that the caller chooses; a
// rule with no match in 400 years times its interval (after which every rule repeats itself) is over.
//
// Semantics: each period of the frequency (a year, a month, a week starting on WKST, a day, an hour,
// a minute, a second), stepped by INTERVAL from the period of DTSTART, gives the set of days and times
// that its BY parts allow (BYMONTH, BYWEEKNO, BYYEARDAY, BYMONTHDAY and BYDAY limit the days; BYHOUR,
// BYMINUTE and BYSECOND give the times, with DTSTART's as the default); BYSETPOS then picks from the
// sorted set. BYDAY ordinals count within the month for MONTHLY rules and for YEARLY rules with
// BYMONTH, within the year for other YEARLY rules, and are ignored elsewhere. Only starts that the
// rule gives count towards COUNT, as libical and most readers count: a DTSTART that the rule does
// not give is the caller's to add. UNTIL is inclusive.
#include "calendarstore/ical/IcalRecords.h"

#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <vector>

namespace kalvix::ical {

struct RecurrenceRule {
    enum class Frequency : std::uint8_t { secondly, minutely, hourly, daily, weekly, monthly, yearly };
    struct WeekdayNumber {
        int ordinal = 0; // 0: every such weekday of the period; else the nth (from the end when negative)
        int weekday = 1; // 1 = Monday .. 7 = Sunday
    };

    Frequency frequency = Frequency::daily;
    int interval = 1;
    std::optional<std::int64_t> count;
    std::optional<WallTime> until; // as written: in UTC when untilIsUtc, a date when untilIsDate
    bool untilIsUtc = false;
    bool untilIsDate = false;
    std::vector<int> bySecond;
    std::vector<int> byMinute;
    std::vector<int> byHour;
    std::vector<WeekdayNumber> byDay;
    std::vector<int> byMonthDay;
    std::vector<int> byYearDay;
    std::vector<int> byWeekNo;
    std::vector<int> byMonth;
    std::vector<int> bySetPos;
    int weekStart = 1;

    // Nothing when Kalvix cannot follow the text: FREQ missing or unknown, a part that is not a
    // number list in its range. COUNT and INTERVAL beyond 32 bits are taken as the largest 32-bit
    // values, which no calendar reaches.
    static std::optional<RecurrenceRule> parse(QByteArrayView text);
};

// Wall-clock starts of one rule, in ascending order. Work is counted in steps (about one per day
// looked at); when the budget is spent next() gives nothing and outOfBudget() is true.
class RecurrenceIterator {
public:
    // `until` is the rule's UNTIL in the event's wall-clock time (the caller converts it).
    RecurrenceIterator(const RecurrenceRule& rule, WallTime start, bool isDate, std::optional<WallTime> until);

    // Moves to the period that holds `from`; only for rules without COUNT. Starts before `from`'s
    // period are not produced.
    void skipTo(WallTime from);
    std::optional<WallTime> next();

    void setBudget(std::int64_t steps) { m_budget = steps; }
    std::int64_t budgetLeft() const { return m_budget; }
    bool outOfBudget() const { return m_budget < 0; }

private:
    bool fillPeriod();
    void advancePeriod();
    bool skipUnmatched(bool dayUnmatched, qint64 floor);
    struct Day;
    void collectDays(std::vector<qint64>& days);
    void scanMonth(qint64 year, int month, int from, int to, std::vector<qint64>& days);
    bool dayMatches(const Day& d) const;
    bool byDayMatches(const Day& d) const;
    bool setPositionsReachable() const;
    void collectTimes(qint64 periodWall, std::vector<int>& times) const;
    void applySetPos();
    qint64 periodFloor() const; // first wall second of the current period

    RecurrenceRule m_rule; // with the parts that DTSTART supplies
    qint64 m_start = 0;    // DTSTART in wall seconds
    std::optional<qint64> m_until;
    bool m_isDate = false;
    qint64 m_period = 0;              // year, month index, first day of the week, day, or wall second
    qint64 m_lastFoundDay = 0;        // first day of the last period with a match (or of DTSTART's)
    std::vector<qint64> m_candidates; // starts of the current period, ascending
    std::vector<qint64> m_days;
    std::vector<int> m_times;
    std::size_t m_next = 0;
    std::int64_t m_produced = 0;
    std::int64_t m_budget = 1000000;
    bool m_done = false;
    bool m_byDayOrdinalsByMonth = false;
    bool m_byDayOrdinalsByYear = false;
};

} // namespace kalvix::ical

#pragma once
// Reading the events of one part of a calendar file into records: what each VEVENT's properties say,
// before overrides are matched with their series and before any rule is expanded.
//
// An event with no DTSTART, or one that is not a date or date-time, is skipped and counted. DTEND (or
// DURATION) gives the length: an all-day event lasts whole days (one when DTEND is missing or not
// after DTSTART), a timed one as long as DTEND says (nothing when missing). SUMMARY and UID are read
// as text, their escapes resolved. An RRULE Kalvix cannot follow is left out, so the event shows at
// DTSTART (and its RDATEs).
#include "calendarstore/ical/IcalRecords.h"
#include "calendarstore/ical/IcalText.h"
#include "calendarstore/ical/IcalZones.h"

#include <QByteArrayView>

namespace kalvix::ical {

class EventReader {
public:
    EventReader(QByteArrayView text, const ReadOptions& options, const ZoneSet* zones);

    // Reads the VEVENT whose lines are text[from, to).
    void read(qsizetype from, qsizetype to);
    ParsedCalendar& result() { return m_out; }

private:
    struct Lines;
    void readEvent(const Lines& lines);
    void readLength(const Lines& lines, RecurringRule& rule, double startInstant);
    bool readRecurrence(const Lines& lines, RecurringRule& rule);
    void readExtraStart(const ContentLine& line, QByteArrayView item, bool period, RecurringRule& rule);
    void readExclusions(const Lines& lines, RecurringRule& rule);
    void readOverride(const Lines& lines, const RecurringRule& event, double startInstant, std::uint32_t index);
    TextRef keep(QByteArrayView escapedText);
    ZoneRef zoneOf(const ContentLine& line, bool utc, const ZoneRef& fallback);
    double instantOf(const WallTime& w, const ZoneRef& zone, bool isDate);
    double endOf(const RecurringRule& rule, double start);

    QByteArrayView m_text;
    ZoneContext m_zones;
    ParsedCalendar m_out;
};

} // namespace kalvix::ical

#include "calendarstore/ical/IcalValues.h"

#include "time/CivilDays.h"

#include <libical/ical.h>

#include <cstring>
#include <mutex>

namespace kalvix::ical {
namespace {

bool digits(QByteArrayView text, qsizetype at, qsizetype count, int& out)
{
    out = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

bool validFields(const DateTimeValue& v)
{
    const CivilDate& d = v.wall.date;
    if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month))
        return false;
    const CivilTime& t = v.wall.time;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second <= 60;
}

// "YYYYMMDD" or "YYYYMMDDTHHMMSS[Z]".
std::optional<DateTimeValue> compactForm(QByteArrayView text)
{
    DateTimeValue v;
    if (!digits(text, 0, 4, v.wall.date.year) || !digits(text, 4, 2, v.wall.date.month) ||
        !digits(text, 6, 2, v.wall.date.day))
        return std::nullopt;
    if (text.size() == 8) {
        v.isDate = true;
        return v;
    }
    if ((text[8] != 'T' && text[8] != 't') || !digits(text, 9, 2, v.wall.time.hour) ||
        !digits(text, 11, 2, v.wall.time.minute) || !digits(text, 13, 2, v.wall.time.second))
        return std::nullopt;
    if (text.size() == 16) {
        if (text[15] != 'Z' && text[15] != 'z')
            return std::nullopt;
        v.utc = true;
    }
    return v;
}

// Other forms ("2025-03-10T09:00:00Z", ...) as libical reads them.
std::optional<DateTimeValue> libicalForm(QByteArrayView text)
{
    char buffer[64];
    if (text.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(text.size()));
    buffer[text.size()] = '\0';
    initialiseLibical();
    const icaltimetype t = icaltime_from_string(buffer);
    if (icaltime_is_null_time(t))
        return std::nullopt;
    DateTimeValue v;
    v.wall = WallTime{{t.year, t.month, t.day}, {t.hour, t.minute, t.second}};
    v.isDate = t.is_date != 0;
    v.utc = icaltime_is_utc(t) != 0;
    if (v.isDate)
        v.wall.time = {};
    return v;
}

} // namespace

void initialiseLibical()
{
    static std::once_flag once;
    std::call_once(once, [] {
        icalerror_set_errors_are_fatal(0);
        icalerror_set_error_state(ICAL_PARSE_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_BADARG_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_USAGE_ERROR, ICAL_ERROR_NONFATAL);
        icalerror_set_error_state(ICAL_INTERNAL_ERROR, ICAL_ERROR_NONFATAL);
        icaltimezone_get_utc_timezone(); // built once here, before any thread asks for it
    });
}

std::optional<DateTimeValue> parseDateTime(QByteArrayView text)
{
    text = text.trimmed();
    std::optional<DateTimeValue> v;
    if (text.size() == 8 || text.size() == 15 || text.size() == 16)
        v = compactForm(text);
    if (!v && !text.isEmpty())
        v = libicalForm(text);
    if (!v || !validFields(*v))
        return std::nullopt;
    v->wall.time.second = std::min(v->wall.time.second, 59); // a leap second reads as the second before
    return v;
}

std::optional<DurationValue> parseDuration(QByteArrayView text)
{
    text = text.trimmed();
    char buffer[64];
    if (text.isEmpty() || text.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(text.size()));
    buffer[text.size()] = '\0';
    initialiseLibical();
    const icaldurationtype d = icaldurationtype_from_string(buffer);
    if (icaldurationtype_is_bad_duration(d))
        return std::nullopt;
    return DurationValue{
        d.is_neg != 0, qint64(d.weeks) * 7 + d.days, qint64(d.hours) * 3600 + qint64(d.minutes) * 60 + d.seconds};
}

std::optional<PeriodValue> parsePeriod(QByteArrayView text)
{
    const qsizetype slash = text.indexOf('/');
    if (slash < 0)
        return std::nullopt;
    const auto start = parseDateTime(text.first(slash));
    if (!start || start->isDate)
        return std::nullopt;
    PeriodValue period{*start, std::nullopt, std::nullopt};
    const QByteArrayView second = text.sliced(slash + 1).trimmed();
    if (!second.isEmpty() && (second[0] == 'P' || second[0] == 'p' || second[0] == '+' || second[0] == '-'))
        period.duration = parseDuration(second);
    else
        period.end = parseDateTime(second);
    if (!period.duration && !period.end)
        return std::nullopt;
    return period;
}

} // namespace kalvix::ical

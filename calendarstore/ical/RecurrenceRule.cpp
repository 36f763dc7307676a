// Reading RRULE text. The iteration is in RecurrenceIterator.cpp.
#include "calendarstore/ical/RecurrenceRule.h"

#include "calendarstore/ical/IcalText.h"
#include "calendarstore/ical/IcalValues.h"

#include <algorithm>
#include <limits>

namespace kalvix::ical {
namespace {

using Frequency = RecurrenceRule::Frequency;

constexpr std::int64_t kLargest32 = std::numeric_limits<std::int32_t>::max();

// A decimal number with an optional sign; numbers beyond 64 bits saturate.
std::optional<std::int64_t> number(QByteArrayView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value > kLargest32 * 1000 ? value : value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// A comma-separated list of numbers in [low, high], zero excluded when `noZero`; sorted, unique.
std::optional<std::vector<int>> numberList(QByteArrayView text, int low, int high, bool noZero)
{
    std::vector<int> out;
    for (QByteArrayView item : splitItems(text, ',')) {
        const auto n = number(item);
        if (!n || *n < low || *n > high || (noZero && *n == 0))
            return std::nullopt;
        out.push_back(static_cast<int>(*n));
    }
    if (out.empty())
        return std::nullopt;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::optional<int> weekdayOf(QByteArrayView text)
{
    static const char* const kNames[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    for (int i = 0; i < 7; ++i) {
        if (equalsNoCase(text.trimmed(), kNames[i]))
            return i + 1;
    }
    return std::nullopt;
}

std::optional<std::vector<RecurrenceRule::WeekdayNumber>> weekdayList(QByteArrayView text)
{
    std::vector<RecurrenceRule::WeekdayNumber> out;
    for (QByteArrayView item : splitItems(text, ',')) {
        item = item.trimmed();
        if (item.size() < 2)
            return std::nullopt;
        const auto day = weekdayOf(item.last(2));
        const QByteArrayView ordinalText = item.chopped(2);
        const auto ordinal = ordinalText.isEmpty() ? std::optional<std::int64_t>(0) : number(ordinalText);
        if (!day || !ordinal || *ordinal < -53 || *ordinal > 53 || (*ordinal == 0 && !ordinalText.isEmpty()))
            return std::nullopt;
        out.push_back({static_cast<int>(*ordinal), *day});
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

std::optional<Frequency> frequencyOf(QByteArrayView text)
{
    static const std::pair<const char*, Frequency> kNames[] = {
        {"SECONDLY", Frequency::secondly},
        {"MINUTELY", Frequency::minutely},
        {"HOURLY", Frequency::hourly},
        {"DAILY", Frequency::daily},
        {"WEEKLY", Frequency::weekly},
        {"MONTHLY", Frequency::monthly},
        {"YEARLY", Frequency::yearly},
    };
    for (const auto& [name, frequency] : kNames) {
        if (equalsNoCase(text.trimmed(), name))
            return frequency;
    }
    return std::nullopt;
}

bool readUntil(QByteArrayView value, RecurrenceRule& rule)
{
    const auto until = parseDateTime(value);
    if (!until)
        return false;
    rule.until = until->wall;
    rule.untilIsUtc = until->utc;
    rule.untilIsDate = until->isDate;
    return true;
}

bool readCounted(QByteArrayView value, std::int64_t& into)
{
    const auto n = number(value);
    if (!n || *n < 1)
        return false;
    into = std::min(*n, kLargest32);
    return true;
}

bool readList(QByteArrayView name, QByteArrayView value, RecurrenceRule& rule)
{
    struct ListPart {
        const char* name;
        std::vector<int> RecurrenceRule::*list;
        int low;
        int high;
        bool noZero;
    };
    static const ListPart kParts[] = {
        {"BYSECOND", &RecurrenceRule::bySecond, 0, 60, false},
        {"BYMINUTE", &RecurrenceRule::byMinute, 0, 59, false},
        {"BYHOUR", &RecurrenceRule::byHour, 0, 23, false},
        {"BYMONTHDAY", &RecurrenceRule::byMonthDay, -31, 31, true},
        {"BYYEARDAY", &RecurrenceRule::byYearDay, -366, 366, true},
        {"BYWEEKNO", &RecurrenceRule::byWeekNo, -53, 53, true},
        {"BYMONTH", &RecurrenceRule::byMonth, 1, 12, false},
        {"BYSETPOS", &RecurrenceRule::bySetPos, -366, 366, true},
    };
    for (const ListPart& part : kParts) {
        if (equalsNoCase(name, part.name)) {
            auto list = numberList(value, part.low, part.high, part.noZero);
            if (!list)
                return false;
            rule.*part.list = std::move(*list);
            return true;
        }
    }
    return true; // a part Kalvix does not know (an extension) changes nothing
}

bool readPart(QByteArrayView name, QByteArrayView value, RecurrenceRule& rule)
{
    if (equalsNoCase(name, "INTERVAL")) {
        std::int64_t interval = 1;
        if (!readCounted(value, interval))
            return false;
        rule.interval = static_cast<int>(interval);
        return true;
    }
    if (equalsNoCase(name, "COUNT")) {
        std::int64_t count = 1;
        if (!readCounted(value, count))
            return false;
        rule.count = count;
        return true;
    }
    if (equalsNoCase(name, "UNTIL"))
        return readUntil(value, rule);
    if (equalsNoCase(name, "BYDAY")) {
        auto days = weekdayList(value);
        if (days)
            rule.byDay = std::move(*days);
        return days.has_value();
    }
    if (equalsNoCase(name, "WKST")) {
        const auto day = weekdayOf(value);
        if (day)
            rule.weekStart = *day;
        return day.has_value();
    }
    return readList(name, value, rule);
}

} // namespace

std::optional<RecurrenceRule> RecurrenceRule::parse(QByteArrayView text)
{
    RecurrenceRule rule;
    bool hasFrequency = false;
    for (QByteArrayView part : splitItems(text.trimmed(), ';')) {
        if (part.trimmed().isEmpty())
            continue;
        const qsizetype eq = part.indexOf('=');
        if (eq <= 0)
            return std::nullopt;
        const QByteArrayView name = part.first(eq).trimmed();
        const QByteArrayView value = part.sliced(eq + 1);
        if (equalsNoCase(name, "FREQ")) {
            const auto frequency = frequencyOf(value);
            if (!frequency)
                return std::nullopt;
            rule.frequency = *frequency;
            hasFrequency = true;
        } else if (!readPart(name, value, rule)) {
            return std::nullopt;
        }
    }
    if (!hasFrequency)
        return std::nullopt;
    return rule;
}

} // namespace kalvix::ical

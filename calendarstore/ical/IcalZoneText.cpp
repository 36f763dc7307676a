// A file's own VTIMEZONE turned into a transition table: each STANDARD and DAYLIGHT observance gives a
// transition at every onset (DTSTART, its RRULE, its RDATEs), at the onset's wall-clock time in the
// offset it leaves (TZOFFSETFROM). An observance without an onset or its offsets is left out, and the
// table says it is partial.
#include "calendarstore/ical/IcalText.h"
#include "calendarstore/ical/IcalValues.h"
#include "calendarstore/ical/IcalZones.h"
#include "calendarstore/ical/RecurrenceRule.h"
#include "calendarstore/ical/SharedCache.h"
#include "time/CivilDays.h"

#include <algorithm>

namespace kalvix::ical {
namespace {

constexpr int kMaxOnsets = 4000;              // per observance
constexpr std::int64_t kOnsetBudget = 200000; // iterator steps per observance
constexpr int kMaxCachedZones = 512;
constexpr std::size_t kMaxObservances = 64;

struct Observance {
    std::optional<DateTimeValue> start;
    std::optional<int> from;
    std::optional<int> to;
    std::vector<RecurrenceRule> rules;
    std::vector<WallTime> extraOnsets;
};

// "+0100", "-0530", "+013045".
std::optional<int> offsetOf(QByteArrayView text)
{
    text = text.trimmed();
    if ((text.size() != 5 && text.size() != 7) || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        parts[(i - 1) / 2] = parts[(i - 1) / 2] * 10 + (text[i] - '0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    const int seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
    return text[0] == '-' ? -seconds : seconds;
}

void readObservanceLine(const ContentLine& line, Observance& o)
{
    if (line.is("DTSTART")) {
        o.start = parseDateTime(line.value);
    } else if (line.is("TZOFFSETFROM")) {
        o.from = offsetOf(line.value);
    } else if (line.is("TZOFFSETTO")) {
        o.to = offsetOf(line.value);
    } else if (line.is("RRULE")) {
        if (auto rule = RecurrenceRule::parse(line.value))
            o.rules.push_back(std::move(*rule));
    } else if (line.is("RDATE")) {
        for (QByteArrayView item : splitItems(line.value, ',')) {
            if (auto onset = parseDateTime(item))
                o.extraOnsets.push_back(onset->wall);
        }
    }
}

// `unread`: how many observances had no onset or no offsets.
std::vector<Observance> readObservances(QByteArrayView lines, std::size_t& unread)
{
    std::vector<Observance> out;
    LineReader reader(lines);
    ContentLine line;
    int depth = 0;
    bool reading = false; // inside an observance that is kept
    while (reader.next(line)) {
        if (line.is("BEGIN")) {
            if (++depth == 1 && out.size() < kMaxObservances) {
                out.emplace_back();
                reading = true;
            }
        } else if (line.is("END")) {
            depth = std::max(0, depth - 1);
            reading = reading && depth > 0;
        } else if (reading && depth == 1 && !line.hasNul && !line.tooLong) {
            readObservanceLine(line, out.back());
        }
    }
    // An onset written as a date (slightly malformed, but its offsets say all) begins at its midnight.
    unread = std::erase_if(out, [](const Observance& o) { return !o.start || !o.from || !o.to; });
    return out;
}

// Open yearly rules every 400 years divides repeat with the Gregorian calendar.
bool repeatsEveryCycle(const RecurrenceRule& rule)
{
    return rule.frequency == RecurrenceRule::Frequency::yearly && 400 % rule.interval == 0;
}

struct Onsets {
    std::vector<ZoneTable::Transition> transitions;
    int lastIrregularYear = 1; // the last year of an onset that is not from an open rule
    bool periodic = true;      // every open rule repeats every cycle
    bool anyOpenRule = false;
};

void addRuleOnsets(const Observance& o, const RecurrenceRule& rule, int untilYear, Onsets& out)
{
    std::optional<WallTime> until;
    if (rule.until) // in UTC by the standard; a wall-clock UNTIL is taken as written
        until = rule.untilIsUtc ? fromWallSeconds(wallSeconds(*rule.until) + *o.from) : *rule.until;
    const bool open = !rule.count && !rule.until;
    out.anyOpenRule = out.anyOpenRule || open;
    out.periodic = out.periodic && (!open || repeatsEveryCycle(rule));
    RecurrenceIterator it(rule, o.start->wall, false, until);
    it.setBudget(kOnsetBudget);
    int made = 0;
    while (made < kMaxOnsets) {
        const auto onset = it.next();
        if (!onset || onset->date.year > untilYear)
            break;
        out.transitions.push_back({wallSeconds(*onset) - *o.from, *o.from, *o.to});
        ++made;
        if (!open)
            out.lastIrregularYear = std::max(out.lastIrregularYear, onset->date.year);
    }
}

std::shared_ptr<const ZoneTable> build(QByteArrayView lines)
{
    std::size_t unread = 0;
    const std::vector<Observance> observances = readObservances(lines, unread);
    if (observances.empty())
        return nullptr;
    Onsets onsets;
    for (const Observance& o : observances) {
        onsets.lastIrregularYear = std::max(onsets.lastIrregularYear, o.start->wall.date.year);
        for (const WallTime& extra : o.extraOnsets)
            onsets.lastIrregularYear = std::max(onsets.lastIrregularYear, extra.date.year);
    }
    // Open rules run one cycle past the last irregular onset; from there on the table repeats.
    const int untilYear = std::min(9999, onsets.lastIrregularYear + 402);
    for (const Observance& o : observances) {
        onsets.transitions.push_back({wallSeconds(o.start->wall) - *o.from, *o.from, *o.to});
        for (const WallTime& extra : o.extraOnsets)
            onsets.transitions.push_back({wallSeconds(extra) - *o.from, *o.from, *o.to});
        for (const RecurrenceRule& rule : o.rules)
            addRuleOnsets(o, rule, untilYear, onsets);
    }
    auto& list = onsets.transitions;
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.atUtc < b.atUtc; });
    const int initial = list.front().before;
    std::vector<ZoneTable::Transition> chained;
    int offset = initial;
    for (const auto& t : list) {
        if (t.after != offset)
            chained.push_back({t.atUtc, offset, t.after});
        offset = t.after;
    }
    std::optional<qint64> cycleStart;
    if (onsets.anyOpenRule && onsets.periodic && untilYear < 9999)
        cycleStart = daysFromCivil(onsets.lastIrregularYear + 1, 1, 1) * kSecondsPerDay;
    return std::make_shared<const ZoneTable>(initial, std::move(chained), cycleStart, unread > 0);
}

} // namespace

std::shared_ptr<const ZoneTable> ZoneTable::fromVTimezone(QByteArrayView lines)
{
    static SharedCache<QByteArray, ZoneTable> cache(kMaxCachedZones);
    return cache.get(lines.toByteArray(), [](const QByteArray& text) { return build(text); });
}

} // namespace kalvix::ical

// libFuzzer target: iCalendar text of any shape through the reader, its expansion, and a query far
// outside the load window. Must never crash, hang or leak.
#include "calendarstore/ical/IcalExpansion.h"
#include "calendarstore/ical/IcalReader.h"

#include <QByteArray>
#include <QTimeZone>

#include <cstddef>
#include <cstdint>

using namespace kalvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256 * 1024)
        return 0;
    static const QTimeZone london("Europe/London");
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ical::ReadOptions options;
    options.window = Interval{Instant{1735689600.0}, Instant{1767225600.0}};
    options.floating = london;
    ical::CalendarText header;
    ical::ParsedCalendar parsed = ical::readCalendar(text, options, &header);
    for (const auto& o : parsed.occurrences) {
        if (o.event >= parsed.events.size() || !(o.end >= o.start))
            __builtin_trap();
    }
    const Interval far{Instant{2524608000.0}, Instant{2527286400.0}}; // January 2050
    for (const auto& rule : parsed.rules)
        (void)ical::expandRule(rule, header.zones.get(), far, london);
    return 0;
}

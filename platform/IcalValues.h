#pragma once
// libical time values and our wall-clock times: the one private header of the reader that sees
// libical, shared by reading and expansion.
#include "platform/IcalRecords.h"

#include <libical/ical.h>

namespace kalvix::ical {

// A date or date-time that the calendar code can use (years 1 to 9999, fields in range).
bool validWall(const icaltimetype& t);
WallTime wallOf(const icaltimetype& t);
icaltimetype icalTime(const WallTime& w, bool isDate);

// Frees its libical iterator.
struct RuleIterator {
    icalrecur_iterator* it = nullptr;
    ~RuleIterator()
    {
        if (it)
            icalrecur_iterator_free(it);
    }
};

} // namespace kalvix::ical

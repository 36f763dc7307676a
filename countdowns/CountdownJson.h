#pragma once
// The stored form of the countdown list: UTF-8 JSON, an array of objects with the members
// "id" (UUID string, 8-4-4-4-12 hexadecimal), "title" (string) and "date" (number: seconds since
// 2001-01-01 00:00:00 UTC, with fraction).
//
// The writer emits the members in the order id, title, date, the UUID in upper case and no whitespace.
// The reader takes any member order, any whitespace, either case of the UUID, and ignores unknown
// members; a missing member, a member of the wrong type, a malformed UUID or a number too large for a
// double rejects the whole array. Finite dates outside any calendar (1e300) are kept as they are, so
// the user's other countdowns survive the next save.
#include "countdowns/Countdown.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace kalvix::CountdownJson {

// Seconds from the Unix epoch to 2001-01-01 00:00:00 UTC, the origin of stored dates.
inline constexpr double kReferenceDateOffset = 978307200.0;

// Nothing when a date is not finite: JSON has no form for it, and the previous stored value is better
// kept than replaced by something unreadable.
std::optional<QByteArray> encode(const QList<Countdown>& items);

std::optional<QList<Countdown>> decode(const QByteArray& json);

} // namespace kalvix::CountdownJson

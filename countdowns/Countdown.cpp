#include "countdowns/Countdown.h"

namespace kalvix {

Countdown Countdown::create(const QString& title, Instant date)
{
    return Countdown{QUuid::createUuid(), title, date};
}

} // namespace kalvix

#include "tests/support/TestEnv.h"

#include <QDateTime>
#include <QTimeZone>

namespace kalvix::test {

double utcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    const QDateTime dt(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
    return static_cast<double>(dt.toSecsSinceEpoch());
}

} // namespace kalvix::test

#pragma once
// A pinned date with a title. The id is the identity (rows are keyed and deleted by it); equality still
// compares id, title and date. The date may be any double (it comes from stored data): users of it
// check Instant::isCivil() before calendar work.
#include "time/Instant.h"

#include <QString>
#include <QUuid>

namespace kalvix {

struct Countdown {
    QUuid id;
    QString title;
    Instant date;

    // A new countdown with a fresh random (version 4) id.
    static Countdown create(const QString& title, Instant date);

    friend bool operator==(const Countdown&, const Countdown&) = default;
};

} // namespace kalvix

#pragma once
// Calendars that a service hands over as text rather than as files: the desktop's calendar service.
//
// Each calendar is one iCalendar text holding its events and the VTIMEZONEs they name, with the name
// and colour the service gives it. The file store reads these texts with its own reader, so a feed's
// calendar gives the same occurrences as the same data in a file, and both kinds merge into one list.
//
// A feed announces changed() on its owner's thread when its calendars, their texts, names, colours or
// problems change, or when it becomes ready; it coalesces bursts itself.
#include "calendarstore/CalendarStore.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kalvix {

struct FeedCalendar {
    QString id; // unique among all calendars, files included
    QString name;
    std::optional<CalendarColor> color;
    std::uint64_t revision = 0; // differs whenever the text does
    std::shared_ptr<const QByteArray> text;
    QString problem; // why it holds no events, for a calendar that could not be read
};

class CalendarFeed : public QObject {
    Q_OBJECT
public:
    ~CalendarFeed() override = default;

    // Whether the first look at the service is over: every calendar loaded or failed, or the service
    // took too long. Until then the store waits for it before its first load.
    virtual bool ready() const = 0;
    virtual std::vector<FeedCalendar> calendars() const = 0;
    // Calendar files the feed serves itself: the store does not read them a second time.
    virtual QStringList servedFiles() const = 0;

Q_SIGNALS:
    void changed();

protected:
    explicit CalendarFeed(QObject* parent = nullptr)
        : QObject(parent)
    {
    }
};

} // namespace kalvix

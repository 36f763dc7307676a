#pragma once
// The first phase of a load: from the store's sources to its calendars and their files.
//
// A folder source is searched three levels deep, and every folder that holds .ics files is one
// calendar (with the vdir `displayname` and `color` files when present); a file source is a calendar
// of its own. Each real folder is looked at once however many links or overlapping sources lead to
// it (vdirsyncer's storage folder and khal's calendars inside it), where it is first met in the order
// of the sources, and no more than 10,000 folders are for each source. Sources are scanned in
// parallel; one whose file system does not answer within the patience is reported as not answering
// and held back from no other (see WatchedWork.h). A source that is a FIFO, a device or a socket is never opened: like
// a source that cannot be read, it is reported as unreadable and gives no calendar.
#include "calendarstore/CalendarStore.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kalvix::ical {

struct CalendarEntry {
    QString path;
    QString name;
    std::optional<CalendarColor> color; // the vdir colour file
    QStringList files;
    std::pair<std::uint64_t, std::uint64_t> identity; // the folder's or file's device and inode
    QString problem;                                  // a feed's calendar that could not be read
};

struct SourceScan {
    std::vector<CalendarEntry> calendars; // in the order of the sources
    QStringList watchPaths;               // folders and files whose changes call for a new load
    QString unreadable;                   // the first source that exists but cannot be read
    QStringList notAnswering;             // sources whose file system did not answer in time
    bool anySourceExists = false;
    bool anySourceReadable = false;
};

SourceScan scanSources(const QStringList& sources, std::chrono::milliseconds patience);

} // namespace kalvix::ical

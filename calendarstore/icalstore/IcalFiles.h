#pragma once
// The second phase of a load: reading each calendar file into compact records.
//
// A file is identified by its modification time, size and inode, so an unchanged file is not read
// again. Only regular files are read: a FIFO, a device or a folder named like a calendar file is
// never opened as one (the check is made on the opened descriptor, so nothing can be swapped in
// between). A file that changes while it is read is read again (a few times at most) and skipped
// when it never holds still.
#include "calendarstore/ical/IcalRecords.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

#include <memory>
#include <optional>
#include <vector>

namespace kalvix::ical {

class ZoneSet;

struct FileKey {
    qint64 mtimeNs = 0;
    qint64 size = 0;
    qint64 inode = 0;
    friend bool operator==(const FileKey&, const FileKey&) = default;
};

// Nothing when the path is not a regular file.
std::optional<FileKey> regularFileKey(const QString& path);

struct FileData {
    QString path;
    FileKey key;
    bool readable = false;
    // Read together with other files of its calendar (see joinSharedEvents): never reused as it is.
    bool joined = false;
    ParsedCalendar parsed;
    std::shared_ptr<const ZoneSet> zones;
    QString name;
    std::optional<CalendarColor> color;
};

// The bytes of a regular file and its key, read through one descriptor; nothing when the path is
// not a regular file, cannot be opened, or is larger than `limit`.
std::optional<std::pair<QByteArray, FileKey>> readRegularFile(const QString& path, qint64 limit);

std::shared_ptr<FileData> readFile(const QString& path, const ReadOptions& options);

struct ReadFiles {
    std::vector<std::shared_ptr<const FileData>> files; // null for a file that did not answer
    QStringList notAnswering;
};

// Reads every path, reusing the files of `previous` (same paths, read with the same options) that are
// unchanged; the others in parallel. A file whose file system does not answer within the patience
// is left out (see WatchedWork.h).
ReadFiles readFiles(const std::vector<QString>& paths,
                    const std::vector<std::shared_ptr<const FileData>>& previous,
                    const ReadOptions& options,
                    std::chrono::milliseconds patience);

// Files of one calendar that hold the same UID (revisions of one event, or a series and its overrides
// kept apart) are read again as one text, so that a calendar holds one event per UID however its
// events are spread over files: the first of them takes all their events, the others none. Joined
// files are read again at every load. `fileCalendar` gives each file's calendar, the files of a
// calendar being next to each other.
void joinSharedEvents(std::vector<std::shared_ptr<const FileData>>& files,
                      const std::vector<std::uint32_t>& fileCalendar,
                      const ReadOptions& options);

} // namespace kalvix::ical

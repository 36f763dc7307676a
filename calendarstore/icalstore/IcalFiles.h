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
    ParsedCalendar parsed;
    std::shared_ptr<const ZoneSet> zones;
    QString name;
    std::optional<CalendarColor> color;
};

// The bytes of a regular file and its key, read through one descriptor; nothing when the path is
// not a regular file, cannot be opened, or is larger than `limit`.
std::optional<std::pair<QByteArray, FileKey>> readRegularFile(const QString& path, qint64 limit);

std::shared_ptr<FileData> readFile(const QString& path, const ReadOptions& options);

// Reads every path, reusing the files of `previous` (same paths, read with the same options) that are
// unchanged; the others in parallel.
std::vector<std::shared_ptr<const FileData>> readFiles(const std::vector<QString>& paths,
                                                       const std::vector<std::shared_ptr<const FileData>>& previous,
                                                       const ReadOptions& options);

} // namespace kalvix::ical

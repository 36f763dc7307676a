#include "calendarstore/icalstore/IcalFiles.h"

#include "calendarstore/ical/IcalReader.h"
#include "calendarstore/ical/IcalZones.h"
#include "calendarstore/ical/ParallelFor.h"

#include <QFile>
#include <QHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvix::ical {
namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

FileKey keyOf(const struct stat& st)
{
    return FileKey{qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size), qint64(st.st_ino)};
}

bool readAll(int fd, qint64 size, QByteArray& out)
{
    out.resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out.data() + done, static_cast<std::size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    out.truncate(done);
    return done == size;
}

} // namespace

std::optional<FileKey> regularFileKey(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return keyOf(st);
}

std::optional<std::pair<QByteArray, FileKey>> readRegularFile(const QString& path, qint64 limit)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below like any non-file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::pair<QByteArray, FileKey>> result;
    struct stat before {};
    struct stat after {};
    QByteArray bytes;
    if (::fstat(fd, &before) == 0 && S_ISREG(before.st_mode) && before.st_size <= limit &&
        readAll(fd, before.st_size, bytes) && ::fstat(fd, &after) == 0 && keyOf(after) == keyOf(before))
        result.emplace(std::move(bytes), keyOf(before));
    ::close(fd);
    return result;
}

std::shared_ptr<FileData> readFile(const QString& path, const ReadOptions& options)
{
    auto data = std::make_shared<FileData>();
    data->path = path;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto read = readRegularFile(path, kMaxFileBytes);
        if (!read) {
            if (regularFileKey(path))
                continue; // it changed while it was read
            return data;
        }
        data->key = read->second;
        data->readable = true;
        CalendarText header;
        data->parsed = readCalendar(read->first, options, &header);
        data->zones = std::move(header.zones);
        data->name = header.name;
        data->color = header.color;
        return data;
    }
    return data; // never stable: skipped this time; the watcher brings the next try
}

std::vector<std::shared_ptr<const FileData>> readFiles(const std::vector<QString>& paths,
                                                       const std::vector<std::shared_ptr<const FileData>>& previous,
                                                       const ReadOptions& options)
{
    QHash<QString, std::shared_ptr<const FileData>> reusable;
    for (const auto& f : previous)
        reusable.insert(f->path, f);
    std::vector<std::shared_ptr<const FileData>> files(paths.size());
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto it = reusable.constFind(paths[i]);
        const bool unchanged = it != reusable.constEnd() && (*it)->readable && regularFileKey(paths[i]) == (*it)->key;
        if (unchanged)
            files[i] = *it;
        else
            toRead.push_back(i);
    }
    // Each large file also reads its parts in parallel.
    parallelFor(toRead.size(), [&](std::size_t k) {
        const bool wanted = !options.cancelled || !options.cancelled->load();
        files[toRead[k]] = wanted ? readFile(paths[toRead[k]], options) : std::make_shared<FileData>();
    });
    return files;
}

} // namespace kalvix::ical

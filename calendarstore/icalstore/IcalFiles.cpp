#include "calendarstore/icalstore/IcalFiles.h"

#include "calendarstore/ical/IcalReader.h"
#include "calendarstore/ical/IcalZones.h"
#include "calendarstore/icalstore/WatchedWork.h"

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
        ioProgress();
    }
    out.truncate(done);
    return done == size;
}

QByteArrayView viewOf(const ParsedCalendar& calendar, TextRef ref)
{
    return QByteArrayView(calendar.text).sliced(ref.at, ref.size);
}

// The files of [begin, end) (one calendar's) that share a UID with another of them.
std::vector<std::size_t>
filesSharingUids(const std::vector<std::shared_ptr<const FileData>>& files, std::size_t begin, std::size_t end)
{
    QHash<QByteArrayView, std::size_t> owner;
    std::vector<bool> shared(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const ParsedCalendar& parsed = files[i]->parsed;
        for (const EventInfo& event : parsed.events) {
            if (!event.uid.present())
                continue;
            const QByteArrayView uid = viewOf(parsed, event.uid);
            const auto it = owner.constFind(uid);
            if (it == owner.constEnd()) {
                owner.insert(uid, i);
            } else if (*it != i) {
                shared[*it - begin] = true;
                shared[i - begin] = true;
            }
        }
    }
    std::vector<std::size_t> out;
    for (std::size_t i = begin; i < end; ++i) {
        if (shared[i - begin])
            out.push_back(i);
    }
    return out;
}

void joinFiles(std::vector<std::shared_ptr<const FileData>>& files,
               const std::vector<std::size_t>& which,
               const ReadOptions& options)
{
    QByteArray text;
    std::vector<std::size_t> joined;
    for (std::size_t i : which) {
        // One that changed since it was read keeps what was read: the watcher brings the next load.
        const auto read = readRegularFile(files[i]->path, kMaxFileBytes);
        if (!read || read->second != files[i]->key)
            continue;
        text.append(read->first).append("\r\n");
        joined.push_back(i);
    }
    if (joined.size() < 2)
        return;
    auto all = std::make_shared<FileData>();
    all->path = files[joined.front()]->path;
    all->key = files[joined.front()]->key;
    all->readable = true;
    all->joined = true;
    CalendarText header;
    all->parsed = readCalendar(text, options, &header);
    all->zones = std::move(header.zones);
    all->name = header.name;
    all->color = header.color;
    for (std::size_t i : joined) {
        if (i == joined.front())
            continue;
        auto none = std::make_shared<FileData>();
        none->path = files[i]->path;
        none->key = files[i]->key;
        none->readable = true;
        none->joined = true;
        files[i] = std::move(none);
    }
    files[joined.front()] = std::move(all);
}

} // namespace

std::optional<FileKey> regularFileKey(const QString& path)
{
    const IoScope waiting(path);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return keyOf(st);
}

std::optional<std::pair<QByteArray, FileKey>> readRegularFile(const QString& path, qint64 limit)
{
    const IoScope waiting(path);
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
        if (workGivenUp())
            return data;
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

ReadFiles readFiles(const std::vector<QString>& paths,
                    const std::vector<std::shared_ptr<const FileData>>& previous,
                    const ReadOptions& options,
                    std::chrono::milliseconds patience)
{
    QHash<QString, std::shared_ptr<const FileData>> reusable;
    for (const auto& f : previous)
        reusable.insert(f->path, f);
    // The work may outlive this call (a read that hangs): it owns what it uses.
    auto results = runWatched<std::shared_ptr<const FileData>>(
        paths,
        [paths, reusable = std::move(reusable), options](std::size_t i) -> std::shared_ptr<const FileData> {
            if (options.cancelled && options.cancelled->load())
                return std::make_shared<FileData>();
            auto it = reusable.constFind(paths[i]);
            if (it != reusable.constEnd() && (*it)->readable && !(*it)->joined) {
                const std::optional<FileKey> key = regularFileKey(paths[i]);
                if (workGivenUp())
                    return nullptr;
                if (key == (*it)->key)
                    return *it;
            }
            return readFile(paths[i], options);
        },
        patience);
    ReadFiles out;
    out.files.reserve(paths.size());
    for (auto& file : results.results)
        out.files.push_back(file ? std::move(*file) : nullptr);
    for (std::size_t i : results.stalled)
        out.notAnswering.append(paths[i]);
    return out;
}

void joinSharedEvents(std::vector<std::shared_ptr<const FileData>>& files,
                      const std::vector<std::uint32_t>& fileCalendar,
                      const ReadOptions& options)
{
    for (std::size_t begin = 0, end = 0; begin < files.size(); begin = end) {
        end = begin + 1;
        while (end < files.size() && fileCalendar[end] == fileCalendar[begin])
            ++end;
        if (end - begin < 2 || (options.cancelled && options.cancelled->load()))
            continue;
        const std::vector<std::size_t> shared = filesSharingUids(files, begin, end);
        if (!shared.empty())
            joinFiles(files, shared, options);
    }
}

} // namespace kalvix::ical

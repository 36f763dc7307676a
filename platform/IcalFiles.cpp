#include "platform/IcalFiles.h"

#include "platform/IcalReader.h"
#include "platform/ParallelFor.h"

#include <QFile>

#include <sys/stat.h>

namespace kalvix::ical {
namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
constexpr qsizetype kChunkedFileBytes = 512 * 1024;

void parseText(const QByteArray& text, const ReadOptions& options, FileData& data)
{
    CalendarText split = splitCalendarText(text, options.chunkEvents);
    data.parsed.skipped = split.truncated;
    std::vector<ParsedCalendar> parts(split.chunks.size());
    auto parse = [&](std::size_t i) { parts[i] = parseChunk(split.chunks[i], split.zones, options); };
    if (text.size() > kChunkedFileBytes && parts.size() > 1) {
        parallelFor(parts.size(), parse);
    } else {
        for (std::size_t i = 0; i < parts.size(); ++i)
            parse(i);
    }
    std::size_t occurrences = 0;
    std::size_t events = 0;
    for (const auto& part : parts) {
        occurrences += part.occurrences.size();
        events += part.events.size();
    }
    data.parsed.occurrences.reserve(occurrences);
    data.parsed.events.reserve(events);
    for (auto& part : parts)
        append(data.parsed, std::move(part));
    applyOverrides(data.parsed);
    data.zones = std::move(split.zones);
    data.name = split.name;
    data.color = split.color;
}

} // namespace

std::optional<FileKey> regularFileKey(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileKey{qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size), qint64(st.st_ino)};
}

std::shared_ptr<FileData> readFile(const QString& path, const ReadOptions& options)
{
    auto data = std::make_shared<FileData>();
    data->path = path;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto before = regularFileKey(path);
        if (!before || before->size > kMaxFileBytes)
            return data;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return data;
        const QByteArray text = file.readAll();
        const auto after = regularFileKey(path);
        if (!after || !(*after == *before)) {
            continue;
        }
        data->key = *before;
        data->readable = true;
        parseText(text, options, *data);
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
        const auto key = regularFileKey(paths[i]);
        if (it != reusable.constEnd() && (*it)->readable && key && *key == (*it)->key)
            files[i] = *it;
        else
            toRead.push_back(i);
    }
    std::vector<std::size_t> small;
    for (std::size_t i : toRead) {
        const auto key = regularFileKey(paths[i]);
        if (key && key->size > kChunkedFileBytes)
            files[i] = readFile(paths[i], options);
        else
            small.push_back(i);
    }
    parallelFor(small.size(), [&](std::size_t k) { files[small[k]] = readFile(paths[small[k]], options); });
    return files;
}

} // namespace kalvix::ical

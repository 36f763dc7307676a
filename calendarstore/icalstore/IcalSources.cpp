#include "calendarstore/icalstore/IcalSources.h"

#include "calendarstore/icalstore/WatchedWork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <utility>

namespace kalvix::ical {
namespace {

constexpr int kMaxFolderDepth = 3;
constexpr int kMaxFolders = 10000; // a scan looks at no more folders than this, whatever the links

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Whether a regular file can be opened for reading, without waiting on anything.
bool canOpen(const QString& path)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Whether a regular file may be read: from its mode when that says so (no further system call, which
// counts with 50,000 sources), else by opening it.
bool mayRead(const struct stat& st, const QString& path)
{
    const uid_t me = ::geteuid();
    if (me == 0 || (st.st_uid == me && (st.st_mode & S_IRUSR)) || (st.st_mode & S_IROTH))
        return true;
    return canOpen(path);
}

QString readSmallText(const QString& path)
{
    struct stat st {};
    if (::stat(encoded(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) || !canOpen(path))
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(4096)).trimmed();
}

bool hasIcsSuffix(QByteArrayView name)
{
    return name.size() > 4 && name.last(4).compare(".ics", Qt::CaseInsensitive) == 0;
}

// The .ics files (of any type: a FIFO is refused later) and the folders of one folder, by name, hidden
// ones left out as a file manager would. The entry types come from the listing itself, so a folder of
// 50,000 files is listed without 50,000 more system calls; links are followed.
void listFolder(const QString& dir, QStringList& files, QStringList& folders)
{
    DIR* listing = ::opendir(encoded(dir).constData());
    if (!listing)
        return;
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    while (const dirent* e = ::readdir(listing)) {
        ioProgress();
        const QByteArrayView name(e->d_name);
        if (name.isEmpty() || name.front() == '.')
            continue;
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st {};
            const QByteArray path = encoded(dir) + '/' + name;
            isFolder = ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder)
            folders.append(prefix + QFile::decodeName(e->d_name));
        else if (hasIcsSuffix(name))
            files.append(prefix + QFile::decodeName(e->d_name));
    }
    ::closedir(listing);
    files.sort();
    folders.sort();
}

// One source, on its own: sources are scanned in parallel, and one that hangs holds back no other.
class Scan {
public:
    SourceScan run(const QString& source)
    {
        const IoScope waiting(source);
        scanSource(source);
        m_out.watchPaths = QStringList(m_watch.begin(), m_watch.end());
        return std::move(m_out);
    }

private:
    void unreadable(const QString& source)
    {
        if (m_out.unreadable.isEmpty())
            m_out.unreadable = source;
    }

    void scanSource(const QString& source)
    {
        struct stat st {};
        if (::stat(encoded(source).constData(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                watchNearestFolder(source);
            else
                unreadable(source); // there, but out of reach
            return;
        }
        m_out.anySourceExists = true;
        const QString absolute = QFileInfo(source).absoluteFilePath();
        if (S_ISDIR(st.st_mode)) {
            if (::access(encoded(source).constData(), R_OK | X_OK) != 0)
                return unreadable(source);
            m_out.anySourceReadable = true;
            scanFolder(absolute, 0);
        } else if (S_ISREG(st.st_mode) && mayRead(st, source)) {
            m_out.anySourceReadable = true;
            m_out.calendars.push_back(CalendarEntry{absolute, {}, std::nullopt, {absolute}, identityOf(st), {}});
            m_watch.insert(QFileInfo(absolute).absolutePath());
        } else {
            unreadable(source); // unreadable, or a FIFO, a device or a socket: never read as a file
        }
    }

    // To see a source that does not exist (yet) come.
    void watchNearestFolder(const QString& source)
    {
        // By name: QDir::cdUp() will not leave a folder whose parent is missing too.
        QString up = QFileInfo(source).absolutePath();
        while (!QFileInfo(up).isDir() && up != QFileInfo(up).path())
            up = QFileInfo(up).path();
        if (QFileInfo(up).isDir())
            m_watch.insert(up);
    }

    // Each real folder once, however many links lead to it.
    void scanFolder(const QString& dir, int depth)
    {
        ioProgress();
        struct stat st {};
        if (::stat(encoded(dir).constData(), &st) != 0 || m_folders.size() >= kMaxFolders ||
            !m_folders.insert(identityOf(st)).second)
            return;
        m_watch.insert(dir);
        const QDir d(dir);
        CalendarEntry entry;
        QStringList subfolders;
        listFolder(dir, entry.files, subfolders);
        if (!entry.files.isEmpty()) {
            entry.path = dir;
            entry.name = readSmallText(d.filePath(QStringLiteral("displayname")));
            entry.color = CalendarColor::fromName(readSmallText(d.filePath(QStringLiteral("color"))));
            entry.identity = identityOf(st);
            m_out.calendars.push_back(std::move(entry));
        }
        if (depth < kMaxFolderDepth) {
            for (const QString& sub : std::as_const(subfolders))
                scanFolder(sub, depth + 1);
        }
    }

    static std::pair<std::uint64_t, std::uint64_t> identityOf(const struct stat& st)
    {
        return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
    }

    SourceScan m_out;
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_folders;
    QSet<QString> m_watch;
};

} // namespace

SourceScan scanSources(const QStringList& sources, std::chrono::milliseconds patience)
{
    const std::vector<QString> paths(sources.begin(), sources.end());
    auto scans = runWatched<SourceScan>(
        paths, [paths](std::size_t i) { return Scan().run(paths[i]); }, patience);
    // In the order of the sources, each real folder or file where it is first met.
    SourceScan out;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    QSet<QString> watch;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!scans.results[i]) {
            out.notAnswering.append(paths[i]);
            continue;
        }
        SourceScan& scan = *scans.results[i];
        for (CalendarEntry& entry : scan.calendars) {
            if (seen.insert(entry.identity).second)
                out.calendars.push_back(std::move(entry));
        }
        for (const QString& path : std::as_const(scan.watchPaths))
            watch.insert(path);
        if (out.unreadable.isEmpty())
            out.unreadable = scan.unreadable;
        out.anySourceExists = out.anySourceExists || scan.anySourceExists;
        out.anySourceReadable = out.anySourceReadable || scan.anySourceReadable;
    }
    out.watchPaths = QStringList(watch.begin(), watch.end());
    return out;
}

} // namespace kalvix::ical

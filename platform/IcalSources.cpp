#include "platform/IcalSources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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

class Scan {
public:
    SourceScan run(const QStringList& sources)
    {
        for (const QString& source : sources)
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
            if (m_files.insert({st.st_dev, st.st_ino}).second)
                m_out.calendars.push_back(CalendarEntry{absolute, {}, std::nullopt, {absolute}});
            m_watch.insert(QFileInfo(absolute).absolutePath());
        } else {
            unreadable(source); // unreadable, or a FIFO, a device or a socket: never read as a file
        }
    }

    // To see a source that does not exist (yet) come.
    void watchNearestFolder(const QString& source)
    {
        QDir up = QFileInfo(source).absoluteDir();
        while (!up.exists() && up.cdUp()) {
        }
        if (up.exists())
            m_watch.insert(up.absolutePath());
    }

    // Each real folder once, however many links lead to it.
    void scanFolder(const QString& dir, int depth)
    {
        struct stat st {};
        if (::stat(encoded(dir).constData(), &st) != 0 || m_folders.size() >= kMaxFolders ||
            !m_folders.insert({st.st_dev, st.st_ino}).second)
            return;
        m_watch.insert(dir);
        const QDir d(dir);
        CalendarEntry entry;
        QStringList subfolders;
        for (const QFileInfo& info :
             d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
            if (info.isDir())
                subfolders.append(info.filePath());
            else if (info.suffix().compare(u"ics", Qt::CaseInsensitive) == 0)
                entry.files.append(info.filePath());
        }
        if (!entry.files.isEmpty()) {
            entry.path = dir;
            entry.name = readSmallText(d.filePath(QStringLiteral("displayname")));
            entry.color = CalendarColor::fromName(readSmallText(d.filePath(QStringLiteral("color"))));
            m_out.calendars.push_back(std::move(entry));
        }
        if (depth < kMaxFolderDepth) {
            for (const QString& sub : std::as_const(subfolders))
                scanFolder(sub, depth + 1);
        }
    }

    SourceScan m_out;
    std::set<std::pair<dev_t, ino_t>> m_folders;
    std::set<std::pair<dev_t, ino_t>> m_files;
    QSet<QString> m_watch;
};

} // namespace

SourceScan scanSources(const QStringList& sources)
{
    return Scan().run(sources);
}

} // namespace kalvix::ical

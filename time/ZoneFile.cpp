#include "time/ZoneFile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvix {
namespace {

// The largest zone file has a few kilobytes; anything much larger is not one.
constexpr qint64 kMaxZoneFileSize = 256 * 1024;
// Files kept: /etc/localtime and a TZ file, and a few more for tests.
constexpr std::size_t kZoneFilesKept = 8;

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    friend bool operator==(const FileIdentity& a, const FileIdentity& b)
    {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
               a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
    }
};

FileIdentity identityOf(const struct stat& st)
{
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// The bytes of a regular file of zone-file size; nothing for FIFOs, devices, folders and large files.
// Opened without blocking, then checked on the open descriptor, so a FIFO put in its place never blocks.
std::optional<QByteArray> readZoneFile(const QByteArray& path, FileIdentity* identity = nullptr)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxZoneFileSize) {
        QByteArray data(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, static_cast<size_t>(data.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        if (done == data.size() && data.startsWith("TZif"))
            bytes = std::move(data);
        if (identity)
            *identity = identityOf(st);
    }
    ::close(fd);
    return bytes;
}

bool isSafeZoneName(const QByteArray& name)
{
    return !name.isEmpty() && !name.startsWith('/') && !name.contains("..") && name.size() < 256;
}

// The names in the tree (variants: its posix/ and right/ copies) whose files hold exactly `bytes`.
QList<QByteArray> namesWithBytes(const QString& root, const QByteArray& bytes, bool variants)
{
    QList<QByteArray> names;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.size() != bytes.size())
            continue;
        QByteArray name = info.filePath().mid(root.size() + 1).toLocal8Bit();
        const bool isVariant = name.startsWith("posix/") || name.startsWith("right/");
        if (isVariant != variants)
            continue;
        if (readZoneFile(info.filePath().toLocal8Bit()) != bytes)
            continue;
        names.append(isVariant ? name.mid(6) : name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The zones (not links) the tree's compiled source lists: "Z Europe/London ..." lines of tzdata.zi.
std::set<QByteArray> canonicalZones(const QString& root)
{
    std::set<QByteArray> zones;
    QFile f(root + QStringLiteral("/tzdata.zi"));
    if (!f.open(QIODevice::ReadOnly))
        return zones;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(4096);
        if (line.startsWith("Z "))
            zones.insert(line.mid(2, line.indexOf(' ', 2) - 2).trimmed());
    }
    return zones;
}

QByteArray hintFrom(const char* hintPath)
{
    if (!hintPath)
        return {};
    QFile f(QString::fromLocal8Bit(hintPath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readLine(256).trimmed();
}

// The POSIX rule that closes a TZif file of version 2 or later: the text between its last two newlines.
QByteArray closingRule(const QByteArray& bytes)
{
    if (bytes.size() < 5 || bytes.at(4) < '2' || !bytes.endsWith('\n'))
        return {};
    const qsizetype start = bytes.lastIndexOf('\n', bytes.size() - 2);
    if (start < 0)
        return {};
    const QByteArray rule = bytes.mid(start + 1, bytes.size() - start - 2);
    const bool printable = std::all_of(rule.begin(), rule.end(), [](char c) { return c > ' ' && c < 127; });
    return printable ? rule : QByteArray();
}

QByteArray identify(const QByteArray& bytes, const char* hintPath)
{
    const QString root = zoneinfoRoot();
    const QByteArray hint = hintFrom(hintPath);
    if (isSafeZoneName(hint) && readZoneFile((root + u'/').toLocal8Bit() + hint) == bytes)
        return hint;
    QList<QByteArray> names = namesWithBytes(root, bytes, false);
    if (names.isEmpty())
        names = namesWithBytes(root, bytes, true);
    if (names.isEmpty())
        return closingRule(bytes);
    if (names.size() > 1) {
        const std::set<QByteArray> zones = canonicalZones(root);
        for (const QByteArray& name : std::as_const(names)) {
            if (zones.count(name))
                return name;
        }
    }
    return names.first();
}

} // namespace

QString zoneinfoRoot()
{
    for (const char* dir : {"/usr/share/zoneinfo", "/usr/lib/zoneinfo", "/usr/share/lib/zoneinfo"}) {
        if (QFileInfo(QString::fromLatin1(dir)).isDir())
            return QString::fromLatin1(dir);
    }
    return QStringLiteral("/usr/share/zoneinfo");
}

QByteArray zoneNameOfFile(const QByteArray& path, const char* hintPath)
{
    struct Known {
        FileIdentity identity;
        QByteArray name;
    };
    thread_local std::map<QByteArray, Known> known;
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    if (auto it = known.find(path); it != known.end() && it->second.identity == identityOf(st))
        return it->second.name;

    FileIdentity identity = identityOf(st);
    const std::optional<QByteArray> bytes = readZoneFile(path, &identity);
    const QByteArray name = bytes ? identify(*bytes, hintPath) : QByteArray();
    if (known.size() >= kZoneFilesKept)
        known.clear();
    // Kept under the identity of what was read: a file replaced meanwhile is read again next time.
    known[path] = Known{identity, name};
    return name;
}

} // namespace kalvix

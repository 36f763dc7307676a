#include "desktop/UserFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvix {
namespace {

qint64 nanoseconds(const timespec& t)
{
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stampFrom(const struct stat& st)
{
    FileStamp s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = nanoseconds(st.st_mtim);
    s.ctimeNs = nanoseconds(st.st_ctim);
    s.mode = st.st_mode & 07777;
    return s;
}

ReadStatus statusForOpenError(int error)
{
    return error == ENOENT || error == ENOTDIR ? ReadStatus::absent : ReadStatus::unreadable;
}

// Reads to the end; nothing when more than `limit` bytes come or a read fails.
std::optional<QByteArray> readToEnd(int fd, qint64 sizeHint, qint64 limit, ReadStatus* status)
{
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(qMin(sizeHint, limit)) + 1);
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *status = ReadStatus::unreadable;
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        if (bytes.size() + n > limit) { // the file grew past the limit while it was read
            *status = ReadStatus::tooLarge;
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
}

// The file a path names after following links; the path itself when it is not a link.
std::optional<QByteArray> resolveLinks(const QByteArray& path, int* error)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.constData(), nullptr);
    if (!real) {
        *error = errno; // a dangling link: where it points is the user's business, not a place to create
        return std::nullopt;
    }
    QByteArray resolved(real);
    std::free(real);
    return resolved;
}

QByteArray temporaryName(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(slash);
    const QByteArray base = target.mid(slash + 1);
    const QByteArray tag = QByteArray::number(QRandomGenerator::global()->generate(), 36);
    return folder + "/." + base + '.' + tag + ".tmp";
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void syncFolderOf(const QByteArray& target)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray(slash == 0 ? "/" : ".") : target.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd); // the rename is done; a folder that cannot be synced changes nothing about it
    ::close(fd);
}

class Replacement {
public:
    Replacement(QByteArray target, const std::optional<WriteFault>& fault)
        : m_target(std::move(target))
        , m_fault(fault)
    {
    }
    ~Replacement()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }

    // Runs `action` as `step`; records errno and stops at the first failure.
    template <typename Action> bool step(WriteStep which, Action action)
    {
        if (m_fault && m_fault->step == which) {
            m_error = m_fault->error;
            return false;
        }
        if (action())
            return true;
        m_error = errno ? errno : EIO;
        return false;
    }

    WriteResult run(const QByteArray& bytes, const std::optional<FileStamp>& expected);

private:
    QByteArray m_target;
    std::optional<WriteFault> m_fault;
    QByteArray m_temporary;
    int m_fd = -1;
    int m_error = 0;
};

WriteResult Replacement::run(const QByteArray& bytes, const std::optional<FileStamp>& expected)
{
    struct stat old {};
    const bool existed = ::stat(m_target.constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        return {WriteStatus::failed, EINVAL};
    if (existed && ::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) != 0)
        return {WriteStatus::failed, errno}; // made read-only on purpose: replacing it would defeat that
    const auto fail = [this] { return WriteResult{WriteStatus::failed, m_error}; };

    if (!step(WriteStep::create, [&] {
            for (int attempt = 0; attempt < 16 && m_fd < 0; ++attempt) {
                const QByteArray name = temporaryName(m_target);
                m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
                if (m_fd >= 0)
                    m_temporary = name;
                else if (errno != EEXIST)
                    return false;
            }
            return m_fd >= 0;
        }))
        return fail();
    if (existed) {
        if (::fchmod(m_fd, old.st_mode & 07777) != 0)
            return {WriteStatus::failed, errno};
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(m_fd, old.st_uid, old.st_gid); // only root may; others keep their own file
    }
    if (!step(WriteStep::write, [&] { return writeAll(m_fd, bytes); }) ||
        !step(WriteStep::sync, [&] { return ::fsync(m_fd) == 0; }) ||
        !step(WriteStep::close, [&] { return ::close(std::exchange(m_fd, -1)) == 0; }))
        return fail();
    if (expected && stampOf(QFile::decodeName(m_target)) != *expected)
        return {WriteStatus::changedMeanwhile, 0};
    if (!step(WriteStep::rename, [&] { return ::rename(m_temporary.constData(), m_target.constData()) == 0; }))
        return fail();
    m_temporary.clear();
    syncFolderOf(m_target);
    return {WriteStatus::ok, 0};
}

} // namespace

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampFrom(st);
}

UserFileRead readUserFile(const QString& path, qint64 limit)
{
    UserFileRead result;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        result.status = statusForOpenError(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) { // checked before open: opening a FIFO or a device can block or act
        result.status = ReadStatus::notAFile;
        return result;
    }
    // O_NONBLOCK: should a FIFO take the file's place between the check and the open, open returns.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.status = statusForOpenError(errno);
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.status = ReadStatus::notAFile;
        return result;
    }
    result.stamp = stampFrom(st);
    if (st.st_size > limit) {
        ::close(fd);
        result.status = ReadStatus::tooLarge;
        return result;
    }
    ReadStatus status = ReadStatus::ok;
    std::optional<QByteArray> bytes = readToEnd(fd, st.st_size, limit, &status);
    ::close(fd);
    result.status = status;
    if (bytes)
        result.bytes = std::move(*bytes);
    return result;
}

WriteResult replaceUserFile(const QString& path,
                            const QByteArray& bytes,
                            const std::optional<FileStamp>& expected,
                            const std::optional<WriteFault>& fault)
{
    int error = 0;
    const std::optional<QByteArray> target = resolveLinks(QFile::encodeName(path), &error);
    if (!target)
        return {WriteStatus::failed, error};
    Replacement replacement(*target, fault);
    errno = 0;
    return replacement.run(bytes, expected);
}

WriteResult writeFileHere(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return {WriteStatus::failed, errno};
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = EINVAL;
    else if (::ftruncate(fd, 0) != 0 || !writeAll(fd, bytes))
        error = errno ? errno : EIO;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return {error == 0 ? WriteStatus::ok : WriteStatus::failed, error};
}

bool makePrivateFolder(const QString& folder)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    struct stat st {};
    if (::stat(name.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const qsizetype slash = name.lastIndexOf('/');
    if (slash > 0 && !makePrivateFolder(QFile::decodeName(name.left(slash))))
        return false;
    if (::mkdir(name.constData(), 0700) == 0)
        return true;
    return errno == EEXIST && ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode); // made meanwhile
}

void keepFolderPrivate(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    // Through the descriptor: what is checked is what is changed.
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0077) != 0)
        ::fchmod(fd, st.st_mode & 0700);
    ::close(fd);
}

void removeStaleTemporaries(const QString& path)
{
    const QFileInfo target(path);
    const QString prefix = u'.' + target.fileName() + u'.';
    QDir folder = target.dir();
    const QStringList names = folder.entryList({prefix + QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        struct stat st {};
        const QByteArray full = QFile::encodeName(folder.filePath(name));
        if (::lstat(full.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(full.constData());
    }
}

FolderLock::FolderLock(const QString& folder)
    : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd < 0)
        return;
    int rc = 0;
    do
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    m_held = rc == 0;
    m_busy = rc != 0 && errno == EWOULDBLOCK;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

} // namespace kalvix

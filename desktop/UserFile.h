#pragma once
// Reading and replacing files that belong to the user (the preferences file, the autostart entry).
//
// The rules: a file is read whole or not at all; only regular files are opened (a FIFO, device or
// folder in its place is reported, never opened as a file, so nothing can block); a file that could
// not be read whole is never replaced; a replacement is atomic (a temporary file beside the target,
// written, synced and closed with every error checked, then renamed over it), so a failure at any
// step leaves the old file whole and is reported; a replaced file keeps its permission bits. Symbolic
// links are followed: the file they name is replaced and the link stays.
#include <QByteArray>
#include <QString>

#include <cerrno>
#include <optional>

namespace kalvix {

// Preferences and autostart entries are a few kilobytes; a file past this size is not one of them.
inline constexpr qint64 kMaxUserFileSize = 16 * 1024 * 1024;

// What stat says of a file: enough to tell whether it was rewritten or replaced since.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0; // nanoseconds since the Unix epoch
    qint64 ctimeNs = 0;
    unsigned mode = 0; // permission bits only

    double mtimeSeconds() const { return static_cast<double>(mtimeNs) / 1e9; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file `path` names, following links; `exists` is false when there is none.
FileStamp stampOf(const QString& path);

enum class ReadStatus {
    ok,
    absent,     // no file (or a dangling link)
    unreadable, // permission denied or an I/O error
    notAFile,   // a folder, FIFO, socket or device
    tooLarge,   // more than the limit
};

struct UserFileRead {
    ReadStatus status = ReadStatus::absent;
    QByteArray bytes; // the whole file when status is ok, else empty
    FileStamp stamp;  // of the file that was read (exists is false when absent)

    // The file's content can be used, and replaced: it was read whole or does not exist.
    bool usable() const { return status == ReadStatus::ok || status == ReadStatus::absent; }
};

UserFileRead readUserFile(const QString& path, qint64 limit = kMaxUserFileSize);

// The steps of a replacement, named so a test can make one fail as a full disk or a failing device
// would.
enum class WriteStep { create, write, sync, close, rename };
struct WriteFault {
    WriteStep step = WriteStep::write;
    int error = ENOSPC;
};

enum class WriteStatus {
    ok,
    failed,           // nothing was replaced; errno-style detail in WriteResult::error
    changedMeanwhile, // the file no longer matched `expected` just before the rename; nothing replaced
};

struct WriteResult {
    WriteStatus status = WriteStatus::failed;
    int error = 0;
};

// Replaces the file at `path` with `bytes` as described above. A new file gets the mode a plain
// create would (0666 less the umask); an existing one keeps its mode, and its owner where the process
// may set it. An existing file the process may not write (a read-only file) is not replaced. With `expected`, the file
// is checked again after the temporary is written and is only replaced when it still matches (a file that did not exist
// must still not exist). `fault` makes the named step fail with its error, for tests.
WriteResult replaceUserFile(const QString& path,
                            const QByteArray& bytes,
                            const std::optional<FileStamp>& expected = std::nullopt,
                            const std::optional<WriteFault>& fault = std::nullopt);

// Writes `bytes` to the file at `path` itself, for files Kalvix makes in a folder it was given (a
// snapshot): a link there is not followed (ELOOP), and a FIFO, device or folder there is not written
// (EINVAL, or ENXIO for a FIFO nobody reads), so nothing blocks and no file elsewhere is overwritten.
// A regular file there is rewritten in place.
WriteResult writeFileHere(const QString& path, const QByteArray& bytes);

// Makes `folder` and any missing parents with mode 0700 (less the umask), as the XDG base directory
// rules ask: a settings folder that others can open can be locked by them. Existing folders keep
// their mode. False when the folder is not there afterwards.
bool makePrivateFolder(const QString& folder);

// Takes group's and others' access away from an existing folder of the user's own that has it (one made
// by an older Kalvix with 0755): whoever can open the folder can hold its lock and keep saves waiting.
// A link, or a folder of someone else's, is left as it is.
void keepFolderPrivate(const QString& folder);

// Removes the temporaries replaceUserFile leaves beside `path` when the process is killed mid-save
// (".<name>.<tag>.tmp", regular files only). Call it only while holding the folder's lock, so no live
// save of the same file owns one of them.
void removeStaleTemporaries(const QString& path);

// An exclusive advisory lock on a folder (flock), held for the life of the object. Kalvix processes
// take it around read-change-write of a file in that folder so their saves do not interleave. Other
// programs do not take it, which is why writers also compare stamps. The lock is never waited for:
// anyone who can open the folder can hold it, so a caller finding it busy() comes back later instead
// of blocking. Where the file system has no locks, held() and busy() are both false and the caller
// goes on without.
class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return m_held; }
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_held = false;
    bool m_busy = false;
};

} // namespace kalvix

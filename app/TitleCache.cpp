#include "app/TitleCache.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvix::titlecache {
namespace {

constexpr std::string_view kMagic = "kalvix-title 1";
constexpr std::int64_t kTickLatenessMs = 1500;
constexpr std::size_t kMostBytes = 4096;

// The value after `key` on a line of its own ("key value\n"), and the position after that line.
std::optional<std::string_view> field(std::string_view text, std::string_view key, std::size_t& at)
{
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.size() < key.size() + 1 || line.substr(0, key.size()) != key || line[key.size()] != ' ')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

bool hasNewline(std::string_view s)
{
    return s.find('\n') != std::string_view::npos;
}

// A folder of this user's, reached without a link, that nobody else may change (`forbidden` are the
// mode bits others must not have). Another user who can create things in it could plant a FIFO to
// block the writer, or a link to have it replace a file of the user's elsewhere.
bool ownFolder(const std::string& folder, mode_t forbidden)
{
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & forbidden) == 0;
}

} // namespace

std::string path()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return {};
    return std::string(runtime) + "/kalvix/title";
}

std::string environmentKey()
{
    std::string key;
    for (const char* name : {"TZ", "LC_ALL", "LC_TIME", "LANG", "HOME", "XDG_CONFIG_HOME"}) {
        key += name;
        if (const char* value = std::getenv(name)) {
            key += '=';
            key += value;
        }
        key += '\x1f';
    }
    return key;
}

std::int64_t validUntil(std::int64_t now, bool showsSeconds)
{
    const std::int64_t period = showsSeconds ? 1000 : 60000;
    return (now / period + 1) * period + kTickLatenessMs;
}

std::string encode(const Entry& entry)
{
    return std::string(kMagic) + "\nvalid-until " + std::to_string(entry.validUntilMs) + "\nenv " + entry.environment +
           "\ntitle " + entry.title + "\n";
}

std::optional<Entry> decode(std::string_view text)
{
    std::size_t at = 0;
    if (text.substr(0, kMagic.size() + 1) != std::string(kMagic) + "\n")
        return std::nullopt;
    at = kMagic.size() + 1;
    const auto until = field(text, "valid-until", at);
    const auto environment = field(text, "env", at);
    const auto title = field(text, "title", at);
    if (!until || !environment || !title || at != text.size() || until->empty() || until->size() > 18)
        return std::nullopt;
    Entry entry;
    for (char c : *until) {
        if (c < '0' || c > '9')
            return std::nullopt;
        entry.validUntilMs = entry.validUntilMs * 10 + (c - '0');
    }
    entry.environment = std::string(*environment);
    entry.title = std::string(*title);
    return entry;
}

bool write(const std::string& file, const Entry& entry)
{
    if (file.empty() || hasNewline(entry.title) || hasNewline(entry.environment))
        return false;
    const std::string folder = file.substr(0, file.rfind('/'));
    const std::string runtime = folder.substr(0, folder.rfind('/'));
    if (!ownFolder(runtime.empty() ? "/" : runtime, 022))
        return false; // a shared runtime folder: no title file, readers make the title afresh
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    if (!ownFolder(folder, 077))
        return false;
    const std::string temporary = file + ".new";
    ::unlink(temporary.c_str()); // left by a writer that was killed
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    const std::string text = encode(entry);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> readCurrent(const std::string& file, const std::string& environment, std::int64_t now)
{
    if (file.empty())
        return std::nullopt;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::string text(kMostBytes, '\0');
    ssize_t got = -1;
    // Only a regular file of this user's, writable by nobody else, is believed.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 022) == 0)
        got = ::read(fd, text.data(), text.size());
    ::close(fd);
    if (got <= 0 || static_cast<std::size_t>(got) >= kMostBytes)
        return std::nullopt;
    text.resize(static_cast<std::size_t>(got));
    const auto entry = decode(text);
    // Past its time, or further ahead than any title lasts (the clock was set back): made afresh.
    if (!entry || entry->environment != environment || now > entry->validUntilMs ||
        entry->validUntilMs - now > 60000 + kTickLatenessMs)
        return std::nullopt;
    return entry->title;
}

std::int64_t nowMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace kalvix::titlecache

// The `kalvix` command: a small front that answers `kalvix --print-title` from the running Kalvix's
// title file without loading the toolkit (bars run it every second), and otherwise starts the program
// itself, installed beside it in the library-executables folder. Plain C++: no Qt is loaded here.
#include "app/TitleCache.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <limits.h>
#include <unistd.h>

namespace {

// The program's path, relative to the folder of this command (set by the build).
std::string programPath()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {};
    const std::string me(self, static_cast<std::size_t>(length));
    return me.substr(0, me.rfind('/') + 1) + KALVIX_PROGRAM_RELATIVE_PATH;
}

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--print-title") == 0) {
        namespace cache = kalvix::titlecache;
        if (const auto title = cache::readCurrent(cache::path(), cache::environmentKey(), cache::nowMs()))
            return writeAll(STDOUT_FILENO, *title + '\n') ? 0 : 1;
    }
    const std::string program = programPath();
    // The program writes this command, not its own path, where users see one (the autostart entry).
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = '\0';
        ::setenv("KALVIX_COMMAND", self, 1);
    }
    ::execv(program.c_str(), argv);
    const std::string message = "kalvix: cannot start " + program + ": " + std::strerror(errno) + "\n";
    writeAll(STDERR_FILENO, message);
    return 127;
}

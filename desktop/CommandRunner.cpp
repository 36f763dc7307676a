#include "desktop/CommandRunner.h"

#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kalvix {
namespace {

// Starts the child; returns its pid, or -1 when it could not be started (glibc reports a failed exec too).
pid_t spawn(const QStringList& command, const QString& workingDirectory)
{
    if (command.isEmpty() || command.first().isEmpty())
        return -1;
    std::vector<QByteArray> storage;
    storage.reserve(static_cast<size_t>(command.size()));
    for (const QString& arg : command)
        storage.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const QByteArray dir = QFile::encodeName(workingDirectory);
    if (!dir.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

} // namespace

RunOutcome runAndWait(const QStringList& command, const QString& workingDirectory, std::chrono::milliseconds wait)
{
    const pid_t pid = spawn(command, workingDirectory);
    if (pid < 0)
        return RunOutcome::failedToStart;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? RunOutcome::exitedWithSuccess
                                                                 : RunOutcome::exitedWithFailure;
        if (done < 0) // someone else reaped it; its status is lost, and it did start
            return RunOutcome::stillRunning;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // An application that stays open is reaped whenever it ends, so it never lingers as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return RunOutcome::stillRunning;
}

bool startDetached(const QStringList& command, const QString& workingDirectory)
{
    return runAndWait(command, workingDirectory, std::chrono::milliseconds(0)) != RunOutcome::failedToStart;
}

} // namespace kalvix

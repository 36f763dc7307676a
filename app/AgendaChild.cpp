#include "app/AgendaChild.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kalvix {
namespace {

constexpr int kReapWaitMs = 500;

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// In the reader: waits for the word, then reads and answers. Never returns.
[[noreturn]] void runReader(const AgendaChild::Read& read, int go, int answer)
{
    // Told "r" and the time left, or anything else (the command is done, or gone): nothing to read.
    std::string word;
    char c = 0;
    while (::read(go, &c, 1) == 1 && c != '\n')
        word.push_back(c);
    if (word.size() < 2 || word[0] != 'r')
        ::_exit(0);
    const auto [text, status] = read(std::stoi(word.substr(1)));
    const QByteArray body = QByteArray::number(status) + '\n' + text.toUtf8();
    const QByteArray message = QByteArray::number(body.size()) + '\n' + body;
    writeAll(answer, message.constData(), std::size_t(message.size()));
    // Straight out: a worker still waiting on a hung mount must not be waited for by exit handlers.
    ::_exit(0);
}

// The answer "<length>\n<status>\n<text>", once all of it has come.
std::optional<std::pair<QString, int>> parsed(const QByteArray& bytes)
{
    const qsizetype lengthEnd = bytes.indexOf('\n');
    if (lengthEnd < 0)
        return std::nullopt;
    bool ok = false;
    const qsizetype length = bytes.left(lengthEnd).toLongLong(&ok);
    const QByteArray body = bytes.mid(lengthEnd + 1);
    if (!ok || body.size() < length)
        return std::nullopt;
    const qsizetype statusEnd = body.indexOf('\n');
    if (statusEnd < 0)
        return std::nullopt;
    return std::pair{QString::fromUtf8(body.mid(statusEnd + 1, length - statusEnd - 1)), body.left(statusEnd).toInt()};
}

} // namespace

std::optional<AgendaChild> AgendaChild::start(const Read& read, int marginMs)
{
    int go[2];
    int answer[2];
    int errors[2];
    if (::pipe2(go, O_CLOEXEC) != 0)
        return std::nullopt;
    if (::pipe2(answer, O_CLOEXEC) != 0) {
        ::close(go[0]);
        ::close(go[1]);
        return std::nullopt;
    }
    if (::pipe2(errors, O_CLOEXEC) != 0) {
        for (int fd : {go[0], go[1], answer[0], answer[1]})
            ::close(fd);
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(go[1]);
        ::close(answer[0]);
        ::close(errors[0]);
        // The caller's standard output and error are never held by a reader that cannot end.
        const int nothing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(nothing, STDOUT_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        runReader(read, go[0], answer[1]);
    }
    ::close(go[0]);
    ::close(answer[1]);
    ::close(errors[1]);
    if (pid < 0) {
        for (int fd : {go[1], answer[0], errors[0]})
            ::close(fd);
        return std::nullopt;
    }
    // A reader that is gone must not end the command through a write to its pipe.
    ::signal(SIGPIPE, SIG_IGN);
    return AgendaChild(pid, go[1], answer[0], errors[0], marginMs);
}

AgendaChild::AgendaChild(pid_t pid, int go, int answer, int errors, int marginMs)
    : m_pid(pid)
    , m_go(go)
    , m_answer(answer)
    , m_errors(errors)
    , m_marginMs(marginMs)
{
}

AgendaChild::AgendaChild(AgendaChild&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1))
    , m_go(std::exchange(other.m_go, -1))
    , m_answer(std::exchange(other.m_answer, -1))
    , m_errors(std::exchange(other.m_errors, -1))
    , m_marginMs(other.m_marginMs)
{
}

AgendaChild::~AgendaChild()
{
    closeAll();
    // Its answer came, or will not: it is told to end (one held by a hung mount ends when the mount
    // lets go, instead of going on), and reaped when it already has.
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, WNOHANG);
    }
}

void AgendaChild::closeAll()
{
    for (int* fd : {&m_go, &m_answer, &m_errors}) {
        if (*fd >= 0)
            ::close(std::exchange(*fd, -1));
    }
}

void AgendaChild::dismiss()
{
    closeAll(); // the reader reads the end of the pipe and ends
    if (m_pid > 0)
        ::waitpid(std::exchange(m_pid, -1), nullptr, 0);
}

std::optional<std::pair<QString, int>> AgendaChild::read(int waitMs)
{
    const std::string word = "r" + std::to_string(waitMs) + "\n";
    if (!writeAll(m_go, word.data(), word.size()))
        return std::nullopt;
    QElapsedTimer waited;
    waited.start();
    QByteArray bytes;
    std::optional<std::pair<QString, int>> result;
    while (!result) {
        const qint64 left = qint64(waitMs) + m_marginMs - waited.elapsed();
        if (left <= 0)
            break;
        pollfd fds[2] = {{m_answer, POLLIN, 0}, {m_errors, POLLIN, 0}};
        const int ready = ::poll(fds, m_errors >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[4096];
        if (m_errors >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = ::read(m_errors, buffer, sizeof buffer);
            if (n > 0)
                writeAll(STDERR_FILENO, buffer, std::size_t(n));
            else if (n == 0)
                ::close(std::exchange(m_errors, -1));
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = ::read(m_answer, buffer, sizeof buffer);
            if (n == 0)
                break; // ended without an answer
            if (n > 0) {
                bytes.append(buffer, n);
                result = parsed(bytes);
            }
        }
    }
    // A reader that answered ends at once: it is reaped so that what it cost is counted with the
    // command's own (time and memory as a shell or a benchmark sees them), but only briefly waited for,
    // since one with a read stuck on a hung mount cannot end.
    if (result && m_pid > 0) {
        const int process = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        pollfd ended{process, POLLIN, 0};
        if (process >= 0 && ::poll(&ended, 1, kReapWaitMs) > 0 && ::waitpid(m_pid, nullptr, 0) == m_pid)
            m_pid = -1;
        if (process >= 0)
            ::close(process);
    }
    // What the reader said on its way, before it answered.
    for (pollfd errors{m_errors, POLLIN, 0}; m_errors >= 0 && ::poll(&errors, 1, 0) > 0;) {
        char buffer[4096];
        const ssize_t n = ::read(m_errors, buffer, sizeof buffer);
        if (n <= 0)
            break;
        writeAll(STDERR_FILENO, buffer, std::size_t(n));
    }
    return result;
}

} // namespace kalvix

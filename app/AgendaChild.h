#pragma once
// The agenda command's own reading of the calendars, in a child process.
//
// A read on a network or FUSE mount that hangs cannot be interrupted, and a process with such a read
// cannot even exit: `kalvix --agenda` would print its answer and never return to the shell or the
// status bar that ran it. So the command forks a reader before it has any thread, asks the running
// Kalvix first, and only then tells the reader to read. The reader sends its exit status and output
// back through a pipe (its standard output and error go to pipes of their own, so that a reader that
// cannot end holds none of the caller's); the command waits for that answer within its bound and
// returns, whether or not the reader can end.
#include <QString>

#include <sys/types.h>

#include <functional>
#include <optional>
#include <utility>

namespace kalvix {

class AgendaChild {
public:
    // What the reader does when told to read: the output and the exit status, given the time left.
    using Read = std::function<std::pair<QString, int>(int waitMs)>;

    // Forks the reader, which waits to be told; nothing when it cannot be started. Call it before
    // the program starts any thread.
    // `marginMs` is how much longer than the reader's own bound the command waits for its answer.
    static std::optional<AgendaChild> start(const Read& read, int marginMs = 2000);

    AgendaChild(AgendaChild&& other) noexcept;
    AgendaChild& operator=(AgendaChild&&) = delete;
    AgendaChild(const AgendaChild&) = delete;
    ~AgendaChild();

    // The running Kalvix answered: the reader ends without reading.
    void dismiss();
    // Tells the reader to read within `waitMs`, and waits for its answer a little longer than that;
    // what it wrote to its standard error is passed on. Nothing when it did not answer in time.
    std::optional<std::pair<QString, int>> read(int waitMs);

private:
    AgendaChild(pid_t pid, int go, int answer, int errors, int marginMs);
    void closeAll();

    pid_t m_pid = -1;
    int m_go = -1;
    int m_answer = -1;
    int m_errors = -1;
    int m_marginMs = 0;
};

} // namespace kalvix

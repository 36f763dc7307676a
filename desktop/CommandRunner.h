#pragma once
// Starting other programs from an argument list, never through a shell.
//
// The first element is the program (looked up in PATH when it has no slash), the rest are its arguments
// exactly as given. Children get /dev/null as input, default signal handling and their own session, so they
// outlive Kalvix and never read its terminal.
#include <QString>
#include <QStringList>

#include <chrono>

namespace kalvix {

enum class RunOutcome {
    failedToStart,     // no such program, not executable, bad working directory, empty command
    exitedWithFailure, // ended within the wait with a non-zero status or by a signal
    exitedWithSuccess, // ended within the wait with status 0
    stillRunning,      // still running when the wait ended: a GUI application that stays open
};

// Starts the command and waits up to `wait` for it to end. A child still running then is left running and
// reaped when it ends. Blocks for up to `wait`: call it off the main thread. An empty `workingDirectory`
// keeps Kalvix's own.
RunOutcome runAndWait(const QStringList& command, const QString& workingDirectory, std::chrono::milliseconds wait);

// Starts the command without waiting; returns whether it started.
bool startDetached(const QStringList& command, const QString& workingDirectory);

} // namespace kalvix

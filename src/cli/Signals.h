#pragma once

#include <QEventLoop>

#include <functional>

// SIGINT (Ctrl+C), SIGTERM and SIGHUP end a run cleanly: they become an event of the loop that
// is running, which tells which signal came.
namespace Signals {

// Runs loop until it quits or one of the signals comes, on which stopped is called with it
// first. Returns the signal, 0 when none came.
int runLoop(QEventLoop& loop, const std::function<void(int signal)>& stopped);

// "SIGINT", "SIGTERM", "SIGHUP".
const char* name(int signal);

// The exit status after a signal: 128 and its number, as a shell tells it (SIGHUP 129, SIGINT
// 130, SIGTERM 143).
inline int exitStatus(int signal)
{
    return 128 + signal;
}

} // namespace Signals

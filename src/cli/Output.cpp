#include "Output.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

Output::Output()
{
    // A reader that goes away (| head) makes writes fail with EPIPE instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
    m_errTerminal = ::isatty(STDERR_FILENO) == 1;
}

void Output::write(int fd, const QByteArray& bytes)
{
    if (m_closed[fd])
        return;
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            m_closed[fd] = true; // EPIPE and the like: nobody reads any more
            return;
        }
        at += written;
        left -= written;
    }
}

void Output::out(const QByteArray& line)
{
    clearProgress();
    write(STDOUT_FILENO, line + '\n');
}

void Output::err(const QString& line)
{
    clearProgress();
    write(STDERR_FILENO, line.toUtf8() + '\n');
}

void Output::progress(const QString& text)
{
    if (!m_errTerminal || quiet)
        return;
    write(STDERR_FILENO, "\r\033[K" + text.toUtf8());
    m_progressShown = true;
}

void Output::clearProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    write(STDERR_FILENO, "\r\033[K");
}

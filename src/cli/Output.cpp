#include "Output.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// What may wait for a slow reader before lines are dropped.
constexpr qsizetype kMostPending = 16 << 20;

} // namespace

Output::Output()
{
    // A reader that goes away (| head) makes writes fail with EPIPE instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
    m_progressAllowed =
        ::isatty(STDERR_FILENO) == 1 && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    m_clock.start();
}

Output::~Output()
{
    if (!m_background)
        return;
    drain(2000);
    {
        const std::lock_guard lock(m_lines->mutex);
        m_lines->stop = true;
    }
    m_lines->changed.notify_all();
}

void Output::write(Lines& lines, int fd, const QByteArray& bytes)
{
    if (lines.closed[fd])
        return;
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            lines.closed[fd] = true; // EPIPE and the like: nobody reads any more
            if (fd == STDOUT_FILENO)
                lines.outError = errno;
            return;
        }
        at += written;
        left -= written;
    }
}

void Output::queue(int fd, const QByteArray& bytes)
{
    Lines& lines = *m_lines;
    if (!m_background) {
        write(lines, fd, bytes);
        return;
    }
    {
        const std::lock_guard lock(lines.mutex);
        if (lines.pendingBytes + bytes.size() > kMostPending) {
            ++lines.dropped;
            return;
        }
        if (lines.dropped > 0) {
            const QByteArray note =
                QStringLiteral("... %1 lines dropped: the output could not keep up\n")
                    .arg(lines.dropped)
                    .toUtf8();
            lines.pending.push_back({STDERR_FILENO, note});
            lines.pendingBytes += note.size();
            lines.dropped = 0;
        }
        lines.pending.push_back({fd, bytes});
        lines.pendingBytes += bytes.size();
    }
    lines.changed.notify_all();
}

void Output::writeInBackground()
{
    if (m_background)
        return;
    m_background = true;
    // Detached: at exit it gets a short time to finish, and a reader that never reads again
    // cannot hold the program.
    std::thread([lines = m_lines] {
        std::unique_lock lock(lines->mutex);
        for (;;) {
            lines->changed.wait(lock, [&] { return lines->stop || !lines->pending.empty(); });
            if (lines->pending.empty())
                return;
            Lines::Pending next = std::move(lines->pending.front());
            lines->pending.pop_front();
            lock.unlock();
            write(*lines, next.fd, next.bytes);
            lock.lock();
            lines->pendingBytes -= next.bytes.size();
            lines->changed.notify_all();
        }
    }).detach();
}

void Output::drain(int ms)
{
    if (!m_background)
        return;
    std::unique_lock lock(m_lines->mutex);
    m_lines->changed.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return m_lines->pendingBytes == 0; });
}

void Output::out(const QByteArray& line)
{
    clearProgress();
    queue(STDOUT_FILENO, line + '\n');
}

void Output::err(const QString& line)
{
    clearProgress();
    queue(STDERR_FILENO, line.toUtf8() + '\n');
}

void Output::progress(const QString& text)
{
    constexpr qint64 kEveryMs = 100;
    if (!m_progressAllowed || quiet)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_progressAtMs >= 0 && now - m_progressAtMs < kEveryMs)
        return;
    m_progressAtMs = now;
    queue(STDERR_FILENO, "\r\033[K" + text.toUtf8());
    m_progressShown = true;
}

Output::Kept Output::kept() const
{
    const int error = m_lines->outError;
    return error == 0 ? Kept::All : error == EPIPE ? Kept::ReaderGone : Kept::Failed;
}

QString Output::failure() const
{
    return QString::fromLocal8Bit(std::strerror(m_lines->outError));
}

void Output::clearProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    queue(STDERR_FILENO, "\r\033[K");
}

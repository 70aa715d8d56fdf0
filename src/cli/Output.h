#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// Standard output for data, standard error for messages. A closed pipe on either is no crash
// and no reason to stop the work: what cannot be written is dropped, and standard output's loss
// is kept for the exit status.
class Output {
public:
    Output();
    ~Output();

    void out(const QByteArray& line); // a line of data; the newline is added
    void err(const QString& line);    // a message; the newline is added
    // A progress line on standard error, overwritten in place: only on a terminal that is not
    // dumb, at most ten times a second.
    void progress(const QString& text);
    void clearProgress();

    // From now on lines are written by a thread of their own, so a reader that is slow to take
    // them never holds up the caller; past a bound, lines are dropped and the count is told.
    void writeInBackground();
    // Waits until every line queued has been written, at most until the deadline.
    void drain(int ms);

    // What became of standard output: every line written, its reader gone, or a write failed.
    enum class Kept { All, ReaderGone, Failed };
    Kept kept() const;
    QString failure() const; // why a write failed

    bool quiet = false; // no lines for what went well, no progress

private:
    // Shared with the writing thread, which may outlive us at exit if a reader never reads.
    struct Lines {
        struct Pending {
            int fd;
            QByteArray bytes;
        };
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Pending> pending;
        qsizetype pendingBytes = 0;
        qint64 dropped = 0;
        bool stop = false;
        bool closed[3] = {false, false, false};
        std::atomic<int> outError = 0; // the errno of standard output's failed write
    };
    static void write(Lines& lines, int fd, const QByteArray& bytes);
    void queue(int fd, const QByteArray& bytes);

    bool m_progressAllowed = false;
    bool m_progressShown = false;
    qint64 m_progressAtMs = -1;
    bool m_background = false;
    QElapsedTimer m_clock;
    std::shared_ptr<Lines> m_lines = std::make_shared<Lines>();
};

#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// Standard output for data, standard error for messages. A closed pipe on either is no crash
// and no reason to stop the work: what cannot be written is dropped.
class Output {
public:
    Output();
    ~Output();

    void out(const QByteArray& line); // a line of data; the newline is added
    void err(const QString& line);    // a message; the newline is added
    // A progress line on standard error, overwritten in place; only on a terminal.
    void progress(const QString& text);
    void clearProgress();

    // From now on lines are written by a thread of their own, so a reader that is slow to take
    // them never holds up the caller; past a bound, lines are dropped and the count is told.
    void writeInBackground();
    // Waits until every line queued has been written, at most until the deadline.
    void drain(int ms);

    bool errIsTerminal() const { return m_errTerminal; }
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
    };
    static void write(Lines& lines, int fd, const QByteArray& bytes);
    void queue(int fd, const QByteArray& bytes);

    bool m_errTerminal = false;
    bool m_progressShown = false;
    bool m_background = false;
    std::shared_ptr<Lines> m_lines = std::make_shared<Lines>();
};

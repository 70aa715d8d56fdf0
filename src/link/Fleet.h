#pragma once

#include "Connection.h"
#include "core/Outcome.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// Works on many printers at once from one thread, at most a given number at a time: each is
// connected with its own deadline, given its work, and reported as soon as it is done, so a
// silent printer holds up only its own slot.
class Fleet : public QObject {
    Q_OBJECT
public:
    struct Target {
        QString host; // as the user wrote it
        std::array<std::uint8_t, 4> address;
    };
    struct Result {
        qsizetype index; // into the targets
        Outcome outcome;
        qint64 bytes = 0;     // bytes the printer acknowledged
        qint64 ms = 0;        // from the start of the attempt to the end of the work
        qint64 answerMs = -1; // until the printer accepted or refused; -1 when it did neither
        QByteArray reply;     // what the work kept of the printer's answer
    };
    // What to do on a connected printer. It calls finish once, with how it went and what it
    // kept of the printer's answer; it may close the connection first but never deletes it.
    using Finish = std::function<void(Outcome, const QByteArray&)>;
    using Work = std::function<void(Connection* connection, const Finish& finish)>;

    Fleet(QList<Target> targets, std::uint16_t port, int timeoutMs, int jobs, Work work,
          QObject* parent = nullptr);
    ~Fleet() override;

    // Without a timeout the user chose: once printers answer, accepting or refusing, an address
    // that stays silent is given up after ten times the slowest answer seen, at least 100 ms,
    // never later than the timeout. A network that answers at once is searched at once.
    void adaptToAnswers() { m_adaptive = true; }
    static constexpr int kAnswerFactor = 10;
    static constexpr int kAnswerFloorMs = 100;
    static int adaptiveBound(qint64 slowestAnswerMs, int timeoutMs);
    // Every attempt, those under way too, is given up once it has waited ms since it began,
    // never later than the timeout.
    void setAttemptBound(int ms);

    void start();
    // Ends every printer still being worked on at once, with a reset; no more results come.
    void stop();
    // Ends the run at once: every printer not done yet, begun or not, is reported Interrupted
    // with the bytes it had acknowledged, and its connection reset.
    void interrupt();
    bool isDone() const { return m_finished == m_targets.size(); }

    // The work most commands do: send, then close gracefully; the result is Delivered as soon as
    // the printer has acknowledged every byte, Connected when there was nothing to send, and the
    // close goes on in the retired connection.
    static Work sendAll(const Catalogue::Sends& sends);

signals:
    void finished(const Fleet::Result& result);
    void allDone();

private:
    struct Slot {
        Connection* connection = nullptr;
        QElapsedTimer clock;
        qint64 answerMs = -1;
        bool reported = false;
    };
    void launch(qsizetype index);
    void report(qsizetype index, Outcome outcome, const QByteArray& reply);
    void answered(qsizetype index);

    QList<Target> m_targets;
    std::uint16_t m_port;
    int m_timeoutMs;
    int m_boundMs;
    bool m_adaptive = false;
    qint64 m_slowestAnswerMs = -1;
    int m_jobs;
    Work m_work;
    QList<Slot> m_slots;
    qsizetype m_next = 0;
    qsizetype m_finished = 0;
    int m_running = 0;
    bool m_stopped = false;
};

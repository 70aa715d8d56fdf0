#include "Confirmation.h"

#include "core/Frames.h"
#include "core/PrinterStatus.h"

#include <QTimer>

#include <algorithm>
#include <optional>

namespace Confirmation {

namespace {

using namespace PrinterStatus;

// Kept of what the printer sends between two looks: one answer is all we wait for, and a
// printer that floods us costs a bounded read each time.
constexpr qsizetype kKept = 64;

std::optional<std::uint8_t> answer(const QByteArray& answers, int request)
{
    if (request >= answers.size() || answers[request] == kUnanswered)
        return std::nullopt;
    return std::uint8_t(answers[request]);
}

// Lives on the connection it asks, so it goes when the connection goes.
class Confirmer : public QObject {
public:
    Confirmer(Connection* connection, Fleet::Finish finish, const Bounds& bounds)
        : QObject(connection)
        , m_connection(connection)
        , m_finish(std::move(finish))
        , m_bounds(bounds)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { onSilence(); });
        connect(connection, &Connection::received, this, [this] { onReceived(); });
        connect(connection, &Connection::delivered, this, [this] { onDelivered(); });
        connect(connection, &Connection::peerClosedSending, this, [this] {
            m_peerGone = true;
            if (jobTaken())
                end(Outcome::Disconnected);
        });
        for (auto gone : {&Connection::broken, &Connection::finished})
            connect(connection, gone, this, [this] { ended(); });
        connection->setReceiveLimit(kKept);
        // A printer that reads slowly takes the job in lumps a second or two apart, as its
        // window opens: a short wait for the answer must not give it up while it takes them.
        connection->setStallMs(std::max(bounds.answerMs, Connection::kStallMs));
    }

    void start(const Catalogue::Sends& job)
    {
        const Catalogue::Sends all = sends(job);
        m_jobBytes = Catalogue::wire(all).size();
        m_answers = QByteArray(1, kUnanswered);
        m_connection->takeReceived(); // what came unasked answers nothing
        if (!m_connection->sendAll(all)) {
            ended();
            return;
        }
        if (m_connection->delivery()->delivered())
            onDelivered();
    }

private:
    bool jobTaken() const { return m_connection->delivery()->acknowledged >= m_jobBytes; }

    // The wait for GS r 1 begins once the printer has the whole job.
    void onDelivered()
    {
        if (m_done || m_waiting)
            return;
        if (m_peerGone) {
            end(Outcome::Disconnected);
            return;
        }
        m_waiting = true;
        m_timer.start(m_bounds.answerMs);
    }

    void onReceived()
    {
        const QByteArray got = m_connection->takeReceived();
        for (const char c : got) {
            if (m_done)
                return;
            const auto byte = std::uint8_t(c);
            // Their fixed bits keep the two kinds of answer apart: a late GS r 1 still counts.
            if ((byte & kTransmitFixedMask) == kTransmitFixedBits) {
                m_answers[0] = c;
                end(judge(m_answers));
            } else if (m_answers.size() > 1 && m_answers.back() == kUnanswered &&
                       isStatusByte(byte)) {
                m_answers.back() = c;
                m_timer.stop();
                askNext();
            }
        }
    }

    void onSilence()
    {
        if (m_answers.size() == 1)
            askNext();
        else
            end(judge(m_answers)); // a printer that answers no status tells nothing more
    }

    // DLE EOT 2 after GS r 1, then DLE EOT 1 while nothing is told.
    void askNext()
    {
        if (m_answers.size() == 3 || judge(m_answers) != Outcome::NoConfirmation) {
            end(judge(m_answers));
            return;
        }
        const std::uint8_t n = m_answers.size() == 1 ? 2 : 1;
        m_answers += kUnanswered;
        if (!m_connection->send(Frames::statusRequest(n))) {
            ended();
            return;
        }
        if (!m_done)
            m_timer.start(m_bounds.whyMs);
    }

    void ended() { end(jobTaken() ? Outcome::Disconnected : Outcome::SendFailed); }

    void end(Outcome outcome)
    {
        if (m_done)
            return;
        m_done = true;
        m_timer.stop();
        m_connection->disconnect(this);
        m_finish(outcome, m_answers);
    }

    Connection* m_connection;
    Fleet::Finish m_finish;
    Bounds m_bounds;
    QTimer m_timer;
    QByteArray m_answers;
    qint64 m_jobBytes = 0;
    bool m_waiting = false;
    bool m_peerGone = false;
    bool m_done = false;
};

} // namespace

Catalogue::Sends sends(const Catalogue::Sends& job)
{
    return job + Catalogue::Sends{Frames::queuedStatusRequest(1)};
}

Outcome judge(const QByteArray& answers)
{
    if (const auto paper = answer(answers, 0))
        return (*paper & kSensorPaperEnd) ? Outcome::PaperOut : Outcome::Printed;
    if (const auto why = answer(answers, 1)) {
        if (*why & kCoverOpen)
            return Outcome::CoverOpen;
        if (*why & kPaperEndStop)
            return Outcome::PaperOut;
        if (*why & kError)
            return Outcome::Offline;
    }
    if (const auto printer = answer(answers, 2); printer && (*printer & kOffline))
        return Outcome::Offline;
    return Outcome::NoConfirmation;
}

Fleet::Work work(const Catalogue::Sends& job, const Bounds& bounds)
{
    return [job, bounds](Connection* connection, const Fleet::Finish& finish) {
        (new Confirmer(connection, finish, bounds))->start(job);
    };
}

} // namespace Confirmation

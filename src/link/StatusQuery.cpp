#include "StatusQuery.h"

#include "core/Frames.h"
#include "core/PrinterStatus.h"

#include <QTimer>

namespace StatusQuery {

namespace {

// Lives on the connection it asks, so it goes when the connection goes.
class Asker : public QObject {
public:
    Asker(Connection* connection, Fleet::Finish finish, int replyTimeoutMs)
        : QObject(connection)
        , m_connection(connection)
        , m_finish(std::move(finish))
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(replyTimeoutMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { end(Outcome::NoStatus); });
        connect(connection, &Connection::received, this, [this] { onReceived(); });
        for (auto gone :
             {&Connection::peerClosedSending, &Connection::broken, &Connection::finished})
            connect(connection, gone, this, [this] { end(Outcome::NoStatus); });
        // A few bytes more than one answer: a printer that says more is not held to it.
        connection->setReceiveLimit(16);
    }

    void ask()
    {
        if (m_reply.size() == PrinterStatus::kRequests) {
            end(Outcome::Delivered);
            return;
        }
        m_connection->takeReceived(); // what came unasked answers nothing
        if (!m_connection->send(Frames::statusRequest(std::uint8_t(m_reply.size() + 1)))) {
            end(Outcome::NoStatus);
            return;
        }
        if (!m_done)
            m_timer.start();
    }

private:
    void onReceived()
    {
        const QByteArray got = m_connection->takeReceived();
        if (m_done || !m_timer.isActive() || got.isEmpty())
            return;
        m_timer.stop();
        m_reply += got.front();
        if (!PrinterStatus::isStatusByte(std::uint8_t(got.front())))
            end(Outcome::NoStatus);
        else
            ask();
    }

    void end(Outcome outcome)
    {
        if (m_done)
            return;
        m_done = true;
        m_timer.stop();
        m_connection->disconnect(this);
        m_finish(outcome, m_reply);
    }

    Connection* m_connection;
    Fleet::Finish m_finish;
    QTimer m_timer;
    QByteArray m_reply;
    bool m_done = false;
};

} // namespace

Fleet::Work work(int replyTimeoutMs)
{
    return [replyTimeoutMs](Connection* connection, const Fleet::Finish& finish) {
        (new Asker(connection, finish, replyTimeoutMs))->ask();
    };
}

} // namespace StatusQuery

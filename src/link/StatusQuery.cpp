#include "StatusQuery.h"

#include "core/Frames.h"
#include "core/PrinterStatus.h"

#include <QTimer>

namespace StatusQuery {

namespace {

// Lives on the connection it asks, so it goes when the connection goes.
class Asker : public QObject {
public:
    Asker(Connection* connection, Fleet::Finish finish, int replyTimeoutMs, bool identify)
        : QObject(connection)
        , m_connection(connection)
        , m_finish(std::move(finish))
        , m_identify(identify)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(replyTimeoutMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { stopped(); });
        connect(connection, &Connection::received, this, [this] { onReceived(); });
        for (auto gone :
             {&Connection::peerClosedSending, &Connection::broken, &Connection::finished})
            connect(connection, gone, this, [this] { stopped(); });
        // A few bytes more than one answer: a printer that says more is not held to it.
        connection->setReceiveLimit(identify ? kMostText + 16 : 16);
    }

    void ask()
    {
        if (m_reply.size() == PrinterStatus::kRequests) {
            askInfo();
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
    void askInfo()
    {
        if (!m_identify || ++m_info == qsizetype(kIdentity.size())) {
            end(Outcome::Delivered);
            return;
        }
        m_connection->takeReceived();
        m_text.clear();
        if (!m_connection->send(
                Frames::infoRequest(std::uint8_t(kIdentity[std::size_t(m_info)].function))))
            end(Outcome::Delivered);
        else if (!m_done)
            m_timer.start();
    }

    // An answer runs from its 5F to its 00; what comes before the 5F is no part of it, and one
    // longer than a name can be is not taken.
    void takeInfo(const QByteArray& got)
    {
        for (const char c : got) {
            if (m_text.isEmpty() && c != char(PrinterStatus::kIdTextHeader))
                continue;
            m_text += c;
            if (c == char(PrinterStatus::kIdTextEnd)) {
                m_timer.stop();
                m_reply += m_text;
                askInfo();
                return;
            }
            if (m_text.size() > kMostText + 1) {
                end(Outcome::Delivered);
                return;
            }
        }
    }

    void onReceived()
    {
        const QByteArray got = m_connection->takeReceived();
        if (m_done || !m_timer.isActive() || got.isEmpty())
            return;
        if (m_info >= 0) {
            takeInfo(got);
            return;
        }
        m_timer.stop();
        m_reply += got.front();
        if (!PrinterStatus::isStatusByte(std::uint8_t(got.front())))
            end(Outcome::NoStatus);
        else
            ask();
    }

    // The status is told whether the printer names itself or not.
    void stopped() { end(m_info < 0 ? Outcome::NoStatus : Outcome::Delivered); }

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
    bool m_identify;
    qsizetype m_info = -1; // which of the identity is asked; -1 while the status is
    QByteArray m_text;     // of its answer so far
    bool m_done = false;
};

} // namespace

Fleet::Work work(int replyTimeoutMs, bool identify)
{
    return [replyTimeoutMs, identify](Connection* connection, const Fleet::Finish& finish) {
        (new Asker(connection, finish, replyTimeoutMs, identify))->ask();
    };
}

} // namespace StatusQuery

#include "SocketService.h"

#include "core/Address.h"

SocketService::SocketService(QObject* parent)
    : QObject(parent)
{}

SocketService::~SocketService()
{
    Connection::retire(std::exchange(m_connection, nullptr));
}

void SocketService::Connect(const QString& host, int port)
{
    Close();
    const auto address = parseIPv4(host);
    if (!address) {
        // Not an address we can read as four decimal numbers: no resolver gets to guess.
        m_state = Error;
        return;
    }
    m_connection = new Connection(this);
    m_connection->setStallMs(m_stallMs);
    Connection* connection = m_connection;
    connect(connection, &Connection::connected, this, [this] {
        m_state = Connected;
        emit connectEvent();
    });
    connect(connection, &Connection::connectFailed, this, [this] { m_state = Error; });
    connect(connection, &Connection::peerClosedSending, this, [this] {
        if (m_state == Connected)
            m_state = Closing;
    });
    connect(connection, &Connection::broken, this, [this] { m_state = Error; });
    m_state = Connecting;
    // The window's own timer bounds the attempt.
    connection->open(*address, std::uint16_t(port), 0);
}

void SocketService::Close()
{
    Connection::retire(std::exchange(m_connection, nullptr));
    m_state = Closed;
}

bool SocketService::SendData(const QByteArray& data)
{
    return m_state == Connected && m_connection && m_connection->send(data);
}

std::shared_ptr<const Delivery> SocketService::delivery() const
{
    return m_connection ? m_connection->delivery() : nullptr;
}

#include "FakePrinter.h"

// POSIX only: the tests run on Linux, where a reset and a full accept queue can be made.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace {

void resetConnection(QTcpSocket* socket)
{
    linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

} // namespace

FakePrinter::FakePrinter(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakePrinter::accept);
}

FakePrinter::~FakePrinter()
{
    for (const Connection& c : std::as_const(m_connections))
        delete c.socket;
}

bool FakePrinter::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port);
}

void FakePrinter::setBehaviour(Behaviour behaviour, qint64 resetAfter)
{
    m_behaviour = behaviour;
    m_resetAfter = resetAfter;
}

QByteArray FakePrinter::allBytes() const
{
    QByteArray all;
    for (const Connection& c : m_connections)
        all += c.bytes;
    return all;
}

void FakePrinter::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(nullptr);
        const int index = int(m_connections.size());
        m_connections.append({socket, {}, false});
        switch (m_behaviour) {
        case Behaviour::NeverRead:
            socket->setReadBufferSize(1);
            m_held.append(index);
            continue;
        case Behaviour::CloseOnAccept:
            socket->disconnectFromHost();
            continue;
        case Behaviour::ResetOnAccept:
            resetConnection(socket);
            continue;
        case Behaviour::Record:
        case Behaviour::ResetAfterData:
            break;
        }
        record(socket, index);
    }
}

void FakePrinter::record(QTcpSocket* socket, int index)
{
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, index] {
        Connection& c = m_connections[index];
        c.bytes += socket->readAll();
        if (m_behaviour == Behaviour::ResetAfterData && c.bytes.size() >= m_resetAfter)
            resetConnection(socket);
    });
    // A closed connection gives its socket back at once: long runs must not pile them up.
    connect(socket, &QTcpSocket::disconnected, this, [this, socket, index] {
        m_connections[index].closedByClient = true;
        socket->deleteLater();
    });
}

void FakePrinter::startReading()
{
    m_behaviour = Behaviour::Record;
    for (int index : std::exchange(m_held, {})) {
        QTcpSocket* socket = m_connections[index].socket;
        if (!socket)
            continue;
        record(socket, index);
        socket->setReadBufferSize(0); // lets the socket read again
        m_connections[index].bytes += socket->readAll();
    }
}

SilentListener::~SilentListener()
{
    for (int fd : std::as_const(m_fds))
        ::close(fd);
}

bool SilentListener::listen(const QHostAddress& address, quint16 port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(address.toIPv4Address());
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    m_fds.append(server);
    const int on = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(server, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(server, 0) != 0)
        return false;
    // Fill the accept queue; later connect requests are then dropped without an answer.
    for (int i = 0; i < 2; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        m_fds.append(client);
        ::fcntl(client, F_SETFL, O_NONBLOCK);
        ::connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where);
    }
    return true;
}

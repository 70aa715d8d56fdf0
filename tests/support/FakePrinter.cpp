#include "FakePrinter.h"

// POSIX only: the tests run on Linux, where a reset, a half-close and a full accept queue can
// be made.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

#include <utility>

namespace {

void resetConnection(QTcpSocket* socket)
{
    linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

constexpr int kSlowTickMs = 20;
constexpr qint64 kFloodChunk = 1 << 20;

sockaddr_in socketAddress(const QHostAddress& address, quint16 port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(address.toIPv4Address());
    return where;
}

} // namespace

bool FakePrinter::listen(const QHostAddress& address, quint16 port)
{
    const int busyMs = m_behaviour.busyMs;
    if (busyMs > 0)
        m_server.setListenBacklogSize(0); // one connection the system has completed fills it
    if (!m_server.listen(address, port) || busyMs <= 0)
        return m_server.isListening();
    m_server.pauseAccepting();
    m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_in where = socketAddress(address, port);
    ::connect(m_filler, reinterpret_cast<const sockaddr*>(&where), sizeof where);
    QTimer::singleShot(busyMs, this, [this] { m_server.resumeAccepting(); });
    return true;
}

FakePrinter::~FakePrinter()
{
    for (const Connection& c : std::as_const(m_connections))
        delete c.socket;
    if (m_filler >= 0)
        ::close(m_filler);
}

void FakePrinter::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_filler >= 0) { // first in the queue: ours, not a printer's connection
            ::close(std::exchange(m_filler, -1));
            delete socket;
            continue;
        }
        socket->setParent(nullptr);
        const int index = int(m_connections.size());
        m_connections.append({socket, {}, false, 0, 0});
        if (m_behaviour.talkEveryMs > 0) {
            auto* talk = new QTimer(socket);
            connect(talk, &QTimer::timeout, socket,
                    [socket] { socket->write("\x12\x12\x12\x12"); });
            talk->start(m_behaviour.talkEveryMs);
        }
        if (m_behaviour.floodBack > 0) {
            auto more = [this, socket, index] {
                Connection& c = m_connections[index];
                if (socket->bytesToWrite() > kFloodChunk || c.sentBack >= m_behaviour.floodBack)
                    return;
                const qint64 n = qMin(kFloodChunk, m_behaviour.floodBack - c.sentBack);
                c.sentBack += socket->write(QByteArray(n, '\xFF')); // answers nothing
            };
            connect(socket, &QTcpSocket::bytesWritten, this, more);
            more();
        }
        switch (m_behaviour.onAccept) {
        case Accept::Hold:
            socket->setReadBufferSize(1);
            m_held.append(index);
            continue;
        case Accept::Close:
            socket->disconnectFromHost();
            continue;
        case Accept::Reset:
            resetConnection(socket);
            continue;
        case Accept::HalfClose:
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
            break;
        case Accept::Read:
            break;
        }
        record(socket, index);
    }
}

void FakePrinter::readSome(QTcpSocket* socket, int index, qint64 most)
{
    Connection& c = m_connections[index];
    c.bytes += most < 0 ? socket->readAll() : socket->read(most);
    const QByteArray& replies = m_behaviour.statusReplies;
    auto answer = [socket](const QByteArray& bytes, int delayMs) {
        QTimer::singleShot(delayMs, socket, [socket, bytes] { socket->write(bytes); });
    };
    const bool answers = !replies.isEmpty() || !m_behaviour.replies.isEmpty();
    for (; answers && c.scanned + 2 < c.bytes.size(); ++c.scanned) {
        const QByteArrayView request = QByteArrayView(c.bytes).sliced(c.scanned, 3);
        for (const Behaviour::Reply& reply : std::as_const(m_behaviour.replies)) {
            if (request == reply.request)
                answer(reply.answer, reply.delayMs);
        }
        const int n = request[2];
        if (request.startsWith("\x10\x04") && n >= 1 && n <= replies.size())
            answer(replies.mid(n - 1, 1), m_behaviour.statusDelayMs);
    }
    if (m_behaviour.resetAfter >= 0 && c.bytes.size() >= m_behaviour.resetAfter)
        resetConnection(socket);
}

void FakePrinter::record(QTcpSocket* socket, int index)
{
    const qint64 rate = m_behaviour.readPerSecond;
    if (rate > 0) {
        const qint64 perTick = qMax<qint64>(1, rate * kSlowTickMs / 1000);
        socket->setReadBufferSize(perTick);
        auto* tick = new QTimer(socket);
        connect(tick, &QTimer::timeout, socket,
                [this, socket, index, perTick] { readSome(socket, index, perTick); });
        tick->start(kSlowTickMs);
    } else {
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, index] { readSome(socket, index, -1); });
    }
    // A closed connection gives its socket back at once: long runs must not pile them up.
    connect(socket, &QTcpSocket::disconnected, this, [this, socket, index] {
        if (socket->isReadable())
            m_connections[index].bytes += socket->readAll();
        m_connections[index].closedByClient = true;
        socket->deleteLater();
    });
}

void FakePrinter::startReading()
{
    m_behaviour.onAccept = Accept::Read;
    for (int index : std::exchange(m_held, {})) {
        QTcpSocket* socket = m_connections[index].socket;
        if (!socket)
            continue;
        record(socket, index);
        socket->setReadBufferSize(m_behaviour.readPerSecond > 0 ? socket->readBufferSize() : 0);
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
    sockaddr_in where = socketAddress(address, port);
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_fds.append(server);
    const int on = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(server, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(server, 0) != 0)
        return false;
    // Fill the accept queue; later connect requests are then dropped without an answer.
    for (int i = 0; i < 2; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_fds.append(client);
        ::fcntl(client, F_SETFL, O_NONBLOCK);
        ::connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where);
    }
    return true;
}

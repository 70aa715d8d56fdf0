#include "SocketService.h"

#include "Module1.h"
#include "NativeConnect.h"
#include "entry/AddressCheck.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

SocketService::SocketService(QObject* parent)
    : QObject(parent)
{}

// Sockets still open, replaced ones included, are children and go with us; flush() is the
// place to give their queued bytes time to leave.
SocketService::~SocketService() = default;

void SocketService::Connect(const QString& host, int port)
{
    release(false);
    m_delivery = std::make_shared<DeliveryStatus>();

    const auto octets = parseIPv4(host);
    if (!octets) {
        // Not an address we can read as four decimal numbers: no resolver gets to guess.
        m_state = Error;
        return;
    }
    const quint32 ip = quint32((*octets)[0]) << 24 | quint32((*octets)[1]) << 16 |
                       quint32((*octets)[2]) << 8 | quint32((*octets)[3]);
    qintptr fd = -1;
    if (NativeConnect::start(ip, quint16(port), &fd) == NativeConnect::Progress::Failed) {
        m_state = Error;
        return;
    }
    // Writable once the attempt has ended, either way; also when it succeeded at once, so the
    // connect event always comes from the event loop.
    m_state = Connecting;
    m_pendingFd = fd;
    m_pending = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_pending, &QSocketNotifier::activated, this, [this] { attemptEnded(); });
}

void SocketService::attemptEnded()
{
    const qintptr fd = std::exchange(m_pendingFd, -1);
    m_pending->setEnabled(false);
    m_pending->deleteLater();
    m_pending = nullptr;
    if (!NativeConnect::succeeded(fd)) {
        NativeConnect::close(fd);
        m_state = Error;
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(fd, QAbstractSocket::ConnectedState)) {
        delete socket;
        NativeConnect::close(fd);
        m_state = Error;
        return;
    }
    m_socket = socket;
    const std::shared_ptr<DeliveryStatus> status = m_delivery;
    connect(socket, &QTcpSocket::bytesWritten, this,
            [status](qint64 count) { status->written += count; });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket, status](QAbstractSocket::SocketError error) {
                if (!status->complete())
                    status->broken = true;
                if (socket != m_socket)
                    return;
                const bool peerClosed = error == QAbstractSocket::RemoteHostClosedError;
                m_state = (peerClosed && m_state == Connected) ? Closing : Error;
            });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket, status] {
        if (!status->complete())
            status->broken = true;
        if (socket == m_socket && m_state == Connected)
            m_state = Closing;
    });
    m_state = Connected;
    emit connectEvent();
}

void SocketService::Close()
{
    release(true);
}

bool SocketService::SendData(const QByteArray& data)
{
    if (m_state != Connected || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    if (data.isEmpty())
        return true;
    const qint64 written = m_socket->write(data);
    if (written != data.size())
        return false;
    m_delivery->queued += written;
    // Hands the bytes to the system now rather than on the next pass of the event loop.
    m_socket->flush();
    return true;
}

void SocketService::release(bool keepQueuedBytes)
{
    if (m_pending) {
        delete std::exchange(m_pending, nullptr);
        NativeConnect::close(std::exchange(m_pendingFd, -1));
    }
    QTcpSocket* socket = std::exchange(m_socket, nullptr);
    m_state = Closed;
    if (!socket)
        return;
    socket->disconnect(this);
    const bool pending =
        socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0;
    if (keepQueuedBytes && pending) {
        drain(socket, m_delivery);
        return;
    }
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->disconnectFromHost(); // nothing queued: closes at once with FIN
    socket->abort();
    // Freed at once: no signal of this socket is being handled here, and a deleteLater() would
    // wait for the event loop level to drop, which a run of clicks nested in a wait never does.
    delete socket;
}

// A replaced connection keeps writing in the background and frees itself when it is done, or
// when it has made no progress for a while (a printer that accepts and never reads).
void SocketService::drain(QTcpSocket* socket, std::shared_ptr<DeliveryStatus> status)
{
    m_draining.append(socket);
    auto* stall = new QTimer(socket);
    stall->setSingleShot(true);
    stall->start(m_drainStallMs);

    connect(socket, &QTcpSocket::bytesWritten, stall, [status, stall](qint64 count) {
        status->written += count;
        stall->start();
    });
    auto finish = [this, socket, status] {
        if (!status->complete())
            status->broken = true;
        m_draining.removeAll(socket);
        socket->deleteLater();
    };
    connect(socket, &QTcpSocket::disconnected, this, finish);
    connect(socket, &QTcpSocket::errorOccurred, this, finish);
    connect(stall, &QTimer::timeout, this, [socket, finish] {
        socket->abort();
        finish();
    });
    socket->disconnectFromHost();
}

void SocketService::flush(const QDeadlineTimer& deadline)
{
    auto idle = [](const QTcpSocket* socket) {
        return !socket || socket->bytesToWrite() == 0 ||
               socket->state() == QAbstractSocket::UnconnectedState;
    };
    auto allWritten = [this, &idle] {
        return idle(m_socket) &&
               std::all_of(m_draining.cbegin(), m_draining.cend(),
                           [&idle](const QPointer<QTcpSocket>& s) { return idle(s); });
    };
    Module1::waitUntil(allWritten, deadline, {});
}

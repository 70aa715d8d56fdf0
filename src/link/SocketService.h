#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QDeadlineTimer;
class QSocketNotifier;
class QTcpSocket;

// How far the bytes handed to one connection have got. Shared with whoever sent them, so a
// caller can learn the outcome even after the connection was replaced and freed.
struct DeliveryStatus {
    qint64 queued = 0;   // bytes accepted by SendData
    qint64 written = 0;  // bytes the system has taken from us
    bool broken = false; // the connection failed before every queued byte was written
    bool complete() const { return written >= queued; }
    bool settled() const { return broken || complete(); }
};

// The TCP client socket of the window. It shows the link the state numbers it works with and
// gives every connection a fresh QTcpSocket, so a connection that is replaced while it still
// has bytes to write drains and frees itself instead of losing them. The connect itself is the
// system's, made once (see NativeConnect).
class SocketService : public QObject {
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8, // the peer has closed its side
        Error = 9,
    };

    explicit SocketService(QObject* parent = nullptr);
    ~SocketService() override;

    int State() const { return m_state; }
    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString& host) { m_remoteHost = host; }
    int RemotePort() const { return m_remotePort; }
    void setRemotePort(int port) { m_remotePort = port; }

    // Starts an attempt and returns at once. The host must be four decimal numbers joined by
    // points (leading zeros count for nothing); any other text is never handed to a resolver,
    // and the attempt simply fails.
    void Connect(const QString& host, int port);
    // Drops the connection; the state is Closed on return. Bytes already queued still go out.
    void Close();
    // Queues the whole of data after the data of earlier calls. False when the socket is not
    // connected or refuses the data.
    bool SendData(const QByteArray& data);
    // The delivery record of the current connection (null when there is none).
    std::shared_ptr<const DeliveryStatus> delivery() const { return m_delivery; }

    // Gives queued bytes of every connection, replaced ones included, until the deadline to
    // leave, with the event loop running. Meant for the end of the program.
    void flush(const QDeadlineTimer& deadline);

    // How long a replaced connection may go without writing a byte before it is aborted, so a
    // printer that accepts and never reads cannot hold a connection forever.
    int drainStallMs() const { return m_drainStallMs; }
    void setDrainStallMs(int ms) { m_drainStallMs = ms; }
    // Replaced connections that are still writing.
    int drainingCount() const { return int(m_draining.size()); }

signals:
    // The connection is established (the state reads Connected).
    void connectEvent();

private:
    void attemptEnded();
    void release(bool keepQueuedBytes);
    void drain(QTcpSocket* socket, std::shared_ptr<DeliveryStatus> status);

    // The attempt in progress: the system's socket until it is connected, then a QTcpSocket.
    QSocketNotifier* m_pending = nullptr;
    qintptr m_pendingFd = -1;
    QTcpSocket* m_socket = nullptr;
    std::shared_ptr<DeliveryStatus> m_delivery;
    QList<QPointer<QTcpSocket>> m_draining;
    int m_state = Closed;
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_drainStallMs = 30000;
};

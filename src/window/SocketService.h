#pragma once

#include "link/Connection.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

// The window's TCP client socket: the state numbers the window's link works with, over a fresh
// Connection for every attempt. A connection that is closed or replaced goes on delivering in
// the background and frees itself when it is done.
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
        Closing = 8, // the printer has closed its side
        Error = 9,
    };

    explicit SocketService(QObject* parent = nullptr);
    // The connection still open is closed as Close() does: what it holds is delivered.
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
    // connected or the connection refuses the data.
    bool SendData(const QByteArray& data);

    // The current connection (null when there is none), and how its bytes are getting on.
    QPointer<Connection> connection() const { return m_connection; }
    std::shared_ptr<const Delivery> delivery() const;
    // How long a connection may go without progress while it has bytes to deliver.
    void setStallMs(int ms) { m_stallMs = ms; }
    int stallMs() const { return m_stallMs; }

signals:
    // The connection is established (the state reads Connected).
    void connectEvent();

private:
    Connection* m_connection = nullptr;
    int m_state = Closed;
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_stallMs = Connection::kStallMs;
};

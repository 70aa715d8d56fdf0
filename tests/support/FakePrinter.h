#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A printer on a local address: records every connection and every byte it receives on it.
// It can also misbehave the ways real printers and networks do.
class FakePrinter : public QObject {
    Q_OBJECT
public:
    enum class Accept {
        Read,      // read and keep everything
        Hold,      // read nothing until startReading(): the sender's queue fills up
        Close,     // close our side at once
        Reset,     // reset the connection at once
        HalfClose, // send our FIN at once, and go on reading
    };
    struct Behaviour {
        Accept onAccept = Accept::Read;
        qint64 resetAfter = -1;   // reset once this many bytes are read
        qint64 readPerSecond = 0; // read no faster than this; 0: as fast as bytes come
        int talkEveryMs = 0;      // send four status bytes this often, as many printers do
        qint64 floodBack = 0;     // send this many bytes back, as fast as the sender reads
        // Answer DLE EOT n with byte n of these, when there are that many; so much later.
        QByteArray statusReplies = {};
        int statusDelayMs = 0;
        // Answer each of these requests (three bytes) where it comes, so much later.
        struct Reply {
            QByteArray request, answer;
            int delayMs = 0;
        };
        QList<Reply> replies = {};
        // From listen(), the accept queue is full for so long: a connect request made meanwhile
        // gets no answer until the system tries it again, 1 s later, then after 1 s or twice as
        // long each time (the system's choice): at 1 s, 2 s, 3 s, 4 s or at 1 s, 3 s, 7 s.
        int busyMs = 0;
    };

    struct Connection {
        QPointer<QTcpSocket> socket;
        QByteArray bytes;
        bool closedByClient = false;
        qint64 sentBack = 0;
        qsizetype scanned = 0; // for status requests
    };

    FakePrinter() { connect(&m_server, &QTcpServer::newConnection, this, &FakePrinter::accept); }
    ~FakePrinter() override;

    bool listen(const QHostAddress& address, quint16 port = 9100);
    quint16 port() const { return m_server.serverPort(); }
    void setBehaviour(const Behaviour& behaviour) { m_behaviour = behaviour; }
    // A printer that stopped reading catches up: the held connections are read from now on, and
    // every later connection is read as it comes.
    void startReading();

    int connectionCount() const { return int(m_connections.size()); }
    QByteArray bytes(int connection) const { return m_connections.value(connection).bytes; }
    bool closedByClient(int connection) const
    {
        return m_connections.value(connection).closedByClient;
    }

private:
    void accept();
    void record(QTcpSocket* socket, int index);
    void readSome(QTcpSocket* socket, int index, qint64 most);

    QTcpServer m_server;
    QList<Connection> m_connections;
    Behaviour m_behaviour;
    QList<int> m_held;
    int m_filler = -1; // the connection that fills the queue while busy
};

// Bytes to send that show any byte lost, doubled or moved: the first 256 hold every value.
inline QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

// A listener whose accept queue is full, so a connect request to it gets no answer at all.
class SilentListener {
public:
    SilentListener() = default;
    ~SilentListener();
    bool listen(const QHostAddress& address, quint16 port = 9100);

private:
    QList<int> m_fds;
};

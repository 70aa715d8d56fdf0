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
    enum class Behaviour {
        Record,         // read and keep everything
        NeverRead,      // accept, then read nothing: the sender's queue fills up
        CloseOnAccept,  // accept, then close our side at once
        ResetOnAccept,  // accept, then reset the connection
        ResetAfterData, // read resetAfter bytes, then reset
    };

    struct Connection {
        QPointer<QTcpSocket> socket;
        QByteArray bytes;
        bool closedByClient = false;
    };

    explicit FakePrinter(QObject* parent = nullptr);
    ~FakePrinter() override;

    bool listen(const QHostAddress& address, quint16 port = 9100);
    void setBehaviour(Behaviour behaviour, qint64 resetAfter = 0);
    // A printer that stopped reading catches up: the connections NeverRead held are read from
    // now on, and every later connection is recorded.
    void startReading();

    int connectionCount() const { return int(m_connections.size()); }
    QByteArray bytes(int connection) const { return m_connections.value(connection).bytes; }
    bool closedByClient(int connection) const
    {
        return m_connections.value(connection).closedByClient;
    }
    QByteArray allBytes() const;

private:
    void accept();
    void record(QTcpSocket* socket, int index);

    QTcpServer m_server;
    QList<Connection> m_connections;
    Behaviour m_behaviour = Behaviour::Record;
    qint64 m_resetAfter = 0;
    QList<int> m_held; // connections accepted under NeverRead
};

// A listener whose accept queue is full, so a connect request to it gets no answer at all.
class SilentListener {
public:
    SilentListener() = default;
    ~SilentListener();
    bool listen(const QHostAddress& address, quint16 port = 9100);

private:
    QList<int> m_fds;
};

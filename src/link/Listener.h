#pragma once

#include "core/Decoder.h"

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <array>
#include <cstdint>
#include <memory>

class QFile;
class QTcpSocket;

// A printer on the desk: takes TCP connections as a network printer does, reads each to its end
// at full speed, decodes what arrives, and answers the real-time status requests.
class Listener : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress bind = QHostAddress::LocalHost;
        std::uint16_t port = 9100;
        int count = 0;   // stop after this many connections; 0: go on
        QString saveDir; // each connection's raw bytes go to a file there; empty: none
        // The answers to DLE EOT 1 to 4: by default online, cover closed, paper present.
        std::array<std::uint8_t, 4> statusReply{0x12, 0x12, 0x12, 0x12};
        int codePage = 1252;
    };

    explicit Listener(Options options, QObject* parent = nullptr);
    ~Listener() override;

    // Listens; false with a reason when the address or port cannot be had.
    bool start(QString* error);
    std::uint16_t port() const { return m_server.serverPort(); }

    // A file of the folder for the connection's bytes: connection-0001.bin and so on.
    static QString saveName(int number);

signals:
    void opened(int number, const QString& peer, const QDateTime& at);
    void decoded(int number, const Decoding::Item& item);
    void closed(int number, qint64 bytes);
    // The last of count connections has closed.
    void done();
    // Something went wrong that does not stop listening: a connection's file cannot be written.
    void trouble(const QString& message);

private:
    struct Session;
    void accept();
    void read(Session* session);
    void take(Session* session, QByteArrayView bytes);
    void close(Session* session);
    void dropSave(Session* session);

    Options m_options;
    QTcpServer m_server;
    QList<Session*> m_sessions;
    int m_accepted = 0;
    int m_closed = 0;
    QByteArray m_chunk; // what each read fills
};

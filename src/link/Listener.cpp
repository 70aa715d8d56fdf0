#include "Listener.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>

namespace {

// Read a bounded piece at a time into one buffer: a fast sender costs no fresh memory per read.
constexpr qint64 kChunk = 1024 * 1024;

} // namespace

struct Listener::Session {
    int number;
    QTcpSocket* socket;
    Decoding::Decoder decoder;
    std::unique_ptr<QFile> save;
    qint64 bytes = 0;
};

Listener::Listener(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    connect(&m_server, &QTcpServer::newConnection, this, &Listener::accept);
}

Listener::~Listener()
{
    qDeleteAll(m_sessions);
}

bool Listener::start(QString* error)
{
    if (!m_options.saveDir.isEmpty() && !QDir().mkpath(m_options.saveDir)) {
        *error = QStringLiteral("cannot make the folder \"%1\"").arg(m_options.saveDir);
        return false;
    }
    if (!m_server.listen(m_options.bind, m_options.port)) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(m_options.bind.toString())
                     .arg(m_options.port)
                     .arg(m_server.errorString());
        return false;
    }
    return true;
}

QString Listener::saveName(int number)
{
    return QStringLiteral("connection-%1.bin").arg(number, 4, 10, QChar(u'0'));
}

void Listener::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_options.count > 0 && m_accepted >= m_options.count) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* session =
            new Session{++m_accepted, socket, Decoding::Decoder(m_options.codePage), nullptr};
        m_sessions << session;
        socket->setReadBufferSize(kChunk);
        if (!m_options.saveDir.isEmpty()) {
            session->save = std::make_unique<QFile>(
                QDir(m_options.saveDir).filePath(saveName(session->number)));
            if (!session->save->open(QIODevice::WriteOnly | QIODevice::Truncate))
                dropSave(session);
        }
        if (m_options.count > 0 && m_accepted == m_options.count)
            m_server.close(); // nobody else is taken
        emit opened(
            session->number,
            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()),
            QDateTime::currentDateTime());
        connect(socket, &QTcpSocket::readyRead, this, [this, session] { read(session); });
        connect(socket, &QTcpSocket::disconnected, this, [this, session] { close(session); });
        read(session); // bytes that came with the connection
    }
}

void Listener::dropSave(Session* session)
{
    emit trouble(QStringLiteral("connection %1: cannot write \"%2\": %3; its bytes are not saved")
                     .arg(session->number)
                     .arg(session->save->fileName(), session->save->errorString()));
    session->save.reset();
}

void Listener::read(Session* session)
{
    m_chunk.resize(kChunk);
    for (;;) {
        const qint64 n = session->socket->read(m_chunk.data(), kChunk);
        if (n <= 0)
            return;
        take(session, QByteArrayView(m_chunk.constData(), n));
    }
}

void Listener::take(Session* session, QByteArrayView bytes)
{
    session->bytes += bytes.size();
    if (session->save && session->save->write(bytes.data(), bytes.size()) != bytes.size())
        dropSave(session);
    for (const Decoding::Item& item : session->decoder.feed(bytes)) {
        // DLE EOT n is answered at once, as a printer does whatever else it is busy with.
        if (item.kind == Decoding::Kind::Command && item.op == EscPos::Op::RealTimeStatus &&
            item.params.value(0) >= 1 && item.params.value(0) <= 4)
            session->socket->write(
                QByteArray(1, char(m_options.statusReply[std::size_t(item.params[0] - 1)])));
        emit decoded(session->number, item);
    }
}

void Listener::close(Session* session)
{
    if (session->socket->isReadable())
        read(session);
    for (const Decoding::Item& item : session->decoder.finish())
        emit decoded(session->number, item);
    if (session->save && !session->save->flush())
        dropSave(session);
    m_sessions.removeOne(session);
    session->socket->deleteLater();
    const int number = session->number;
    const qint64 bytes = session->bytes;
    delete session;
    ++m_closed;
    emit closed(number, bytes);
    if (m_options.count > 0 && m_closed == m_options.count)
        emit done();
}

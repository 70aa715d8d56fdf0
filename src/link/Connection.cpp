#include "Connection.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <utility>

namespace {

// Retired connections still delivering; each frees itself when it is done.
int g_retired = 0;

// The slowest the acknowledgements are looked at once everything is written.
constexpr int kAckPollMaxMs = 50;
// Reads per wake-up: a printer that floods us back cannot keep the thread from everything else.
constexpr int kReadsPerWake = 64;
constexpr qint64 kReadChunk = 64 * 1024;

Outcome outcomeOf(NativeSocket::Failure failure)
{
    switch (failure) {
    case NativeSocket::Failure::Refused:
        return Outcome::Refused;
    case NativeSocket::Failure::TimedOut:
        return Outcome::TimedOut;
    case NativeSocket::Failure::None:
    case NativeSocket::Failure::Other:
        break;
    }
    return Outcome::ConnectError;
}

// A notifier may be the one whose signal got us here: it is switched off now, which keeps it
// from ever seeing a later socket that takes over the same descriptor, and freed afterwards.
void release(QSocketNotifier*& notifier)
{
    if (QSocketNotifier* going = std::exchange(notifier, nullptr)) {
        going->setEnabled(false);
        going->deleteLater();
    }
}

} // namespace

Connection::Connection(QObject* parent)
    : QObject(parent)
{
    for (QTimer* timer : {&m_connectTimer, &m_stallTimer, &m_ackTimer, &m_peerCloseTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_stallTimer.setInterval(kStallMs);
    m_peerCloseTimer.setInterval(kPeerCloseMs);
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { attemptEnded(NativeSocket::Failure::TimedOut); });
    connect(&m_stallTimer, &QTimer::timeout, this, [this] { fail(Outcome::SendFailed); });
    connect(&m_ackTimer, &QTimer::timeout, this, [this] { checkAcknowledged(); });
    connect(&m_peerCloseTimer, &QTimer::timeout, this, [this] { finish(false); });
}

Connection::~Connection()
{
    if (m_fd != NativeSocket::kInvalid) {
        takeAcknowledged();
        if (m_delivery->acknowledged < m_delivery->queued)
            m_delivery->failed = true;
        NativeSocket::close(m_fd, true);
    }
    m_delivery->done = true;
}

void Connection::setStallMs(int ms)
{
    m_stallTimer.setInterval(ms);
}

void Connection::open(const std::array<std::uint8_t, 4>& address, std::uint16_t port, int timeoutMs)
{
    Q_ASSERT(m_phase == Phase::Idle);
    m_phase = Phase::Connecting;
    m_attemptClock.start();
    NativeSocket::Failure failure = NativeSocket::Failure::None;
    if (NativeSocket::connectTo(address, port, &m_fd, &failure) == NativeSocket::Start::Failed) {
        // Told from the event loop, as every other outcome is: the caller is not re-entered.
        QMetaObject::invokeMethod(
            this, [this, failure] { attemptEnded(failure); }, Qt::QueuedConnection);
        return;
    }
    // Writable once the attempt has ended either way, also when it succeeded at once.
    m_writable = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    connect(m_writable, &QSocketNotifier::activated, this, [this] { onWritable(); });
    if (timeoutMs > 0)
        m_connectTimer.start(timeoutMs);
}

void Connection::setConnectTimeout(int timeoutMs)
{
    // Not for an attempt that failed at once: its failure is on its way.
    if (m_phase != Phase::Connecting || !m_writable)
        return;
    // Through the timer even when the time is up: the caller is not re-entered.
    m_connectTimer.start(int(qMax<qint64>(0, timeoutMs - m_attemptClock.elapsed())));
}

void Connection::attemptEnded(NativeSocket::Failure failure)
{
    if (m_phase != Phase::Connecting)
        return;
    m_connectTimer.stop();
    if (failure == NativeSocket::Failure::None) {
        m_phase = Phase::Open;
        m_writable->setEnabled(false);
        m_readable = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_readable, &QSocketNotifier::activated, this, [this] { onReadable(); });
        emit connected();
        return;
    }
    m_failure = outcomeOf(failure);
    release(m_writable);
    NativeSocket::close(std::exchange(m_fd, NativeSocket::kInvalid), true);
    m_phase = Phase::Done;
    m_delivery->done = true;
    emit connectFailed(m_failure);
    emit finished();
}

void Connection::onWritable()
{
    if (m_phase == Phase::Connecting)
        attemptEnded(NativeSocket::connectResult(m_fd));
    else
        writeQueued();
}

bool Connection::send(const QByteArray& bytes)
{
    if (m_phase != Phase::Open || m_peerClosed)
        return false;
    if (bytes.isEmpty())
        return true;
    m_queue.push_back(bytes);
    m_delivery->queued += bytes.size();
    m_deliveredSignalled = false;
    if (!m_stallTimer.isActive())
        m_stallTimer.start();
    const QPointer<Connection> alive(this);
    writeQueued(); // hands the bytes to the system now, not on the next pass of the event loop
    return alive && !hasFailed();
}

void Connection::writeQueued()
{
    while (!m_queue.empty()) {
        const QByteArray& front = m_queue.front();
        const qint64 sent =
            NativeSocket::send(m_fd, front.constData() + m_offset, front.size() - m_offset);
        if (sent < 0) {
            fail(Outcome::SendFailed);
            return;
        }
        if (sent == 0) {
            m_writable->setEnabled(true); // the system's buffer is full: on when it has room
            return;
        }
        m_written += sent;
        m_offset += sent;
        if (m_offset == front.size()) {
            m_queue.pop_front();
            m_offset = 0;
        }
        madeProgress();
    }
    m_writable->setEnabled(false);
    if (m_phase == Phase::Closing && !m_shutDown) {
        NativeSocket::shutdownSending(m_fd);
        m_shutDown = true;
    }
    checkAcknowledged();
}

bool Connection::takeAcknowledged(bool* over)
{
    const NativeSocket::Acknowledged told = NativeSocket::acknowledged(m_fd, m_written, m_shutDown);
    const bool more = told.bytes > m_delivery->acknowledged || (told.fin && !m_finAcknowledged);
    m_delivery->acknowledged = qMax(m_delivery->acknowledged, told.bytes);
    m_finAcknowledged = m_finAcknowledged || told.fin;
    if (over)
        *over = told.over;
    return more;
}

// The system tells how much the printer has acknowledged but raises no event when that
// changes, so it is looked at again after a short and growing pause until all is acknowledged,
// our FIN included.
void Connection::checkAcknowledged()
{
    if (m_fd == NativeSocket::kInvalid || !m_queue.empty())
        return;
    bool over = false;
    if (takeAcknowledged(&over))
        madeProgress();
    const bool everyByte = m_delivery->acknowledged >= m_written;
    if (!everyByte || (m_shutDown && !m_finAcknowledged)) {
        // Nothing reads a socket whose printer has closed its side: its reset is seen here.
        if (over) {
            fail(Outcome::SendFailed);
            return;
        }
        // A look due sooner stands: this one came between polls (a FIN, or bytes written).
        if (!m_ackTimer.isActive() || m_ackTimer.remainingTime() > m_ackPollMs) {
            m_ackTimer.start(m_ackPollMs);
            m_ackPollMs = qMin(m_ackPollMs * 2, kAckPollMaxMs);
        }
    } else {
        m_stallTimer.stop();
        m_ackTimer.stop();
    }
    if (everyByte && !m_deliveredSignalled) {
        m_deliveredSignalled = true;
        const QPointer<Connection> alive(this);
        emit delivered();
        if (!alive)
            return;
    }
    closeWhenDone();
}

void Connection::madeProgress()
{
    m_ackPollMs = 1;
    if (m_stallTimer.isActive())
        m_stallTimer.start();
}

void Connection::onReadable()
{
    char buffer[kReadChunk];
    bool kept = false;
    for (int i = 0; i < kReadsPerWake; ++i) {
        const qint64 got = NativeSocket::receive(m_fd, buffer, kReadChunk);
        if (got == -1)
            break; // nothing more for now
        if (got == -2) {
            fail(Outcome::SendFailed);
            return;
        }
        if (got == 0) {
            // The printer's FIN: it sends nothing more, but may well go on reading.
            m_peerClosed = true;
            m_readable->setEnabled(false);
            const QPointer<Connection> alive(this);
            if (kept)
                emit received();
            if (alive)
                emit peerClosedSending();
            // Its FIN came with its acknowledgement of ours: looked at now, not at the next poll.
            if (alive)
                checkAcknowledged();
            return;
        }
        const qsizetype room = m_receiveLimit - m_received.size();
        if (room > 0) {
            m_received.append(buffer, qMin<qsizetype>(room, got));
            kept = true;
        }
    }
    if (kept)
        emit received();
}

void Connection::close()
{
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Connecting:
        abort();
        return;
    case Phase::Closing:
    case Phase::Done:
        return;
    case Phase::Open:
        break;
    }
    m_phase = Phase::Closing;
    if (!m_stallTimer.isActive())
        m_stallTimer.start(); // our FIN, too, is to be acknowledged in bounded time
    if (m_queue.empty()) {
        NativeSocket::shutdownSending(m_fd);
        m_shutDown = true;
        checkAcknowledged();
    }
}

// A closing connection is done once everything is acknowledged and the printer has closed its
// side too, or has had its time to.
void Connection::closeWhenDone()
{
    if (m_phase != Phase::Closing || !m_shutDown || m_written < m_delivery->queued ||
        m_delivery->acknowledged < m_written || !m_finAcknowledged)
        return;
    if (m_peerClosed)
        finish(false);
    else if (!m_peerCloseTimer.isActive())
        m_peerCloseTimer.start();
}

void Connection::abort()
{
    if (m_phase == Phase::Done)
        return;
    if (m_phase == Phase::Connecting && m_failure == Outcome::Sent)
        m_failure = Outcome::ConnectError;
    finish(true);
}

void Connection::fail(Outcome why)
{
    if (m_phase == Phase::Done)
        return;
    m_failure = why;
    const QPointer<Connection> alive(this);
    finish(true);
    if (alive)
        emit broken();
}

void Connection::finish(bool reset)
{
    if (m_phase == Phase::Done)
        return;
    for (QTimer* timer : {&m_connectTimer, &m_stallTimer, &m_ackTimer, &m_peerCloseTimer})
        timer->stop();
    release(m_readable);
    release(m_writable);
    // The system's last word, after a reset too: what the printer acknowledged it has, and a
    // retry would print it twice.
    if (m_fd != NativeSocket::kInvalid)
        takeAcknowledged();
    if (m_delivery->acknowledged < m_delivery->queued)
        m_delivery->failed = true;
    NativeSocket::close(std::exchange(m_fd, NativeSocket::kInvalid), reset);
    m_queue.clear();
    m_phase = Phase::Done;
    m_delivery->done = true;
    emit finished();
}

void Connection::retire(Connection* connection)
{
    if (!connection)
        return;
    connection->disconnect(); // its former owner hears nothing more
    connection->setParent(nullptr);
    if (connection->m_phase == Phase::Done) {
        connection->deleteLater();
        return;
    }
    ++g_retired;
    connect(connection, &Connection::finished, connection, [connection] {
        --g_retired;
        connection->deleteLater();
    });
    connection->close();
    // Its printer's FIN is read after the connection that replaces it has had its turn: the
    // notifier goes to the back of the queue. Where an event loop serves notifiers in another
    // order, only the gain is lost.
    if (connection->m_readable && connection->m_readable->isEnabled()) {
        connection->m_readable->setEnabled(false);
        QMetaObject::invokeMethod(
            connection,
            [connection] {
                if (connection->m_readable)
                    connection->m_readable->setEnabled(true);
            },
            Qt::QueuedConnection);
    }
}

int Connection::retiredCount()
{
    return g_retired;
}

void Connection::awaitRetired()
{
    while (g_retired > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

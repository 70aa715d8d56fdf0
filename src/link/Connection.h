#pragma once

#include "ByteSink.h"
#include "NativeSocket.h"
#include "core/Outcome.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

class QSocketNotifier;

// How far the bytes handed to one connection have got. Shared with whoever sent them, so the
// outcome can still be read after the connection is gone.
struct Delivery {
    qint64 queued = 0;       // bytes taken by send()
    qint64 acknowledged = 0; // bytes the printer has acknowledged
    bool failed = false;     // the connection failed with bytes queued: not all of them got there
    bool done = false;       // the connection is closed; nothing changes any more
    bool delivered() const { return !failed && acknowledged >= queued; }
};

// One TCP connection to a printer, driven by the event loop: connect with a deadline, send,
// and a graceful close. Many of them share one thread; nothing here waits.
//
// What the printer sends back is read all the time and thrown away (a bounded part of it kept
// on request): unread bytes would make the system answer our close with a reset and throw away
// what it had not sent yet. Delivered means acknowledged by the printer, not taken by the system.
class Connection : public QObject, public ByteSink {
    Q_OBJECT
public:
    enum class Phase { Idle, Connecting, Open, Closing, Done };

    // How long bytes not yet delivered, and once closing our FIN, may go without any progress
    // before the connection is given up: a printer that accepts and never reads, or that
    // vanishes from the network, cannot hold it (or the end of the program) for ever.
    static constexpr int kStallMs = 30000;
    // Once everything is delivered and our side is shut, how long the printer may take to close
    // its own. Real printers close at once; we do not wait for one that never does.
    static constexpr int kPeerCloseMs = 2000;

    explicit Connection(QObject* parent = nullptr);
    // Resets a connection that is still open; close() or retire() first to deliver.
    ~Connection() override;

    // Starts connecting and returns at once; connected() or connectFailed() tells how it went.
    // A timeout of 0 or less leaves the bound to the caller.
    void open(const std::array<std::uint8_t, 4>& address, std::uint16_t port, int timeoutMs);
    // While connecting: the attempt is given up timeoutMs after it began instead, at once if
    // that time has passed. Shortens or lengthens a search's attempts as answers come in.
    void setConnectTimeout(int timeoutMs);
    // Queues the whole of bytes; false unless connected, the printer has not closed its side,
    // and the connection has not failed. Bytes accepted go on being written whatever the
    // printer does with its own side.
    bool send(const QByteArray& bytes) override;
    // Delivers what is queued, shuts our side, reads until the printer closes its own, then
    // closes. finished() tells when it is done.
    void close();
    // Closes at once with a reset; what was not delivered is lost and the delivery has failed.
    void abort();

    Phase phase() const { return m_phase; }
    bool isConnected() const { return m_phase == Phase::Open; }
    bool peerClosed() const { return m_peerClosed; }
    // How an attempt or an established connection failed; Sent while nothing has.
    Outcome failure() const { return m_failure; }
    bool hasFailed() const { return m_failure != Outcome::Sent; }
    std::shared_ptr<const Delivery> delivery() const { return m_delivery; }

    void setStallMs(int ms);
    // Keeps up to bytes of what the printer sends (for a status reply); the rest is thrown away.
    void setReceiveLimit(qsizetype bytes) { m_receiveLimit = bytes; }
    QByteArray takeReceived() { return std::exchange(m_received, {}); }

    // Takes the connection over: it is closed gracefully and frees itself when done.
    static void retire(Connection* connection);
    static int retiredCount();
    // Runs the event loop until every retired connection is done; each is bounded by its own
    // stall bound. For the end of a program, so that no byte is lost at exit.
    static void awaitRetired();

signals:
    void connected();
    void connectFailed(Outcome why);
    void received();
    void peerClosedSending();
    void delivered();
    // An established connection failed: a reset, or no progress for the stall bound.
    void broken();
    void finished();

private:
    void onWritable();
    void onReadable();
    void attemptEnded(NativeSocket::Failure failure);
    void writeQueued();
    void checkAcknowledged();
    bool takeAcknowledged(bool* over = nullptr);
    void madeProgress();
    void fail(Outcome why);
    void finish(bool reset);
    void closeWhenDone();

    NativeSocket::Handle m_fd = NativeSocket::kInvalid;
    Phase m_phase = Phase::Idle;
    Outcome m_failure = Outcome::Sent;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
    QTimer m_connectTimer;
    QElapsedTimer m_attemptClock;
    QTimer m_stallTimer;
    QTimer m_ackTimer;
    QTimer m_peerCloseTimer;
    int m_ackPollMs = 1;

    std::deque<QByteArray> m_queue; // shares the senders' buffers: nothing is copied
    qsizetype m_offset = 0;         // into the front of the queue
    qint64 m_written = 0;           // bytes taken by the system
    bool m_peerClosed = false;
    bool m_shutDown = false;
    bool m_finAcknowledged = false;
    bool m_deliveredSignalled = true;
    std::shared_ptr<Delivery> m_delivery = std::make_shared<Delivery>();

    qsizetype m_receiveLimit = 0;
    QByteArray m_received;
};

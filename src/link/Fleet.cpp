#include "Fleet.h"

#include <QPointer>

Fleet::Fleet(QList<Target> targets, std::uint16_t port, int timeoutMs, int jobs, Work work,
             QObject* parent)
    : QObject(parent)
    , m_targets(std::move(targets))
    , m_port(port)
    , m_timeoutMs(timeoutMs)
    , m_boundMs(timeoutMs)
    , m_jobs(qMax(1, jobs))
    , m_work(std::move(work))
    , m_slots(m_targets.size())
{}

Fleet::~Fleet()
{
    stop();
}

void Fleet::start()
{
    if (m_targets.isEmpty()) {
        QMetaObject::invokeMethod(this, &Fleet::allDone, Qt::QueuedConnection);
        return;
    }
    while (m_running < m_jobs && m_next < m_targets.size())
        launch(m_next++);
}

void Fleet::stop()
{
    m_stopped = true;
    for (Slot& slot : m_slots) {
        if (Connection* connection = std::exchange(slot.connection, nullptr)) {
            connection->disconnect(this);
            connection->abort();
            connection->deleteLater();
        }
    }
}

void Fleet::interrupt()
{
    m_stopped = true;
    for (qsizetype index = 0; index < m_slots.size(); ++index) {
        Slot& slot = m_slots[index];
        if (std::exchange(slot.reported, true))
            continue;
        Result result{index, Outcome::Interrupted, 0, 0, slot.answerMs, {}};
        if (Connection* connection = std::exchange(slot.connection, nullptr)) {
            result.bytes = connection->delivery()->acknowledged;
            result.ms = slot.clock.elapsed();
            connection->disconnect(this);
            connection->abort();
            connection->deleteLater();
        }
        ++m_finished;
        emit finished(result);
    }
    m_running = 0;
}

int Fleet::adaptiveBound(qint64 slowestAnswerMs, int timeoutMs)
{
    const qint64 bound = qMax<qint64>(kAnswerFloorMs, slowestAnswerMs * kAnswerFactor);
    return int(qMin<qint64>(bound, timeoutMs));
}

void Fleet::setAttemptBound(int ms)
{
    m_boundMs = qMin(ms, m_timeoutMs);
    // The connections still attempting are the fleet's children; reported ones are retired.
    for (Connection* connection : findChildren<Connection*>(Qt::FindDirectChildrenOnly))
        connection->setConnectTimeout(m_boundMs);
}

void Fleet::answered(qsizetype index)
{
    Slot& slot = m_slots[index];
    slot.answerMs = slot.clock.elapsed();
    if (!m_adaptive || slot.answerMs <= m_slowestAnswerMs)
        return;
    m_slowestAnswerMs = slot.answerMs;
    const int bound = adaptiveBound(m_slowestAnswerMs, m_timeoutMs);
    if (bound != m_boundMs)
        setAttemptBound(bound);
}

void Fleet::launch(qsizetype index)
{
    ++m_running;
    Slot& slot = m_slots[index];
    slot.clock.start();
    auto* connection = new Connection(this);
    slot.connection = connection;
    connect(connection, &Connection::connectFailed, this, [this, index](Outcome why) {
        if (why == Outcome::Refused)
            answered(index);
        report(index, why, {});
    });
    connect(connection, &Connection::connected, this, [this, index, connection] {
        answered(index);
        const QPointer<Fleet> alive(this);
        m_work(connection, [alive, index](Outcome outcome, const QByteArray& reply) {
            if (alive)
                alive->report(index, outcome, reply);
        });
    });
    connection->open(m_targets[index].address, m_port, m_boundMs);
}

void Fleet::report(qsizetype index, Outcome outcome, const QByteArray& reply)
{
    Slot& slot = m_slots[index];
    if (slot.reported || m_stopped)
        return;
    slot.reported = true;
    Result result{index, outcome, 0, slot.clock.elapsed(), slot.answerMs, reply};
    if (Connection* connection = std::exchange(slot.connection, nullptr)) {
        result.bytes = connection->delivery()->acknowledged;
        connection->disconnect(this);
        // A connection the work left open is closed gracefully and finishes on its own.
        Connection::retire(connection);
    }
    --m_running;
    ++m_finished;
    emit finished(result);
    if (m_stopped)
        return;
    start();
    if (isDone())
        emit allDone();
}

Fleet::Work Fleet::sendAll(const Catalogue::Sends& sends)
{
    // Told as soon as it is known: a printer that goes quiet after taking every byte holds up
    // nothing but its retired connection's close, which the program's end still waits for.
    return [sends](Connection* connection, const Finish& finish) {
        if (sends.isEmpty()) {
            finish(Outcome::Connected, {});
            return;
        }
        if (!connection->sendAll(sends)) {
            finish(Outcome::SendFailed, {});
            return;
        }
        const std::shared_ptr<const Delivery> delivery = connection->delivery();
        // The acknowledgement may have been seen while the bytes were handed over.
        if (delivery->delivered()) {
            finish(Outcome::Delivered, {});
            return;
        }
        const auto tell = [delivery, finish] {
            finish(delivery->delivered() ? Outcome::Delivered : Outcome::SendFailed, {});
        };
        QObject::connect(connection, &Connection::delivered, connection, tell);
        QObject::connect(connection, &Connection::finished, connection, tell);
        connection->close(); // our FIN right behind the bytes
    };
}

#include "WindowLink.h"

#include "Module1.h"
#include "form/FormView.h"

#include <QDeadlineTimer>
#include <QScopedValueRollback>

WindowLink::WindowLink(FormState& state, FormView& view, QObject* parent)
    : QObject(parent)
    , Winsock1(this)
    , Timer1(this)
    , m_state(state)
    , m_view(view)
{
    connect(&Winsock1, &SocketService::connectEvent, this, &WindowLink::Winsock1_Connect);
    connect(&Timer1, &TimerService::timeout, this, &WindowLink::Timer1_Timer);
}

void WindowLink::report(Outcome outcome)
{
    const QString text = Outcomes::windowText(outcome);
    if (!text.isEmpty())
        m_view.showMessage(text);
}

WindowLink::Attempt WindowLink::attemptConnection()
{
    if (!m_state.blnCurIPValid) {
        report(Outcome::InvalidAddress);
        m_view.setFocus(Field::CurIP);
        m_view.setSelection(Field::CurIP, 0, int(m_view.text(Field::CurIP).size()));
        return {false, Outcome::InvalidAddress};
    }
    // A click nested in another attempt's wait must not touch that attempt: replacing its
    // socket would let the outer command send on this one's connection, and restarting the
    // timer would stretch the outer wait.
    if (m_waiting) {
        report(Outcome::Busy);
        return {false, Outcome::Busy};
    }
    // A connection that is open, that the printer has closed, or that ended in error is
    // replaced by a fresh one. Close leaves the socket closed at once.
    const int state = Winsock1.State();
    if (state == SocketService::Connected || state == SocketService::Closing ||
        state == SocketService::Error) {
        Winsock1.Close();
        m_state.blnConnected = false;
    }
    if (Winsock1.State() != SocketService::Closed) {
        report(Outcome::Busy);
        return {false, Outcome::Busy};
    }

    ++m_attempts;
    Winsock1.setRemoteHost(m_view.text(Field::CurIP));
    Winsock1.setRemotePort(kSecondPort);
    m_state.blnTimeOut = false;
    Timer1.setInterval(kConnectTimeoutMs);
    Timer1.setEnabled(true);
    Winsock1.Connect(Winsock1.RemoteHost(), kPrinterPort);
    m_state.blnConnected = false;

    // A failed attempt raises no event, so the wait runs until the timer ends it. The deadline
    // only guards against a timer that never fires.
    {
        const QScopedValueRollback waiting(m_waiting, true);
        Module1::waitUntil([this] { return m_state.blnTimeOut || m_state.blnConnected; },
                           QDeadlineTimer(2 * kConnectTimeoutMs), [this] { return m_ending; });
    }
    if (m_ending)
        return {false, Outcome::Sent};
    Timer1.setEnabled(false);
    if (m_state.blnConnected)
        return {true, Outcome::Connected};
    const Connection* connection = Winsock1.connection();
    return {true,
            connection && connection->hasFailed() ? connection->failure() : Outcome::TimedOut};
}

bool WindowLink::Connect_printer()
{
    const bool connectedBefore = m_state.blnConnected;
    const Attempt attempt = attemptConnection();
    if (!attempt.made) {
        // The refusal's box let events flow: an outer attempt may have connected meanwhile, and
        // its connection is not this caller's. Busy never sends.
        return attempt.outcome == Outcome::InvalidAddress && connectedBefore &&
               m_state.blnConnected;
    }
    if (!m_state.blnConnected) {
        report(attempt.outcome);
        Winsock1.Close();
        m_state.blnConnected = false;
    }
    return m_state.blnConnected;
}

void WindowLink::cmdConnect_Click()
{
    const Attempt attempt = attemptConnection();
    if (!attempt.made)
        return;
    const bool connected = m_state.blnConnected;
    report(attempt.outcome);
    // Decided before the box: an attempt that connects while "failed" is shown is closed too.
    if (!connected) {
        Winsock1.Close();
        m_state.blnConnected = false;
    }
}

bool WindowLink::SendData(const QByteArray& data)
{
    return !m_ending && Winsock1.SendData(data);
}

bool WindowLink::SendData(const Catalogue::Sends& sends)
{
    for (const QByteArray& data : sends) {
        if (!SendData(data))
            return false;
    }
    return true;
}

void WindowLink::sendFailed()
{
    report(Outcome::SendFailed);
    Winsock1.Close();
    m_state.blnConnected = false;
}

WindowLink::Ticket WindowLink::ticket() const
{
    return {Winsock1.connection(), Winsock1.delivery()};
}

bool WindowLink::isCurrent(const Ticket& ticket) const
{
    return ticket.connection && ticket.connection == Winsock1.connection();
}

Outcome WindowLink::awaitDelivery(const Ticket& ticket)
{
    const std::shared_ptr<const Delivery> delivery = ticket.delivery;
    if (!delivery)
        return Outcome::SendFailed;
    const bool settled = Module1::waitUntil(
        [&] { return delivery->done || delivery->failed || delivery->delivered(); },
        QDeadlineTimer(QDeadlineTimer::Forever), [this] { return m_ending; });
    if (!settled)
        return Outcome::Sent;
    if (delivery->delivered())
        return Outcome::Delivered;
    if (ticket.connection)
        ticket.connection->abort();
    return Outcome::SendFailed;
}

bool WindowLink::Delay_ms(double ms)
{
    return Module1::Delay_ms(ms, [this] { return m_ending; });
}

void WindowLink::end()
{
    m_ending = true;
    Timer1.setEnabled(false);
}

void WindowLink::Winsock1_Connect()
{
    m_state.blnConnected = Winsock1.State() == SocketService::Connected;
}

void WindowLink::Timer1_Timer()
{
    m_state.blnTimeOut = true;
    Timer1.setEnabled(false);
}

#include "PrinterLink.h"

#include "FormView.h"
#include "Module1.h"

#include <QDeadlineTimer>

using namespace LinkMessages;

PrinterLink::PrinterLink(FormState& state, FormView& view, QObject* parent)
    : QObject(parent)
    , Winsock1(this)
    , Timer1(this)
    , m_state(state)
    , m_view(view)
{
    connect(&Winsock1, &SocketService::connectEvent, this, &PrinterLink::Winsock1_Connect);
    connect(&Timer1, &TimerService::timeout, this, &PrinterLink::Timer1_Timer);
}

PrinterLink::Attempt PrinterLink::attemptConnection()
{
    if (!m_state.blnCurIPValid) {
        m_view.showMessage(QString::fromLatin1(kInvalidCurrentIP));
        m_view.setFocus(Field::CurIP);
        m_view.setSelection(Field::CurIP, 0, int(m_view.text(Field::CurIP).size()));
        return Attempt::Refused;
    }
    // A connection that is open, that the printer has closed, or that ended in error is
    // replaced by a fresh one. Close leaves the socket closed at once.
    const int state = Winsock1.State();
    if (state == SocketService::Connected || state == SocketService::Closing ||
        state == SocketService::Error) {
        Winsock1.Close();
        m_state.blnConnected = false;
    }
    // Anything else is an attempt in progress, which only a click nested in its wait can see.
    if (Winsock1.State() != SocketService::Closed) {
        m_view.showMessage(QString::fromLatin1(kConnectError));
        return Attempt::Refused;
    }

    Winsock1.setRemoteHost(m_view.text(Field::CurIP));
    Winsock1.setRemotePort(kSecondPort);
    m_state.blnTimeOut = false;
    Timer1.setInterval(kConnectTimeoutMs);
    Timer1.setEnabled(true);
    Winsock1.Connect(Winsock1.RemoteHost(), kPrinterPort);
    m_state.blnConnected = false;

    // A failed attempt raises no event, so the wait runs until the timer ends it. The deadline
    // only guards against a timer that never fires.
    Module1::waitUntil([this] { return m_state.blnTimeOut || m_state.blnConnected; },
                       QDeadlineTimer(2 * kConnectTimeoutMs), [this] { return m_ending; });
    if (m_ending)
        return Attempt::Refused;
    Timer1.setEnabled(false);
    return Attempt::Made;
}

void PrinterLink::Connect_printer()
{
    if (attemptConnection() == Attempt::Made && !m_state.blnConnected) {
        m_view.showMessage(QString::fromLatin1(kConnectFailed));
        Winsock1.Close();
        m_state.blnConnected = false;
    }
}

void PrinterLink::cmdConnect_Click()
{
    if (attemptConnection() == Attempt::Refused)
        return;
    if (m_state.blnConnected) {
        m_view.showMessage(QString::fromLatin1(kConnectSucceeded));
    } else {
        m_view.showMessage(QString::fromLatin1(kConnectFailed));
        Winsock1.Close();
        m_state.blnConnected = false;
    }
}

bool PrinterLink::SendData(const QByteArray& data)
{
    return !m_ending && Winsock1.SendData(data);
}

void PrinterLink::sendFailed()
{
    m_view.showMessage(QString::fromLatin1(kTransmitFailed));
    Winsock1.Close();
    m_state.blnConnected = false;
}

bool PrinterLink::Delay_ms(double ms)
{
    return Module1::Delay_ms(ms, [this] { return m_ending; });
}

void PrinterLink::end()
{
    m_ending = true;
    Timer1.setEnabled(false);
}

void PrinterLink::Winsock1_Connect()
{
    m_state.blnConnected = Winsock1.State() == SocketService::Connected;
}

void PrinterLink::Timer1_Timer()
{
    m_state.blnTimeOut = true;
    Timer1.setEnabled(false);
}

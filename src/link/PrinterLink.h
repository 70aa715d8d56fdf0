#pragma once

#include "FormState.h"
#include "SocketService.h"
#include "TimerService.h"

#include <QByteArray>
#include <QObject>

class FormView;

// The one channel to the printer: a fresh TCP connection to port 9100 of the current address
// for every command, a 3000 ms connect timeout, and the failure paths the commands share.
class PrinterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kPrinterPort = 9100;
    static constexpr int kSecondPort = 10000;
    static constexpr int kConnectTimeoutMs = 3000;

    PrinterLink(FormState& state, FormView& view, QObject* parent = nullptr);

    // Replaces any open connection by a fresh one to the text of txtCurIP and waits for it up
    // to 3000 ms. Reports its own failures; blnConnected tells the caller whether to send.
    void Connect_printer();
    // The connection test: the same attempt, and the outcome told to the user either way.
    void cmdConnect_Click();

    // Hands bytes to the connection. False means the caller is to take sendFailed().
    bool SendData(const QByteArray& data);
    // The send-failure path: tells the user, closes the socket, clears blnConnected.
    void sendFailed();

    // Waits ms milliseconds with the window's events flowing; false when the program is ending.
    bool Delay_ms(double ms);

    // The program is ending: every wait returns at once and nothing more is attempted.
    void end();
    bool ending() const { return m_ending; }

    SocketService Winsock1;
    TimerService Timer1;

private:
    enum class Attempt { Refused, Made };
    Attempt attemptConnection();
    void Winsock1_Connect();
    void Timer1_Timer();

    FormState& m_state;
    FormView& m_view;
    bool m_ending = false;
};

// The messages of the link, shared with anyone who reports the link's outcomes.
namespace LinkMessages {
inline const char* const kInvalidCurrentIP = "Please input correct printer current IP address";
inline const char* const kConnectError = "Connect printer error";
inline const char* const kConnectFailed = "Connect printer failed!";
inline const char* const kConnectSucceeded = "Connect printer succeed!";
inline const char* const kTransmitFailed = "Transmit data failed!";
} // namespace LinkMessages

#pragma once

#include "SocketService.h"
#include "TimerService.h"
#include "core/Catalogue.h"
#include "core/Defaults.h"
#include "core/Outcome.h"
#include "form/FormState.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class FormView;

// The window's channel to the printer: a fresh TCP connection to port 9100 of the current
// address for every command, a 3000 ms connect timeout, and the failure paths the commands
// share. Its waits keep the window's events flowing, so clicks nest inside them; underneath,
// the connection itself never waits.
class WindowLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kPrinterPort = Defaults::kPrinterPort;
    static constexpr int kSecondPort = 10000;
    static constexpr int kConnectTimeoutMs = Defaults::kConnectTimeoutMs;

    WindowLink(FormState& state, FormView& view, QObject* parent = nullptr);

    // Replaces any open connection by a fresh one to the text of txtCurIP and waits for it up
    // to 3000 ms. Reports its own failures. True when the caller is to send: on the fresh
    // connection, or, refused for an invalid current address, on an earlier one still open.
    bool Connect_printer();
    // The connection test: the same attempt, and the outcome told to the user either way.
    void cmdConnect_Click();

    // Hands a command's sends to the connection, in order. False means the caller is to take
    // sendFailed().
    bool SendData(const QByteArray& data);
    bool SendData(const Catalogue::Sends& sends);
    // The send-failure path: tells the user, closes the socket, clears blnConnected.
    void sendFailed();

    // What was sent on the current connection, to be followed after a later command has
    // replaced it.
    struct Ticket {
        QPointer<Connection> connection;
        std::shared_ptr<const Delivery> delivery;
    };
    Ticket ticket() const;
    // Waits, with the window's events flowing, until the printer has acknowledged every byte
    // of the ticket or its connection has failed (bounded by the connection's stall bound).
    // A connection that failed is aborted then, so nothing more of it reaches the printer after
    // the user is told. Delivered, SendFailed, or Sent when the program is ending.
    Outcome awaitDelivery(const Ticket& ticket);
    bool isCurrent(const Ticket& ticket) const;

    // Waits ms milliseconds with the window's events flowing; false when the program is ending.
    bool Delay_ms(double ms);

    // The program is ending: every wait returns at once and nothing more is attempted.
    void end();
    bool ending() const { return m_ending; }

    void closeSocket() { Winsock1.Close(); }
    const SocketService& socket() const { return Winsock1; }
    void setStallMs(int ms) { Winsock1.setStallMs(ms); }
    // How many connection attempts have been made: a refusal makes none.
    int attempts() const { return m_attempts; }

private:
    struct Attempt {
        bool made;       // false: refused before any socket operation, or the program ends
        Outcome outcome; // Connected, or why not
    };
    Attempt attemptConnection();
    void report(Outcome outcome);
    void Winsock1_Connect();
    void Timer1_Timer();

    SocketService Winsock1;
    TimerService Timer1;
    FormState& m_state;
    FormView& m_view;
    bool m_ending = false;
    bool m_waiting = false; // an attempt's wait is running
    int m_attempts = 0;
};

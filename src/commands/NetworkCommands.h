#pragma once

#include <QString>

#include <optional>

class FormView;
class PrinterLink;
struct FormState;
struct NetworkChange;

// The two buttons that give the printer a new IP address or Ethernet ID, after a question.
class NetworkCommands {
public:
    NetworkCommands(PrinterLink& link, FormView& view, FormState& state);

    void cmdSetIP_Click();
    void cmdID_Click();

private:
    // Refuses an entry that failed its check, asks, connects and sends the frame. Returns the
    // text the user confirmed once both pieces are on their way, nothing otherwise.
    std::optional<QString> confirmAndSend(const NetworkChange& change);

    PrinterLink& m_link;
    FormView& m_view;
    FormState& m_state;
};

// The texts of the two commands, shared with the tests that read them off the window.
namespace NetworkMessages {
inline const char* const kRefuseSetIP = "Please input correct set new IP address";
inline const char* const kRefuseID = "Please input correct set new Ethernet ID";
inline const char* const kAskSetIP = "The printer IP address will be modified as ";
// The 0- stands for the fixed first byte, so the question shows all six parts.
inline const char* const kAskID = "The printer Ethernet ID will be modified as 0-";
inline const char* const kAreYouSure = "Are you sure?";
} // namespace NetworkMessages

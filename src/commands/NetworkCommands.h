#pragma once

#include <QString>

#include <optional>

class FormView;
class WindowLink;
struct FormState;
struct NetworkChange;

// The two buttons that give the printer a new IP address or Ethernet ID, after a question.
class NetworkCommands {
public:
    NetworkCommands(WindowLink& link, FormView& view, FormState& state);

    void cmdSetIP_Click();
    void cmdID_Click();

private:
    // Refuses an entry that failed its check, asks, connects and sends the frame. Returns the
    // text the user confirmed once both pieces are on their way, nothing otherwise.
    std::optional<QString> confirmAndSend(const NetworkChange& change);

    WindowLink& m_link;
    FormView& m_view;
    FormState& m_state;
};

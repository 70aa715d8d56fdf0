#pragma once

class FormView;
class PrinterLink;
struct FormState;

// The two buttons that give the printer a new IP address or Ethernet ID, after a question.
class NetworkCommands {
public:
    NetworkCommands(PrinterLink& link, FormView& view, FormState& state);

    void cmdSetIP_Click();
    void cmdID_Click();

private:
    PrinterLink& m_link;
    FormView& m_view;
    FormState& m_state;
};

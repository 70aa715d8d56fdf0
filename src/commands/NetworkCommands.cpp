#include "NetworkCommands.h"

#include "link/FormView.h"
#include "link/PrinterLink.h"

NetworkCommands::NetworkCommands(PrinterLink& link, FormView& view, FormState& state)
    : m_link(link)
    , m_view(view)
    , m_state(state)
{
}

void NetworkCommands::cmdSetIP_Click() {}
void NetworkCommands::cmdID_Click() {}

#include "PrinterCommands.h"

#include "link/FormView.h"
#include "link/PrinterLink.h"

PrinterCommands::PrinterCommands(PrinterLink& link, FormView& view, FormState& state)
    : m_link(link)
    , m_view(view)
    , m_state(state)
{
}

void PrinterCommands::cmdSend_Click() {}
void PrinterCommands::cmdCut_Click() {}
void PrinterCommands::cmdCash_Click() {}
void PrinterCommands::Command1_Click() {}
void PrinterCommands::Command2_Click() {}
void PrinterCommands::Command3_Click() {}
void PrinterCommands::Command4_Click() {}
void PrinterCommands::Command5_Click() {}
void PrinterCommands::Command8_Click() {}
void PrinterCommands::Command6_Click() {}
void PrinterCommands::Command7_Click() {}

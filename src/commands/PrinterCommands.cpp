#include "PrinterCommands.h"

#include "core/AnsiCodePage.h"
#include "core/LenientByte.h"
#include "core/NvImageFile.h"
#include "form/FormView.h"
#include "window/WindowLink.h"

#include <QDir>

using Catalogue::Id;

PrinterCommands::PrinterCommands(WindowLink& link, FormView& view, FormState& state)
    : m_link(link)
    , m_view(view)
    , m_state(state)
{}

void PrinterCommands::connectThenSend(const std::function<Catalogue::Sends()>& build)
{
    if (!m_link.Connect_printer())
        return;
    if (!m_link.SendData(build()))
        m_link.sendFailed();
}

void PrinterCommands::sendBuilt(const Catalogue::Sends& sends)
{
    connectThenSend([&sends] { return sends; });
}

void PrinterCommands::cmdSend_Click()
{
    // The text is read only once the connection stands: whatever the box holds then is printed.
    connectThenSend([this] {
        return Catalogue::sends(Id::Print,
                                Catalogue::Text{m_view.text(Field::Char), AnsiCodePage::system()});
    });
}

void PrinterCommands::cmdCut_Click()
{
    connectThenSend([] { return Catalogue::sends(Id::Cut); });
}

void PrinterCommands::cmdCash_Click()
{
    connectThenSend([] { return Catalogue::sends(Id::Drawer); });
}

void PrinterCommands::Command1_Click()
{
    sendBuilt(Catalogue::sends(Id::Arm, Catalogue::Arm{Catalogue::ArmBoard::Ostrik}));
}

void PrinterCommands::Command2_Click()
{
    sendBuilt(Catalogue::sends(Id::Arm, Catalogue::Arm{Catalogue::ArmBoard::Velmar}));
}

void PrinterCommands::Command3_Click()
{
    sendBuilt(Catalogue::sends(Id::Language, Catalogue::Language{m_view.languageIndex()}));
}

void PrinterCommands::Command4_Click()
{
    sendBuilt(Catalogue::sends(Id::BlackMark, Catalogue::BlackMark{true}));
}

void PrinterCommands::Command5_Click()
{
    sendBuilt(Catalogue::sends(Id::BlackMark, Catalogue::BlackMark{false}));
}

void PrinterCommands::Command8_Click()
{
    const LenientByte codePage = readLenientByte(m_view.text(Field::CodePage));
    if (codePage.status == LenientByte::Status::OutOfRange) {
        // One byte carries the code page; anything else is refused before a connection is made.
        m_view.showMessage(Outcomes::windowText(Outcome::InvalidInput, Id::CodePage));
        m_view.setFocus(Field::CodePage);
        m_view.setSelection(Field::CodePage, 0, int(m_view.text(Field::CodePage).size()));
        return;
    }
    sendBuilt(Catalogue::sends(Id::CodePage, Catalogue::CodePage{codePage.value}));
}

void PrinterCommands::Command7_Click()
{
    sendBuilt(Catalogue::sends(Id::NvPrint));
}

void PrinterCommands::Command6_Click()
{
    if (!m_link.Connect_printer())
        return;

    const NvImageFile image =
        NvImageFile::read(QDir(m_programFolder).filePath(QString::fromLatin1(kNvDataFileName)));
    // This connection's record: it goes on counting even if a click during the wait below
    // replaces the connection and the replaced one delivers in the background.
    const WindowLink::Ticket download = m_link.ticket();
    if (image.status() != NvImageFile::Status::Read ||
        !m_link.SendData(Catalogue::sends(Id::NvDownload, Catalogue::Bytes{image.bytes()}))) {
        m_link.sendFailed();
        return;
    }

    if (!m_link.Delay_ms(kNvDownloadWaitMs))
        return; // the program is ending
    // Success only once the printer has every byte, however long a slow printer takes to read
    // them, unless they stand still for the connection's stall bound.
    const Outcome outcome = m_link.awaitDelivery(download);
    if (outcome == Outcome::SendFailed && m_link.isCurrent(download))
        m_link.sendFailed();
    else if (outcome != Outcome::Sent) // Sent: the program is ending
        m_view.showMessage(Outcomes::windowText(outcome, Id::NvDownload));
}

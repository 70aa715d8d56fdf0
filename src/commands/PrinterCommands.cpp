#include "PrinterCommands.h"

#include "AnsiCodePage.h"
#include "CodePageNumber.h"
#include "Frames.h"
#include "NvImageFile.h"
#include "link/FormView.h"
#include "link/Module1.h"
#include "link/PrinterLink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

PrinterCommands::PrinterCommands(PrinterLink& link, FormView& view, FormState& state)
    : m_link(link)
    , m_view(view)
    , m_state(state)
{}

void PrinterCommands::send(const QByteArray& frame)
{
    if (!m_link.SendData(frame))
        m_link.sendFailed();
}

void PrinterCommands::connectThenSend(const std::function<QByteArray()>& build)
{
    m_link.Connect_printer();
    if (!m_state.blnConnected)
        return;
    send(build());
}

void PrinterCommands::sendBuilt(const QByteArray& frame)
{
    connectThenSend([&frame] { return frame; });
}

void PrinterCommands::cmdSend_Click()
{
    // The text is read only once the connection stands: whatever the box holds then is printed.
    connectThenSend([this] { return AnsiCodePage::fromText(m_view.text(Field::Char)); });
}

void PrinterCommands::cmdCut_Click()
{
    connectThenSend(&Frames::cutPaper);
}

void PrinterCommands::cmdCash_Click()
{
    connectThenSend(&Frames::cashDrawer);
}

void PrinterCommands::Command1_Click()
{
    sendBuilt(Frames::ostrikArm());
}

void PrinterCommands::Command2_Click()
{
    sendBuilt(Frames::velmarArm());
}

void PrinterCommands::Command3_Click()
{
    sendBuilt(Frames::setLanguage(m_view.languageIndex()));
}

void PrinterCommands::Command4_Click()
{
    sendBuilt(Frames::blackMarkOn());
}

void PrinterCommands::Command5_Click()
{
    sendBuilt(Frames::blackMarkOff());
}

void PrinterCommands::Command8_Click()
{
    const CodePageNumber codePage = readCodePageNumber(m_view.text(Field::CodePage));
    if (codePage.status == CodePageNumber::Status::OutOfRange) {
        // One byte carries the code page; anything else is refused before a connection is made.
        m_view.showMessage(QString::fromLatin1(CommandMessages::kCodePageOutOfRange));
        m_view.setFocus(Field::CodePage);
        m_view.setSelection(Field::CodePage, 0, int(m_view.text(Field::CodePage).size()));
        return;
    }
    sendBuilt(Frames::setDefaultCodePage(codePage.value));
}

void PrinterCommands::Command7_Click()
{
    sendBuilt(Frames::printNvImage());
}

void PrinterCommands::Command6_Click()
{
    m_link.Connect_printer();
    if (!m_state.blnConnected)
        return;

    QFile file(QDir(m_programFolder).filePath(QString::fromLatin1(kNvDataFileName)));
    const NvImageFile image = NvImageFile::readWhole(file);
    // This connection's record: it goes on counting even if a click during the wait below
    // replaces the connection and the replaced one drains in the background.
    const std::shared_ptr<const DeliveryStatus> delivery = m_link.Winsock1.delivery();
    if (image.status() != NvImageFile::Status::Read || !delivery ||
        !m_link.SendData(image.bytes())) {
        file.close();
        m_link.sendFailed();
        return;
    }
    file.close();

    if (!m_link.Delay_ms(kNvDownloadWaitMs))
        return; // the program is ending
    switch (awaitDelivery(delivery)) {
    case Delivery::Abandoned:
        return;
    case Delivery::Failed:
        // The failure path closes the download's own connection, not one a later click opened.
        if (m_link.Winsock1.delivery() == delivery)
            m_link.sendFailed();
        else
            m_view.showMessage(QString::fromLatin1(LinkMessages::kTransmitFailed));
        return;
    case Delivery::Complete:
        m_view.showMessage(QString::fromUtf8(CommandMessages::kNvDownloadComplete));
        return;
    }
}

// Success is reported only once every byte of the file has left, however long a slow printer
// takes to read them, unless they stand still as long as the socket lets a replaced connection.
PrinterCommands::Delivery
PrinterCommands::awaitDelivery(const std::shared_ptr<const DeliveryStatus>& delivery)
{
    while (!delivery->settled()) {
        const qint64 written = delivery->written;
        const bool more = Module1::waitUntil(
            [&] { return delivery->settled() || delivery->written != written; },
            QDeadlineTimer(m_link.Winsock1.drainStallMs()), [this] { return m_link.ending(); });
        if (!more)
            return Delivery::Abandoned;
        if (!delivery->settled() && delivery->written == written)
            return Delivery::Failed; // stalled
    }
    return delivery->broken ? Delivery::Failed : Delivery::Complete;
}

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class FormView;
class PrinterLink;
struct DeliveryStatus;
struct FormState;

// The handlers of the print, cut and cash drawer buttons and of the hidden settings and NV bit
// image group. Each asks the link for a fresh connection and sends one frame on it.
class PrinterCommands {
public:
    PrinterCommands(PrinterLink& link, FormView& view, FormState& state);

    void cmdSend_Click();
    void cmdCut_Click();
    void cmdCash_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command8_Click();
    void Command6_Click();
    void Command7_Click();

    // The folder where the NV bit image data file is looked for: the program's own by default.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    QString programFolder() const { return m_programFolder; }

    static constexpr const char* kNvDataFileName = "TavoNV.bin";
    static constexpr int kNvDownloadWaitMs = 3000;

private:
    enum class Delivery { Complete, Failed, Abandoned };

    // Connects first and builds the frame only once the connection stands.
    void connectThenSend(const std::function<QByteArray()>& build);
    // Sends a frame built before the connection was asked for.
    void sendBuilt(const QByteArray& frame);
    void send(const QByteArray& frame);
    Delivery awaitDelivery(const std::shared_ptr<const DeliveryStatus>& delivery);

    PrinterLink& m_link;
    FormView& m_view;
    FormState& m_state;
    QString m_programFolder;
};

namespace CommandMessages {
inline const char* const kCodePageOutOfRange = "The code page must be a number from 0 to 255.";
inline const char* const kNvDownloadComplete = "恭喜您！NV下载完成。"; // UTF-8
} // namespace CommandMessages

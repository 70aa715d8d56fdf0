#pragma once

#include "core/Catalogue.h"

#include <QString>

#include <functional>

class FormView;
class WindowLink;
struct FormState;

// The handlers of the print, cut and cash drawer buttons and of the hidden settings and NV bit
// image group. Each asks the link for a fresh connection and sends its command's bytes on it.
class PrinterCommands {
public:
    PrinterCommands(WindowLink& link, FormView& view, FormState& state);

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
    // Connects first and builds the sends only once the connection stands.
    void connectThenSend(const std::function<Catalogue::Sends()>& build);
    // Sends what was built before the connection was asked for.
    void sendBuilt(const Catalogue::Sends& sends);

    WindowLink& m_link;
    FormView& m_view;
    FormState& m_state;
    QString m_programFolder;
};

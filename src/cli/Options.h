#pragma once

#include "core/Defaults.h"
#include "core/PrinterStatus.h"
#include "link/Fleet.h"
#include "link/Listener.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

class Output;

// Every option of the tool, which of them each command takes, and their values read once into
// types; the help is written from the same table.
namespace Options {

enum class Name {
    Host,
    Hosts,
    Port,
    Timeout,
    Jobs,
    DryRun,
    Json,
    Yes,
    Quiet,
    Encoding,
    Status,
    Confirm,
    ConfirmTimeout,
    Identify,
    Force,
    Bind,
    Count,
    Save,
    StatusReply,
    Render,
    Paper,
    Fault,
    Help,
    Version,
};

struct Row {
    Name name;
    char letter; // the short name; 0 for none
    const char* word;
    const char* value; // the value's name; empty for a switch
    const char* help;  // "%1" stands for the command's default
    // The only values it takes, "a|b", for the shell's completion to offer; a FILE, OUT or DIR
    // value is offered paths.
    const char* choices = nullptr;
};
std::span<const Row> rows();
const Row& row(Name name);

// What a command takes beside its arguments, and its own defaults.
struct Takes {
    QList<Name> options;
    int timeoutMs = Defaults::kConnectTimeoutMs;
    int jobs = 64;
    int lowestPort = 1;        // 0 takes any free port
    bool renderFolder = false; // --render names a folder, each connection's receipts in it
};
// What every printer command takes: the printers, how they are reached, and the output.
Takes fleet();

// The values, for the command that takes them; defaults where none was given.
struct Settings {
    QList<Fleet::Target> targets; // -H and --hosts, every printer once; the window's by default
    std::uint16_t port = Defaults::kPrinterPort;
    int timeoutMs = Defaults::kConnectTimeoutMs;
    bool timeoutGiven = false;
    int jobs = 64;
    bool dryRun = false;
    bool json = false;
    bool yes = false;
    bool quiet = false;
    int codePage = 1252; // --encoding, or the system's
    bool status = false;
    bool confirm = false;
    int confirmTimeoutMs = 10000;
    bool identify = false;
    bool force = false;
    QString bind = QStringLiteral("127.0.0.1"); // in its usual form
    int count = 0;                              // 0: no end
    QString saveDir;
    const PrinterStatus::Simulation* statusReply = nullptr;
    QString render; // the file or folder --render draws the receipts into; empty: no drawing
    int paperMm = 80;
    Listener::Faults faults; // --fault, each given once
};

// The words of a command line, split into options and positional words; nothing read yet.
struct Line {
    struct Given {
        Name name;
        QString spelling; // as written: "-t", "--timeout"
        QString value;
    };
    QList<Given> given;
    QStringList positional;
    QString error; // an unknown option or a missing value

    bool has(Name name) const;
};
Line split(const QStringList& words);

// The values of what was given, checked against what the command takes. Every refusal is
// told; nothing then.
std::optional<Settings> read(const Line& line, const QString& command, const Takes& takes,
                             Output& output);

} // namespace Options

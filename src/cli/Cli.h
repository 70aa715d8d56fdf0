#pragma once

#include "Options.h"
#include "Output.h"
#include "core/Catalogue.h"

#include <QString>
#include <QStringList>

// corvane-cli: every command of the window from a terminal, for one printer or a fleet.
namespace Cli {

// The exit statuses scripts can rely on.
enum Exit {
    Ok = 0,          // every printer succeeded
    Failed = 1,      // at least one printer failed
    Usage = 2,       // usage error or refused input: nothing was sent
    Declined = 3,    // the question was declined or could not be asked
    ReaderGone = 141 // standard output's reader went away; the work itself was done
};

// What every command gets: the values of its options, its own arguments and the output.
struct Context {
    const Options::Settings& settings;
    QString command;
    QStringList arguments; // after the command's name
    Output& output;

    // A refusal naming what was wrong; returns Usage for the caller to end with.
    int refuse(const QString& message) const
    {
        output.err(QStringLiteral("corvane-cli: ") + message);
        return Usage;
    }
};

// The bytes of a file, "-" for standard input; nothing when it cannot be read, and why.
std::optional<QByteArray> readFile(const QString& path, QString* why);

// The question before a command that asks, on the terminal: Ok for yes, else Declined, told.
int ask(const Context& context, const Catalogue::Command& command);

// What a printer command takes: the fleet's options, --yes for one that asks, --encoding for
// one that sends text.
Options::Takes takes(const Catalogue::Command& command);
// A printer command of the catalogue (PrinterCommand.cpp).
int runPrinterCommand(const Catalogue::Command& command, Context& context);

} // namespace Cli

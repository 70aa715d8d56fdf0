#pragma once

#include "Output.h"
#include "core/Defaults.h"
#include "link/Fleet.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QList>
#include <QString>
#include <QStringList>

// corvane-cli: every command of the window from a terminal, for one printer or a fleet.
namespace Cli {

// The exit statuses scripts can rely on.
enum Exit {
    Ok = 0,           // every printer succeeded
    Failed = 1,       // at least one printer failed
    Usage = 2,        // usage error or refused input: nothing was sent
    Declined = 3,     // the confirmation was declined or could not be asked
    Interrupted = 130 // Ctrl+C: the results so far were shown
};

// What every command gets: the parsed options, its own arguments and the output.
struct Context {
    QCommandLineParser& parser;
    QString command;
    QStringList arguments; // after the command's name
    Output& output;

    bool json() const;
    bool dryRun() const;
    bool yes() const;
    // The printers of -H/--host and --hosts, or the window's default address. Nothing on a
    // bad address: the reason has been told, and the caller ends with Usage.
    std::optional<QList<Fleet::Target>> targets() const;
    std::optional<int> number(const char* option, int lowest, int highest) const;
    std::uint16_t port() const;
    // The option's value, or the command's own default.
    int timeoutMs(int fallback = Defaults::kConnectTimeoutMs) const;
    int jobs(int fallback = 64) const;
    // The code page of --encoding, or the locale's Windows code page as the window uses.
    std::optional<int> codePage() const;
    // A refusal naming what was wrong; returns Usage for the caller to end with.
    int refuse(const QString& message) const;
};

// One command-line option: its names, the name of its value (empty for a switch), its help.
struct OptionRow {
    QStringList names;
    const char* value;
    const char* help;
};

// The commands the window has no button for, beside the catalogue's printer commands.
struct ToolCommand {
    const char* name;
    const char* arguments;
    const char* summary;
    QList<OptionRow> options; // its own, beside the common ones
    int (*run)(Context& context);
    const char* details = ""; // more for the command's own help
};

int main(int argc, char* argv[]);

// Runs the fleet until every printer has its result or Ctrl+C; hands each result to report as
// it comes. Returns Interrupted after Ctrl+C, otherwise Ok.
int runFleet(Fleet& fleet, Output& output, const std::function<void(const Fleet::Result&)>& report);
// Runs loop until it quits or Ctrl+C, on which interrupted is called first. Returns Interrupted
// after Ctrl+C, otherwise Ok.
int runLoop(QEventLoop& loop, const std::function<void()>& interrupted);

} // namespace Cli

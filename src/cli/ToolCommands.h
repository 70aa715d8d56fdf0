#pragma once

#include "Cli.h"
#include "core/Decoder.h"

#include <QCoreApplication>
#include <QStringView>

#include <memory>
#include <span>

// The commands beyond the window's buttons: each lives in a file of its own and is listed here.
namespace ToolCommands {

struct ToolCommand {
    const char* name;
    const char* arguments;
    const char* summary;
    Options::Takes takes;
    int (*run)(Cli::Context& context);
    const char* details; // more for the command's own help
    const char* exits;   // what its 0 and 1 mean
    const char* stopped; // what a signal leaves shown; null when it is not waited for
};

std::span<const ToolCommand> all();
const ToolCommand* find(QStringView name);

// The commands, each in its own file.
int runFind(Cli::Context& context);   // FindCommand.cpp
int runStatus(Cli::Context& context); // StatusCommand.cpp
int runListen(Cli::Context& context); // ListenCommand.cpp
int runDecode(Cli::Context& context); // DecodeCommand.cpp

// The application the command line asks for: a GUI one, offscreen, where it draws receipts.
std::unique_ptr<QCoreApplication> application(int& argc, char* argv[]); // DecodeCommand.cpp

// The paper --paper names, in dots across (DecodeCommand.cpp).
int paperDots(int paperMm);

// One decoded item on the output; connection is its number for listen, 0 for decode.
void printItem(Cli::Context& context, const Decoding::Item& item, int connection);

} // namespace ToolCommands

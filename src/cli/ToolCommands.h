#pragma once

#include "Cli.h"
#include "core/Decoder.h"

#include <QCoreApplication>
#include <QStringView>

#include <memory>
#include <span>

// The commands beyond the window's buttons: each lives in a file of its own and is listed here.
namespace ToolCommands {
std::span<const Cli::ToolCommand> all();
const Cli::ToolCommand* find(QStringView name);

// The commands, each in its own file.
int runFind(Cli::Context& context);   // FindCommand.cpp
int runStatus(Cli::Context& context); // StatusCommand.cpp
int runListen(Cli::Context& context); // ListenCommand.cpp
int runDecode(Cli::Context& context); // DecodeCommand.cpp

// The application the command line asks for: a GUI one, offscreen, where it draws receipts.
std::unique_ptr<QCoreApplication> application(int& argc, char* argv[]); // DecodeCommand.cpp

// One decoded item on the output; connection is its number for listen, 0 for decode.
void printItem(Cli::Context& context, const Decoding::Item& item, int connection);
} // namespace ToolCommands

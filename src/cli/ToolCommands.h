#pragma once

#include "Cli.h"

#include <QStringView>

#include <span>

// The commands beyond the window's buttons: each lives in a file of its own and is listed here.
namespace ToolCommands {
std::span<const Cli::ToolCommand> all();
const Cli::ToolCommand* find(QStringView name);
} // namespace ToolCommands

#include "ToolCommands.h"

#include <algorithm>

namespace ToolCommands {

namespace {

const QList<Cli::ToolCommand>& table()
{
    static const QList<Cli::ToolCommand> commands = {};
    return commands;
}

} // namespace

std::span<const Cli::ToolCommand> all()
{
    return {table().constData(), std::size_t(table().size())};
}

const Cli::ToolCommand* find(QStringView name)
{
    const auto& commands = table();
    const auto found =
        std::find_if(commands.begin(), commands.end(),
                     [name](const Cli::ToolCommand& c) { return name == QLatin1String(c.name); });
    return found == commands.end() ? nullptr : &*found;
}

} // namespace ToolCommands

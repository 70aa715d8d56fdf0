#pragma once

#include <QString>

#include <optional>

// The help: of the tool, and of each command with only the options it takes, its defaults and
// its exit statuses.
namespace Help {

QString general();
// Nothing for a command there is none of.
std::optional<QString> of(const QString& command);

} // namespace Help

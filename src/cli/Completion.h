#pragma once

#include <QStringList>

class Output;

// What the shell's completion offers for the word being typed, read from the same tables as the
// help, so that a new command or option is offered without the completion script knowing it.
namespace Completion {

// The hidden first word that asks for it: corvane-cli --complete WORD... CURRENT
inline constexpr char16_t kOption[] = u"--complete";

// words: those after the program's name, the last the one being typed (may be empty). Writes
// one candidate a line, or "@files" or "@dirs" for the shell to offer paths. Always Ok.
int run(const QStringList& words, Output& output);

} // namespace Completion

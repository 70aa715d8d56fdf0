#include "Completion.h"

#include "Cli.h"
#include "ToolCommands.h"

#include <set>

namespace Completion {

namespace {

using Options::Name;

const Options::Row* byWord(QStringView word)
{
    for (const Options::Row& row : Options::rows()) {
        if (word == QLatin1String(row.word))
            return &row;
    }
    return nullptr;
}

const Options::Row* byLetter(QChar letter)
{
    for (const Options::Row& row : Options::rows()) {
        if (row.letter && letter == QLatin1Char(row.letter))
            return &row;
    }
    return nullptr;
}

QStringList valuesOf(const Options::Row& row)
{
    if (row.name == Name::StatusReply) {
        QStringList names;
        for (const PrinterStatus::Simulation& simulation : PrinterStatus::simulations())
            names << QLatin1String(simulation.name);
        return names;
    }
    if (row.choices)
        return QString::fromLatin1(row.choices).split(u'|');
    const QLatin1String value(row.value);
    if (value == QLatin1String("FILE") || value == QLatin1String("OUT"))
        return {QStringLiteral("@files")};
    if (value == QLatin1String("DIR"))
        return {QStringLiteral("@dirs")};
    return {};
}

// The long names, as the help lists them; before a command, those of every command.
QStringList optionsOf(const QString& command)
{
    std::set<Name> names;
    auto take = [&](const Options::Takes& takes) {
        names.insert(takes.options.begin(), takes.options.end());
    };
    if (const ToolCommands::ToolCommand* tool = ToolCommands::find(command)) {
        take(tool->takes);
    } else if (const Catalogue::Command* printer = Catalogue::find(command)) {
        take(Cli::takes(*printer));
    } else {
        for (const ToolCommands::ToolCommand& t : ToolCommands::all())
            take(t.takes);
        for (const Catalogue::Command& c : Catalogue::all())
            take(Cli::takes(c));
        names.insert(Name::Version);
    }
    QStringList words;
    for (Name name : names)
        words << QStringLiteral("--") + QLatin1String(Options::row(name).word);
    return words;
}

QStringList commands()
{
    QStringList names;
    for (const Catalogue::Command& c : Catalogue::all())
        names << QLatin1String(c.name);
    for (const ToolCommands::ToolCommand& t : ToolCommands::all())
        names << QLatin1String(t.name);
    return names << QStringLiteral("help");
}

// What a command's own words may be, once `given` of them are there.
QStringList argumentsOf(const QString& command, qsizetype given)
{
    const Catalogue::Command* printer = Catalogue::find(command);
    const ToolCommands::ToolCommand* tool = ToolCommands::find(command);
    if (command == u"help")
        return given == 0 ? commands() : QStringList();
    const QLatin1String argument(printer ? printer->argument : tool ? tool->arguments : "");
    if (given > 0 && !argument.endsWith(QLatin1String("...")) &&
        !argument.endsWith(QLatin1String("...]")))
        return {};
    if (printer && !printer->choices.empty()) {
        QStringList words;
        for (const char* word : printer->choices)
            words << QLatin1String(word);
        return words;
    }
    if (argument.contains(QLatin1String("FILE")))
        return {QStringLiteral("@files")};
    return {};
}

} // namespace

int run(const QStringList& words, Output& output)
{
    const QString current = words.value(words.size() - 1);
    QString command;
    qsizetype arguments = 0;
    bool optionsEnd = false;
    const Options::Row* pending = nullptr; // an option whose value is the next word
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        const QString& word = words[i];
        // Read as Options::split reads a line: a value follows its option, "--" ends them.
        if (pending) {
            pending = nullptr;
        } else if (optionsEnd || word.size() < 2 || word[0] != u'-' || word[1].isDigit()) {
            if (command.isEmpty())
                command = word;
            else
                ++arguments;
        } else if (word == u"--") {
            optionsEnd = true;
        } else if (word.startsWith(u"--")) {
            const Options::Row* row = byWord(QStringView(word).mid(2));
            pending = row && *row->value ? row : nullptr;
        } else {
            for (qsizetype at = 1; at < word.size(); ++at) {
                const Options::Row* row = byLetter(word[at]);
                if (row && *row->value) {
                    pending = at + 1 == word.size() ? row : nullptr;
                    break;
                }
            }
        }
    }
    QStringList offer;
    if (pending)
        offer = valuesOf(*pending);
    else if (!optionsEnd && current.startsWith(u'-'))
        offer = optionsOf(command);
    else if (command.isEmpty())
        offer = commands();
    else
        offer = argumentsOf(command, arguments);
    for (const QString& word : offer)
        output.out(word.toUtf8());
    return Cli::Ok;
}

} // namespace Completion

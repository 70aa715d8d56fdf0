// corvane-cli: the words read, the command found and run, and what became of the output.
#include "Cli.h"
#include "Completion.h"
#include "Help.h"
#include "ToolCommands.h"
#include "link/Connection.h"

#include <QCoreApplication>

namespace {

int run(Output& output)
{
    const QStringList words = QCoreApplication::arguments().mid(1);
    if (words.value(0) == QStringView(Completion::kOption))
        return Completion::run(words.mid(1), output);
    const Options::Line line = Options::split(words);
    if (!line.error.isEmpty()) {
        output.err(QStringLiteral("corvane-cli: %1; corvane-cli help lists the commands and "
                                  "corvane-cli help COMMAND the options of one")
                       .arg(line.error));
        return Cli::Usage;
    }
    QString name = line.positional.value(0);
    const bool help = name == u"help" || line.has(Options::Name::Help);
    if (name == u"help")
        name = line.positional.value(1);
    if (name == u"help")
        name.clear();
    if (name.isEmpty()) {
        if (line.has(Options::Name::Version) && !help) {
            output.out("corvane-cli " CORVANE_VERSION);
            return Cli::Ok;
        }
        // Asked for, the help is the output; given nothing, it says what was missing.
        if (help) {
            output.out(Help::general().toUtf8().chopped(1));
            return Cli::Ok;
        }
        output.err(Help::general().chopped(1));
        return Cli::Usage;
    }
    const ToolCommands::ToolCommand* tool = ToolCommands::find(name);
    const Catalogue::Command* command = tool ? nullptr : Catalogue::find(name);
    if (!tool && !command) {
        output.err(QStringLiteral("corvane-cli: there is no command \"%1\"; corvane-cli help "
                                  "lists them")
                       .arg(name));
        return Cli::Usage;
    }
    if (help) {
        output.out(Help::of(name)->toUtf8().chopped(1));
        return Cli::Ok;
    }
    const std::optional<Options::Settings> settings =
        Options::read(line, name, tool ? tool->takes : Cli::takes(*command), output);
    if (!settings)
        return Cli::Usage;
    output.quiet = settings->quiet;
    Cli::Context context{*settings, name, line.positional.mid(1), output};
    return tool ? tool->run(context) : Cli::runPrinterCommand(*command, context);
}

} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = ToolCommands::application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    Output output;
    int status = run(output);
    // Connections still delivering get their time: no byte is lost at exit.
    Connection::awaitRetired();
    // Output that was lost is no success. A reader that went away needs no message: it knows.
    switch (output.kept()) {
    case Output::Kept::All:
        break;
    case Output::Kept::ReaderGone:
        status = status == Cli::Ok ? int(Cli::ReaderGone) : status;
        break;
    case Output::Kept::Failed:
        output.err(QStringLiteral("corvane-cli: writing to standard output failed: %1")
                       .arg(output.failure()));
        status = status == Cli::Ok ? int(Cli::Failed) : status;
        break;
    }
    return status;
}

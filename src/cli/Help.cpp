#include "Help.h"

#include "Cli.h"
#include "ToolCommands.h"
#include "core/AnsiCodePage.h"

namespace Help {

namespace {

using Options::Name;

QString commandLine(const char* name, const char* arguments)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(name), QLatin1String(arguments)).trimmed();
}

QString line(const QString& left, const QString& right)
{
    return QStringLiteral("  %1  %2\n").arg(left, -26).arg(right);
}

// What "%1" in an option's help stands for with this command.
QString fill(const Options::Row& row, const Options::Takes& takes)
{
    const QString help = QString::fromUtf8(row.help);
    switch (row.name) {
    case Name::Host:
        return help.arg(QLatin1String(Defaults::kCurrentAddress));
    case Name::Port:
        return help.arg(takes.lowestPort == 0 ? QStringLiteral("9100; 0 takes any free port")
                                              : QStringLiteral("9100"));
    case Name::Timeout:
        return help.arg(takes.timeoutMs);
    case Name::Jobs:
        return help.arg(takes.jobs);
    case Name::ConfirmTimeout:
        return help.arg(Options::Settings().confirmTimeoutMs);
    case Name::Encoding:
        return help.arg(AnsiCodePage::system());
    case Name::StatusReply: {
        QStringList names;
        for (const PrinterStatus::Simulation& simulation : PrinterStatus::simulations())
            names << QLatin1String(simulation.name);
        return help.arg(names.join(u'|'));
    }
    case Name::Render:
        return takes.renderFolder ? QStringLiteral("draw each connection's receipts as a printer "
                                                   "prints them, into DIR as PNG files")
                                  : help;
    default:
        return help;
    }
}

QString options(const Options::Takes& takes)
{
    QString text;
    QList<Name> names = takes.options;
    // The help last, where a reader looks for it.
    if (names.removeAll(Name::Help) > 0)
        names << Name::Help;
    for (Name name : names) {
        const Options::Row& row = Options::row(name);
        QString left = row.letter ? QStringLiteral("-%1, --%2").arg(QLatin1Char(row.letter))
                                  : QStringLiteral("--%1");
        left = left.arg(QLatin1String(row.word));
        if (*row.value)
            left += QStringLiteral(" <%1>").arg(
                QLatin1String(name == Name::Render && takes.renderFolder ? "DIR" : row.value));
        text += line(left, fill(row, takes));
    }
    return text;
}

// own tells what 0 and 1 mean; stopped, what a signal leaves shown.
QString exits(const char* own, bool asks, const char* stopped)
{
    QString text = QStringLiteral("Exit status:\n") + QString::fromUtf8(own) +
                   QStringLiteral("  2    usage error or refused input: nothing was done\n");
    if (asks)
        text += QStringLiteral("  3    the question was declined or could not be asked\n");
    if (stopped)
        text += QStringLiteral("  129, 130, 143  ended by SIGHUP, Ctrl+C or SIGTERM: %1\n")
                    .arg(QString::fromUtf8(stopped));
    return text + QStringLiteral("  141  standard output's reader went away (| head); what was "
                                 "left to show is lost\n"
                                 "A failed write to standard output ends in 1, told on standard "
                                 "error.\n");
}

QString printerHelp(const Catalogue::Command& command)
{
    QString text = QString::fromUtf8(command.summary) + u'\n';
    if (*command.details)
        text += QString::fromUtf8(command.details) + u'\n';
    const QByteArray frame = Catalogue::frame(command);
    if (!frame.isEmpty() && frame.size() <= 16)
        text += QStringLiteral("Sends%1: %2\n")
                    .arg(*command.example
                             ? QStringLiteral(", for %1 %2")
                                   .arg(QLatin1String(command.name), QLatin1String(command.example))
                             : QString(),
                         QString::fromLatin1(frame.toHex(' ').toUpper()));
    if (command.asks()) {
        const QString example = QLatin1String(command.example);
        QString window = Outcomes::confirmation(command.id, example);
        window.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text += QStringLiteral("Asks first, on the terminal, naming the printer:\n  %1\n  %2\n"
                               "--yes goes ahead without asking; without a terminal and without "
                               "--yes nothing\nis sent. It changes one printer at a time: name "
                               "exactly one with -H.\n")
                    .arg(QString::fromUtf8(command.words.change)
                             .arg(QLatin1String(Defaults::kCurrentAddress), example),
                         window.replace(u'\n', QStringLiteral("\n  ")));
    }
    if (command.confirms)
        text += QStringLiteral(
            "--confirm sends GS r 1 (1D 72 01) behind the bytes, which the printer answers once\n"
            "it has worked through them, and waits for the answer at most --confirm-timeout\n"
            "from the last byte taken. When none comes, DLE EOT 2 and then DLE EOT 1 say why,\n"
            "each within --timeout, 1000 ms at most. Outcomes: printed, paper-out, cover-open,\n"
            "offline, no-confirmation, disconnected.\n");
    const QString own =
        exits(command.confirms
                  ? "  0    every printer succeeded (with --confirm: printed)\n"
                    "  1    at least one failed (unreachable, refused, send failed) or did not\n"
                    "       print\n"
                  : "  0    every printer succeeded\n"
                    "  1    at least one failed (unreachable, refused, send failed)\n",
              command.asks(), "every printer is reported, those not\n       done as interrupted");
    return QStringLiteral("Usage: corvane-cli [options] %1\n%2\nOptions:\n%3\n%4")
        .arg(commandLine(command.name, command.argument), text, options(Cli::takes(command)), own);
}

} // namespace

QString general()
{
    QString text = QStringLiteral("Usage: corvane-cli [options] COMMAND [ARGS]\n"
                                  "Sets up and tests network receipt printers over TCP.\n\n"
                                  "Printer commands, sent to every printer named:\n");
    for (const Catalogue::Command& command : Catalogue::all())
        text +=
            line(commandLine(command.name, command.argument), QString::fromUtf8(command.summary));
    text += QStringLiteral("\nOther commands:\n");
    for (const ToolCommands::ToolCommand& tool : ToolCommands::all())
        text += line(commandLine(tool.name, tool.arguments), QString::fromUtf8(tool.summary));
    text +=
        line(QStringLiteral("help [COMMAND]"), QStringLiteral("show this help, or a command's"));
    text += QStringLiteral("\nOptions of the printer commands and status:\n") +
            options(Options::fleet());
    text += line(QStringLiteral("--version"), QStringLiteral("show the version"));
    text += QStringLiteral("\nEach command takes only its own options: corvane-cli help COMMAND "
                           "lists them,\nwith the command's defaults and exit statuses.\n");
    return text;
}

std::optional<QString> of(const QString& name)
{
    if (const Catalogue::Command* command = Catalogue::find(name))
        return printerHelp(*command);
    const ToolCommands::ToolCommand* tool = ToolCommands::find(name);
    if (!tool)
        return std::nullopt;
    return QStringLiteral("Usage: corvane-cli [options] %1\n%2\n%3\n\nOptions:\n%4\n%5")
        .arg(commandLine(tool->name, tool->arguments), QString::fromUtf8(tool->summary),
             QString::fromUtf8(tool->details), options(tool->takes),
             exits(tool->exits, false, tool->stopped));
}

} // namespace Help

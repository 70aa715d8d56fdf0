#include "Cli.h"

#include "Arguments.h"
#include "ToolCommands.h"
#include "core/AnsiCodePage.h"
#include "core/Defaults.h"
#include "link/Connection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Cli {

namespace {

// ----- options -----

// Every option of every command: the parser must know them all before it knows the command.
const QList<OptionRow>& optionRows()
{
    static const QList<OptionRow> rows = {
        {{"H", "host"},
         "ADDR",
         "a printer's IPv4 address; repeat for more (default 192.168.123.100)"},
        {{"hosts"}, "FILE", "printer addresses, one a line, # comments; - for standard input"},
        {{"p", "port"}, "N", "the printer port (default 9100)"},
        {{"t", "timeout"}, "MS", "connect timeout in milliseconds (default 3000)"},
        {{"j", "jobs"}, "N", "printers worked on at once (default 64)"},
        {{"n", "dry-run"}, "", "connect to nothing; print the bytes each printer would receive"},
        {{"json"}, "", "one JSON object per line on standard output"},
        {{"y", "yes"}, "", "do not ask before changing a printer's address or Ethernet ID"},
        {{"q", "quiet"}, "", "report only failures"},
        {{"encoding"}, "CP", "Windows code page for print (default: the locale's, as the window)"},
        {{"h", "help"}, "", "show this help, or a command's with COMMAND --help"},
        {{"version"}, "", "show the version"},
    };
    return rows;
}

QList<QCommandLineOption> options()
{
    QList<QCommandLineOption> all;
    QList<OptionRow> rows = optionRows();
    for (const ToolCommand& tool : ToolCommands::all())
        rows += tool.options;
    for (const OptionRow& row : rows) {
        QCommandLineOption option(row.names, QString::fromUtf8(row.help),
                                  QString::fromLatin1(row.value));
        all << option;
    }
    return all;
}

QString optionList(const QList<OptionRow>& rows)
{
    QString text;
    for (const OptionRow& row : rows) {
        QStringList names;
        for (const QString& name : row.names)
            names << QString(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (*row.value)
            left += QStringLiteral(" <%1>").arg(QString::fromLatin1(row.value));
        text += QStringLiteral("  %1  %2\n").arg(left, -24).arg(QString::fromUtf8(row.help));
    }
    return text;
}

const char* const kExitStatuses = "Exit status:\n"
                                  "  0    every printer succeeded\n"
                                  "  1    at least one printer failed (unreachable, refused, "
                                  "send failed)\n"
                                  "  2    usage error or refused input: nothing was sent\n"
                                  "  3    the confirmation was declined or could not be asked\n"
                                  "  130  interrupted by Ctrl+C: the results so far are shown\n";

QString commandLine(const char* name, const char* arguments)
{
    return QStringLiteral("%1 %2")
        .arg(QString::fromLatin1(name), QString::fromLatin1(arguments))
        .trimmed();
}

QString generalHelp()
{
    QString text = QStringLiteral("Usage: corvane-cli [options] COMMAND [ARGS]\n"
                                  "Sets up and tests network receipt printers over TCP.\n\n"
                                  "Printer commands, sent to every printer named:\n");
    for (const Catalogue::Command& command : Catalogue::all())
        text += QStringLiteral("  %1  %2\n")
                    .arg(commandLine(command.name, command.argument), -30)
                    .arg(QString::fromUtf8(command.summary));
    text += QStringLiteral("\nOther commands:\n");
    for (const ToolCommand& tool : ToolCommands::all())
        text += QStringLiteral("  %1  %2\n")
                    .arg(commandLine(tool.name, tool.arguments), -30)
                    .arg(QString::fromUtf8(tool.summary));
    text += QStringLiteral("\nOptions:\n") + optionList(optionRows());
    text += QStringLiteral("\n") + QString::fromLatin1(kExitStatuses);
    return text;
}

std::optional<QString> commandHelp(const QString& name)
{
    QString usage, summary, options;
    if (const Catalogue::Command* command = Catalogue::find(name)) {
        usage = commandLine(command->name, command->argument);
        summary = QString::fromUtf8(command->summary);
        options = optionList(optionRows());
    } else if (const ToolCommand* tool = ToolCommands::find(name)) {
        usage = commandLine(tool->name, tool->arguments);
        summary = QString::fromUtf8(tool->summary);
        if (*tool->details)
            summary += QStringLiteral("\n") + QString::fromUtf8(tool->details);
        options = optionList(tool->options + optionRows());
    } else {
        return std::nullopt;
    }
    return QStringLiteral("Usage: corvane-cli [options] %1\n%2\n\nOptions:\n%3\n%4")
        .arg(usage, summary, options, QString::fromLatin1(kExitStatuses));
}

// ----- Ctrl+C -----

int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_interruptPipe[1], &byte, 1);
}

// Turns SIGINT into an event for as long as it lives.
class InterruptWatch {
public:
    explicit InterruptWatch(const std::function<void()>& interrupted)
    {
        if (::pipe(g_interruptPipe) != 0)
            return;
        for (int fd : g_interruptPipe)
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previous);
        m_notifier = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         interrupted);
    }
    ~InterruptWatch()
    {
        ::sigaction(SIGINT, &m_previous, nullptr);
        m_notifier.reset();
        for (int& fd : g_interruptPipe) {
            if (fd >= 0)
                ::close(std::exchange(fd, -1));
        }
    }

private:
    struct sigaction m_previous {};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// ----- the printer commands -----

std::optional<QByteArray> readSource(const QString& path, QString* why)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        *why = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// Asks the window's question on the terminal. Ok for yes.
int confirm(Context& context, const Catalogue::Command& command)
{
    const QString question = Outcomes::confirmation(command.id, context.arguments.value(0));
    if (::isatty(STDIN_FILENO) != 1) {
        context.output.err(QStringLiteral("%1 asks before it changes a printer, but there is no "
                                          "terminal to ask on; give --yes to go ahead")
                               .arg(context.command));
        return Declined;
    }
    QString prompt = question;
    prompt.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray text = (prompt + QStringLiteral(" [y/N] ")).toUtf8();
    [[maybe_unused]] const auto shown =
        ::write(STDERR_FILENO, text.constData(), size_t(text.size()));
    QByteArray answer;
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n')
        answer += c;
    const QByteArray word = answer.trimmed().toLower();
    if (word == "y" || word == "yes")
        return Ok;
    context.output.err(QStringLiteral("Nothing was sent."));
    return Declined;
}

int runPrinterCommand(const Catalogue::Command& command, Context& context)
{
    const std::optional<int> codePage = context.codePage();
    if (!codePage)
        return Usage;
    const Arguments::Parsed<Catalogue::Input> input =
        Arguments::input(command, context.arguments, {*codePage, readSource});
    if (!input.value)
        return context.refuse(input.refusal);
    const std::optional<QList<Fleet::Target>> targets = context.targets();
    if (!targets)
        return Usage;
    if (!context.number("port", 1, 65535) || !context.number("timeout", 1, 3600000) ||
        !context.number("jobs", 1, 4096))
        return Usage;
    const Catalogue::Sends sends = Catalogue::sends(command.id, *input.value);
    const QString name = QString::fromLatin1(command.name);

    if (command.changesNetwork) {
        // One address or Ethernet ID for several printers would make them clash.
        if (targets->size() != 1)
            return context.refuse(QStringLiteral("%1 changes one printer: name exactly one "
                                                 "with -H/--host")
                                      .arg(name));
        if (!context.dryRun() && !context.yes()) {
            const int answer = confirm(context, command);
            if (answer != Ok)
                return answer;
        }
    }

    if (context.dryRun()) {
        const QByteArray hex = Catalogue::wire(sends).toHex(' ').toUpper();
        for (const Fleet::Target& target : *targets) {
            if (context.json())
                context.output.out(QJsonDocument(QJsonObject{{"host", target.host},
                                                             {"command", name},
                                                             {"hex", QString::fromLatin1(hex)}})
                                       .toJson(QJsonDocument::Compact));
            else
                context.output.out(target.host.toUtf8() + '\t' + hex);
        }
        return Ok;
    }

    Fleet fleet(*targets, context.port(), context.timeoutMs(), context.jobs(),
                Fleet::sendAll(sends));
    qsizetype done = 0, failures = 0;
    const qsizetype total = targets->size();
    const int status = runFleet(fleet, context.output, [&](const Fleet::Result& result) {
        ++done;
        const QString& host = (*targets)[result.index].host;
        const bool ok = Outcomes::succeeded(result.outcome);
        failures += ok ? 0 : 1;
        const QString message = Outcomes::windowText(result.outcome, command.id);
        if (context.json()) {
            QJsonObject line{{"host", host},
                             {"command", name},
                             {"ok", ok},
                             {"outcome", QString::fromLatin1(Outcomes::word(result.outcome))},
                             {"bytes", result.bytes},
                             {"ms", result.ms}};
            if (!message.isEmpty())
                line.insert(QStringLiteral("message"), message);
            context.output.out(QJsonDocument(line).toJson(QJsonDocument::Compact));
        } else {
            const QString text = QStringLiteral("%1\t%2\t%3 ms")
                                     .arg(host, QString::fromLatin1(Outcomes::word(result.outcome)))
                                     .arg(result.ms);
            if (!ok)
                context.output.err(message.isEmpty() ? text : text + u'\t' + message);
            else if (!context.output.quiet)
                context.output.out(text.toUtf8());
        }
        if (total > 4)
            context.output.progress(
                QStringLiteral("[%1/%2] %3 failed").arg(done).arg(total).arg(failures));
    });
    context.output.clearProgress();
    if (status == Interrupted)
        return Interrupted;
    if (total > 1 && !context.json() && !context.output.quiet)
        context.output.err(QStringLiteral("%1 printers: %2 succeeded, %3 failed")
                               .arg(total)
                               .arg(total - failures)
                               .arg(failures));
    return failures > 0 ? Failed : Ok;
}

} // namespace

// ----- Context -----

bool Context::json() const
{
    return parser.isSet(QStringLiteral("json"));
}

bool Context::dryRun() const
{
    return parser.isSet(QStringLiteral("dry-run"));
}

bool Context::yes() const
{
    return parser.isSet(QStringLiteral("yes"));
}

int Context::refuse(const QString& message) const
{
    output.err(QStringLiteral("corvane-cli: ") + message);
    return Usage;
}

std::optional<int> Context::number(const char* option, int lowest, int highest) const
{
    const QString name = QString::fromLatin1(option);
    if (!parser.isSet(name))
        return lowest;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < lowest || value > highest) {
        refuse(QStringLiteral("--%1: \"%2\" is not a number from %3 to %4")
                   .arg(name, parser.value(name))
                   .arg(lowest)
                   .arg(highest));
        return std::nullopt;
    }
    return value;
}

std::optional<int> Context::codePage() const
{
    const QString name = QStringLiteral("encoding");
    if (!parser.isSet(name))
        return AnsiCodePage::system();
    const std::optional<int> chosen = Arguments::codePage(parser.value(name));
    if (!chosen)
        refuse(QStringLiteral("--encoding: \"%1\" is not a Windows code page such as 936 or cp1252")
                   .arg(parser.value(name)));
    return chosen;
}

std::uint16_t Context::port() const
{
    return parser.isSet(QStringLiteral("port"))
               ? std::uint16_t(parser.value(QStringLiteral("port")).toInt())
               : Defaults::kPrinterPort;
}

int Context::timeoutMs(int fallback) const
{
    return parser.isSet(QStringLiteral("timeout")) ? parser.value(QStringLiteral("timeout")).toInt()
                                                   : fallback;
}

int Context::jobs(int fallback) const
{
    return parser.isSet(QStringLiteral("jobs")) ? parser.value(QStringLiteral("jobs")).toInt()
                                                : fallback;
}

std::optional<QList<Fleet::Target>> Context::targets() const
{
    QList<Fleet::Target> targets;
    for (const QString& text : parser.values(QStringLiteral("host"))) {
        const Arguments::Parsed<Fleet::Target> target = Arguments::host(text);
        if (!target.value) {
            refuse(QStringLiteral("--host: ") + target.refusal);
            return std::nullopt;
        }
        targets << *target.value;
    }
    if (parser.isSet(QStringLiteral("hosts"))) {
        const QString path = parser.value(QStringLiteral("hosts"));
        QString why;
        const std::optional<QByteArray> content = readSource(path, &why);
        if (!content) {
            refuse(QStringLiteral("--hosts: ") + why);
            return std::nullopt;
        }
        const auto listed =
            Arguments::hostList(*content, path == u"-" ? QStringLiteral("stdin") : path);
        if (!listed.value) {
            refuse(QStringLiteral("--hosts: ") + listed.refusal);
            return std::nullopt;
        }
        if (listed.value->isEmpty()) {
            refuse(QStringLiteral("--hosts: \"%1\" names no printer").arg(path));
            return std::nullopt;
        }
        targets += *listed.value;
    }
    if (targets.isEmpty())
        targets << *Arguments::host(QString::fromLatin1(Defaults::kCurrentAddress)).value;
    return targets;
}

// ----- running -----

int runFleet(Fleet& fleet, Output& output, const std::function<void(const Fleet::Result&)>& report)
{
    Q_UNUSED(output);
    QEventLoop loop;
    QObject::connect(&fleet, &Fleet::finished, &loop, report);
    QObject::connect(&fleet, &Fleet::allDone, &loop, &QEventLoop::quit);
    fleet.start();
    if (fleet.isDone())
        return Ok;
    return runLoop(loop, [&fleet] { fleet.stop(); });
}

int runLoop(QEventLoop& loop, const std::function<void()>& interrupted)
{
    bool wasInterrupted = false;
    const InterruptWatch watch([&] {
        wasInterrupted = true;
        interrupted();
        loop.quit();
    });
    loop.exec();
    return wasInterrupted ? Interrupted : Ok;
}

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = ToolCommands::application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    Output output;

    QCommandLineParser parser;
    parser.addOptions(options());
    if (!parser.parse(QCoreApplication::arguments())) {
        output.err(
            QStringLiteral("corvane-cli: %1\nTry corvane-cli --help.").arg(parser.errorText()));
        return Usage;
    }
    output.quiet = parser.isSet(QStringLiteral("quiet"));
    if (parser.isSet(QStringLiteral("version"))) {
        output.out("corvane-cli " CORVANE_VERSION);
        return Ok;
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("help"))) {
        if (positional.isEmpty()) {
            output.out(generalHelp().toUtf8().chopped(1));
            return Ok;
        }
        const std::optional<QString> help = commandHelp(positional.first());
        if (!help) {
            output.err(QStringLiteral("corvane-cli: there is no command \"%1\"; try "
                                      "corvane-cli --help")
                           .arg(positional.first()));
            return Usage;
        }
        output.out(help->toUtf8().chopped(1));
        return Ok;
    }
    if (positional.isEmpty()) {
        output.err(QStringLiteral("corvane-cli: no command given; try corvane-cli --help"));
        return Usage;
    }

    Context context{parser, positional.first(), positional.mid(1), output};
    int status = Usage;
    if (const ToolCommand* tool = ToolCommands::find(context.command))
        status = tool->run(context);
    else if (const Catalogue::Command* command = Catalogue::find(context.command))
        status = runPrinterCommand(*command, context);
    else
        output.err(QStringLiteral("corvane-cli: there is no command \"%1\"; try "
                                  "corvane-cli --help")
                       .arg(context.command));
    // Connections still delivering get their time: no byte is lost at exit.
    Connection::awaitRetired();
    return status;
}

} // namespace Cli

// corvane-cli listen: a printer on the desk that shows what reaches it.
#include "ToolCommands.h"
#include "core/PrinterStatus.h"
#include "link/Listener.h"

#include <QJsonDocument>
#include <QStringList>

namespace ToolCommands {

namespace {

// Lines still queued for a slow reader get this long once the last connection has closed.
constexpr int kDrainMs = 2000;

QString simulationNames()
{
    QStringList names;
    for (const PrinterStatus::Simulation& s : PrinterStatus::simulations())
        names << QString::fromLatin1(s.name);
    return names.join(u'|');
}

void printEvent(Cli::Context& context, QJsonObject event, const QString& text)
{
    if (context.json())
        context.output.out(QJsonDocument(event).toJson(QJsonDocument::Compact));
    else
        context.output.out(text.toUtf8());
}

std::optional<Listener::Options> options(const Cli::Context& context)
{
    Listener::Options options;
    if (!context.arguments.isEmpty()) {
        context.refuse(QStringLiteral("listen: takes no arguments, but was given \"%1\"")
                           .arg(context.arguments.join(u' ')));
        return std::nullopt;
    }
    if (context.parser.isSet(QStringLiteral("bind"))) {
        const QString text = context.parser.value(QStringLiteral("bind"));
        // An address only: a name would be looked up.
        if (!options.bind.setAddress(text)) {
            context.refuse(
                QStringLiteral("--bind: \"%1\" is not an IPv4 or IPv6 address").arg(text));
            return std::nullopt;
        }
    }
    // Port 0 takes any free port, told on standard error.
    if (!context.number("port", 0, 65535))
        return std::nullopt;
    options.port = context.port();
    const std::optional<int> count = context.number("count", 0, 1000000000);
    const std::optional<int> codePage = context.codePage();
    if (!count || !codePage)
        return std::nullopt;
    options.count = context.parser.isSet(QStringLiteral("count")) ? *count : 0;
    options.codePage = *codePage;
    options.saveDir = context.parser.value(QStringLiteral("save"));
    if (context.parser.isSet(QStringLiteral("status-reply"))) {
        const QString name = context.parser.value(QStringLiteral("status-reply"));
        const PrinterStatus::Simulation* simulation = PrinterStatus::simulation(name);
        if (!simulation) {
            context.refuse(QStringLiteral("--status-reply: \"%1\" is none of %2")
                               .arg(name, simulationNames()));
            return std::nullopt;
        }
        options.statusReply = simulation->status.bytes;
    }
    return options;
}

} // namespace

int runListen(Cli::Context& context)
{
    const std::optional<Listener::Options> chosen = options(context);
    if (!chosen)
        return Cli::Usage;
    Listener listener(*chosen);
    QString why;
    if (!listener.start(&why))
        return context.refuse(QStringLiteral("listen: ") + why);
    context.output.err(QStringLiteral("listening on %1 port %2")
                           .arg(chosen->bind.toString())
                           .arg(listener.port()));
    // A terminal scrolling slowly must not slow down what a sender sees.
    context.output.writeInBackground();

    QObject::connect(
        &listener, &Listener::opened, &listener,
        [&context](int number, const QString& peer, const QDateTime& at) {
            const QString time = at.toString(Qt::ISODateWithMs);
            printEvent(context,
                       {{"connection", number}, {"event", "open"}, {"peer", peer}, {"time", time}},
                       QStringLiteral("connection %1 from %2 at %3").arg(number).arg(peer, time));
        });
    QObject::connect(
        &listener, &Listener::decoded, &listener,
        [&context](int number, const Decoding::Item& item) { printItem(context, item, number); });
    QObject::connect(&listener, &Listener::closed, &listener, [&context](int number, qint64 bytes) {
        printEvent(context, {{"connection", number}, {"event", "close"}, {"bytes", bytes}},
                   QStringLiteral("connection %1 closed after %2 bytes").arg(number).arg(bytes));
    });
    QObject::connect(&listener, &Listener::trouble, &listener, [&context](const QString& message) {
        context.output.err(QStringLiteral("corvane-cli: listen: ") + message);
    });
    QEventLoop loop;
    QObject::connect(&listener, &Listener::done, &loop, &QEventLoop::quit);
    const int status = Cli::runLoop(loop, [] {});
    context.output.drain(kDrainMs);
    return status;
}

} // namespace ToolCommands

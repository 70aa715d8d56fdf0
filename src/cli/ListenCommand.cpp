// corvane-cli listen: a printer on the desk that shows what reaches it.
#include "Signals.h"
#include "ToolCommands.h"
#include "core/PrinterStatus.h"
#include "link/Listener.h"

#include <QJsonDocument>
#include <QTimer>

namespace ToolCommands {

namespace {

// Lines still queued for a slow reader get this long once the last connection has closed.
constexpr int kDrainMs = 2000;

void printEvent(Cli::Context& context, QJsonObject event, const QString& text)
{
    if (context.settings.json)
        context.output.out(QJsonDocument(event).toJson(QJsonDocument::Compact));
    else
        context.output.out(text.toUtf8());
}

Listener::Options options(const Options::Settings& settings)
{
    Listener::Options options;
    options.bind = settings.bind;
    options.port = settings.port;
    options.count = settings.count;
    options.codePage = settings.codePage;
    options.saveDir = settings.saveDir;
    if (settings.statusReply)
        options.statusReply = settings.statusReply->status.bytes;
    return options;
}

} // namespace

int runListen(Cli::Context& context)
{
    if (!context.arguments.isEmpty())
        return context.refuse(QStringLiteral("listen: takes no arguments, but was given \"%1\"")
                                  .arg(context.arguments.join(u' ')));
    const Listener::Options chosen = options(context.settings);
    Listener listener(chosen);
    QString why;
    if (!listener.start(&why))
        return context.refuse(QStringLiteral("listen: ") + why);
    // Told from the loop, once the signals are watched: whoever reads it may signal at once.
    QTimer::singleShot(0, &listener, [&context, &chosen, &listener] {
        context.output.err(QStringLiteral("listening on %1 port %2")
                               .arg(chosen.bind.toString())
                               .arg(listener.port()));
    });
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
    const int signal = Signals::runLoop(loop, [](int) {});
    context.output.drain(kDrainMs);
    return signal ? Signals::exitStatus(signal) : Cli::Ok;
}

} // namespace ToolCommands

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
        options.status = settings.statusReply->status;
    options.faults = settings.faults;
    options.version = CORVANE_VERSION;
    return options;
}

// A fault that sets the printer's state says what --status-reply would.
bool setsTheState(const Listener::Faults& faults)
{
    using State = Listener::Faults::State;
    return faults.state != State::None && faults.state != State::PaperOutAfter;
}

} // namespace

int runListen(Cli::Context& context)
{
    if (!context.arguments.isEmpty())
        return context.refuse(QStringLiteral("listen: takes no arguments, but was given \"%1\"")
                                  .arg(context.arguments.join(u' ')));
    if (context.settings.statusReply && setsTheState(context.settings.faults))
        return context.refuse(QStringLiteral("listen: --status-reply and --fault paper-out, "
                                             "cover-open, offline or no-reply both tell how the "
                                             "printer is; give one of them"));
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
        [&context](int number, const QString& peer, const QDateTime& at, const QString& savedAs) {
            const QString time = at.toString(Qt::ISODateWithMs);
            QJsonObject event{
                {"connection", number}, {"event", "open"}, {"peer", peer}, {"time", time}};
            QString text =
                QStringLiteral("connection %1 from %2 at %3").arg(number).arg(peer, time);
            if (!savedAs.isEmpty()) {
                event.insert("file", savedAs);
                text += QStringLiteral(", saved in ") + savedAs;
            }
            printEvent(context, event, text);
        });
    QObject::connect(
        &listener, &Listener::decoded, &listener,
        [&context](int number, const Decoding::Item& item) { printItem(context, item, number); });
    QObject::connect(&listener, &Listener::notPrinted, &listener,
                     [&context](int number, qint64 offset, const QString& why) {
                         printEvent(context,
                                    {{"connection", number},
                                     {"event", "not-printed"},
                                     {"offset", offset},
                                     {"why", why}},
                                    QStringLiteral("connection %1: from byte %2 on, nothing is "
                                                   "printed: %3")
                                        .arg(number)
                                        .arg(offset)
                                        .arg(why));
                     });
    int signal = 0; // the one that ended the run, once it came
    QObject::connect(
        &listener, &Listener::closed, &listener,
        [&context, &signal](int number, qint64 bytes, Listener::End end) {
            static const char* const kEnds[] = {"closed", "reset", "stopped"};
            const QString how =
                end == Listener::End::Closed ? QStringLiteral("closed")
                : end == Listener::End::Reset
                    ? QStringLiteral("reset")
                    : QStringLiteral("ended by ") + QLatin1String(Signals::name(signal));
            QString text =
                QStringLiteral("connection %1 %2 after %3 bytes").arg(number).arg(how).arg(bytes);
            if (end == Listener::End::Reset)
                text += QStringLiteral(" (--fault drop-after)");
            printEvent(context,
                       {{"connection", number},
                        {"event", "close"},
                        {"bytes", bytes},
                        {"end", kEnds[int(end)]}},
                       text);
        });
    QObject::connect(&listener, &Listener::trouble, &listener, [&context](const QString& message) {
        context.output.err(QStringLiteral("corvane-cli: listen: ") + message);
    });
    QEventLoop loop;
    QObject::connect(&listener, &Listener::done, &loop, &QEventLoop::quit);
    // Every connection still open is read to what it has sent and its capture closed, before
    // the end.
    Signals::runLoop(loop, [&](int came) {
        signal = came;
        listener.stop();
    });
    context.output.drain(kDrainMs);
    return signal ? Signals::exitStatus(signal) : Cli::Ok;
}

} // namespace ToolCommands

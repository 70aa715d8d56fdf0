// corvane-cli listen: a printer on the desk that shows what reaches it.
#include "Signals.h"
#include "ToolCommands.h"
#include "core/PrinterStatus.h"
#include "link/Listener.h"
#if CORVANE_CLI_DRAWS
#include "render/Printer.h"
#include "render/ReceiptFiles.h"
#endif

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <unordered_map>

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
    options.alsoNumbered = settings.render;
    if (!settings.render.isEmpty())
        options.keep = Decoding::Keep::Data;
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

#if CORVANE_CLI_DRAWS
// Each connection's receipts, drawn as its items come into files named after its capture. What
// one connection stores in the printer's NV memory is there for the next, as in a printer.
class Drawings {
public:
    Drawings(Cli::Context& context, int firstFile)
        : m_context(context)
        , m_firstFile(firstFile)
    {}

    void open(int number, const QString& savedAs)
    {
        // Without a capture, numbered as the connections, after the files already there.
        const QString stem = savedAs.isEmpty()
                                 ? Listener::saveName(m_firstFile + number - 1).chopped(4)
                                 : QFileInfo(savedAs).completeBaseName();
        const Options::Settings& settings = m_context.settings;
        auto drawing = std::make_unique<Drawing>(
            Render::Options{paperDots(settings.paperMm), settings.codePage}, &m_memory,
            QDir(settings.render).filePath(stem + QStringLiteral(".png")), settings.paperMm);
        Drawing* d = drawing.get();
        d->printer.onReceipt = [this, d, number](const QImage& receipt) {
            if (d->failure.isEmpty() && !d->files.add(receipt, &d->failure))
                tell(number, d->failure + QStringLiteral("; its further receipts are not drawn"));
        };
        d->printer.onNote = [this, number](const QString& note) { tell(number, note); };
        m_open[number] = std::move(drawing);
    }

    void feed(int number, const Decoding::Item& item)
    {
        const auto found = m_open.find(number);
        if (found != m_open.end() && found->second->refusedAt < 0)
            found->second->printer.feed(item);
    }

    // From here on the printer takes the bytes and prints nothing, so nothing is drawn.
    void refuse(int number, qint64 offset, const QString& why)
    {
        const auto found = m_open.find(number);
        if (found != m_open.end() && found->second->refusedAt < 0) {
            found->second->refusedAt = offset;
            found->second->why = why;
        }
    }

    // The files written for the connection.
    QStringList close(int number)
    {
        const auto found = m_open.find(number);
        if (found == m_open.end())
            return {};
        const std::unique_ptr<Drawing> d = std::move(found->second);
        m_open.erase(found);
        d->printer.finish();
        if (d->failure.isEmpty() && !d->files.finish(&d->failure))
            tell(number, d->failure);
        if (d->refusedAt >= 0)
            tell(number, QStringLiteral("nothing from byte %1 on is drawn: the printer did not "
                                        "print it (%2)")
                             .arg(d->refusedAt)
                             .arg(d->why));
        return d->files.written();
    }

private:
    struct Drawing {
        Drawing(const Render::Options& options, Render::Memory* memory, const QString& path,
                int paperMm)
            : printer(options, memory)
            , files(path, paperMm, ReceiptFiles::Replace::Never)
        {}
        Render::Printer printer;
        ReceiptFiles files;
        QString failure; // the first file that could not be written; no more are then
        qint64 refusedAt = -1;
        QString why;
    };

    void tell(int number, const QString& what)
    {
        m_context.output.err(
            QStringLiteral("corvane-cli: listen: connection %1: %2").arg(number).arg(what));
    }

    Cli::Context& m_context;
    const int m_firstFile;
    Render::Memory m_memory;
    std::unordered_map<int, std::unique_ptr<Drawing>> m_open;
};
#else
// This build never draws: a line with --render went to the drawing build before it got here.
struct Drawings {
    Drawings(Cli::Context&, int) {}
    void open(int, const QString&) {}
    void feed(int, const Decoding::Item&) {}
    void refuse(int, qint64, const QString&) {}
    QStringList close(int) { return {}; }
};
#endif

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
    const bool rendering = !chosen.alsoNumbered.isEmpty();
    Drawings drawings(context, rendering ? Listener::nextFileNumber(chosen.alsoNumbered) : 1);
    // Told from the loop, once the signals are watched: whoever reads it may signal at once.
    QTimer::singleShot(0, &listener, [&context, &chosen, &listener] {
        context.output.err(
            QStringLiteral("listening on %1 port %2").arg(chosen.bind).arg(listener.port()));
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
    // Only when asked for: the reading of a connection that is not drawn costs nothing more.
    if (rendering) {
        QObject::connect(&listener, &Listener::opened, &listener,
                         [&drawings](int number, const QString&, const QDateTime&,
                                     const QString& savedAs) { drawings.open(number, savedAs); });
        QObject::connect(
            &listener, &Listener::decoded, &listener,
            [&drawings](int number, const Decoding::Item& item) { drawings.feed(number, item); });
        QObject::connect(&listener, &Listener::notPrinted, &listener,
                         [&drawings](int number, qint64 offset, const QString& why) {
                             drawings.refuse(number, offset, why);
                         });
    }
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
        [&context, &signal, &drawings, rendering](int number, qint64 bytes, Listener::End end) {
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
            QJsonObject event{{"connection", number},
                              {"event", "close"},
                              {"bytes", bytes},
                              {"end", kEnds[int(end)]}};
            if (rendering) {
                const QStringList drawn = drawings.close(number);
                event.insert("drawn", QJsonArray::fromStringList(drawn));
                text += drawn.isEmpty() ? QStringLiteral(", nothing drawn")
                                        : QStringLiteral(", drawn in ") + drawn.join(u", ");
            }
            printEvent(context, event, text);
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

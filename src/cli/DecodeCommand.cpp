// corvane-cli decode: what a capture of a printer's bytes says, command by command.
#include "ToolCommands.h"
#include "core/Decoder.h"
#include "render/Printer.h"
#include "render/ReceiptFiles.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>

namespace ToolCommands {

namespace {

// A read at a time: a capture of any size is decoded in bounded memory.
constexpr qint64 kChunk = 1 << 20;

bool wantsRender(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--render" || arg.startsWith("--render="))
            return true;
    }
    return false;
}

// The paper of --paper: its width in millimetres and in dots.
std::optional<std::pair<int, int>> paper(const Cli::Context& context)
{
    const QString value = context.parser.value(QStringLiteral("paper"));
    if (!context.parser.isSet(QStringLiteral("paper")) || value == u"80")
        return std::pair{80, Render::kPaper80};
    if (value == u"58")
        return std::pair{58, Render::kPaper58};
    context.refuse(QStringLiteral("--paper: \"%1\" is neither 80 nor 58").arg(value));
    return std::nullopt;
}

} // namespace

std::unique_ptr<QCoreApplication> application(int& argc, char* argv[])
{
    if (!wantsRender(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    // Fonts come with a GUI application; the offscreen one needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (a root shell, a service) Qt says it has no runtime folder, which it
    // does not need here: that line is no message of ours.
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& where, const QString& text) {
            if (previous && !text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
                previous(type, where, text);
        });
    return std::make_unique<QGuiApplication>(argc, argv);
}

void printItem(Cli::Context& context, const Decoding::Item& item, int connection)
{
    if (context.json()) {
        QJsonObject object = Decoding::toJson(item);
        if (connection > 0)
            object.insert(QStringLiteral("connection"), connection);
        context.output.out(QJsonDocument(object).toJson(QJsonDocument::Compact));
    } else {
        const QString line = Decoding::describe(item);
        context.output.out(
            (connection > 0 ? QStringLiteral("#%1 %2").arg(connection).arg(line) : line).toUtf8());
    }
}

int runDecode(Cli::Context& context)
{
    if (context.arguments.size() > 1)
        return context.refuse(QStringLiteral("decode: takes one FILE (or - for standard input), "
                                             "but was given %1")
                                  .arg(context.arguments.size()));
    const std::optional<int> codePage = context.codePage();
    if (!codePage)
        return Cli::Usage;
    const QString path = context.arguments.value(0, QStringLiteral("-"));
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return context.refuse(
            QStringLiteral("decode: cannot open \"%1\": %2").arg(path, file.errorString()));

    const bool rendering = context.parser.isSet(QStringLiteral("render"));
    if (!rendering && context.parser.isSet(QStringLiteral("paper")))
        return context.refuse(QStringLiteral("decode: --paper is for --render"));
    const QString out = context.parser.value(QStringLiteral("render"));
    const std::optional<std::pair<int, int>> chosen = paper(context);
    if (!chosen)
        return Cli::Usage;
    if (rendering && !ReceiptFiles::formatOf(out))
        return context.refuse(
            QStringLiteral("--render: \"%1\" ends in neither .png nor .pdf").arg(out));
    ReceiptFiles files(out, chosen->first);
    Render::Printer printer({chosen->second, *codePage});
    QString failure;
    printer.onReceipt = [&](const QImage& receipt) {
        if (failure.isEmpty())
            files.add(receipt, &failure);
    };
    printer.onNote = [&context](const QString& note) {
        context.output.err(QStringLiteral("corvane-cli: decode: ") + note);
    };
    auto take = [&](const QList<Decoding::Item>& items) {
        for (const Decoding::Item& item : items) {
            if (rendering)
                printer.feed(item);
            else
                printItem(context, item, 0);
        }
    };

    Decoding::Decoder decoder(*codePage, rendering ? Decoding::Keep::Data : Decoding::Keep::Head);
    for (;;) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                context.output.err(QStringLiteral("corvane-cli: decode: reading \"%1\" failed: %2")
                                       .arg(path, file.errorString()));
                return Cli::Failed;
            }
            break;
        }
        take(decoder.feed(chunk));
    }
    take(decoder.finish());
    if (!rendering)
        return Cli::Ok;
    printer.finish();
    if (failure.isEmpty())
        files.finish(&failure);
    if (!failure.isEmpty()) {
        context.output.err(QStringLiteral("corvane-cli: decode: ") + failure);
        return Cli::Failed;
    }
    if (files.count() == 0) {
        context.output.err(QStringLiteral("corvane-cli: decode: the capture prints nothing, so "
                                          "no image was written"));
        return Cli::Failed;
    }
    for (const QString& written : files.written()) {
        if (context.json())
            context.output.out(
                QJsonDocument(QJsonObject{{"file", written}, {"receipts", files.count()}})
                    .toJson(QJsonDocument::Compact));
        else
            context.output.out(written.toUtf8());
    }
    return Cli::Ok;
}

} // namespace ToolCommands

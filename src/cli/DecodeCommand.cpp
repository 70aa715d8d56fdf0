// corvane-cli decode: what a capture of a printer's bytes says, command by command, or the
// receipts it prints.
#include "ToolCommands.h"
#include "core/Decoder.h"
#if CORVANE_CLI_DRAWS
#include "render/Printer.h"
#include "render/ReceiptFiles.h"

#include <QGuiApplication>
#else
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#endif

#include <QFile>
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

#if !CORVANE_CLI_DRAWS
// Becomes the drawing build with the same words; returns only when there is none to become.
[[noreturn]] void becomeDrawingBuild(char* argv[])
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = length > 0 ? std::string(self, std::size_t(length)) : std::string("./");
    dir.erase(dir.rfind('/') + 1);
    const std::string beside = dir + "corvane-cli-render";
    const std::string installed = dir + CORVANE_CLI_RENDER;
    ::execv(beside.c_str(), argv);
    ::execv(installed.c_str(), argv);
    std::fprintf(stderr,
                 "corvane-cli: --render needs corvane-cli-render, which could not be started "
                 "from %s: %s\n",
                 installed.c_str(), std::strerror(errno));
    std::exit(Cli::Failed);
}
#endif

} // namespace

#if CORVANE_CLI_DRAWS
int paperDots(int paperMm)
{
    return paperMm == 58 ? Render::kPaper58 : Render::kPaper80;
}
#endif

std::unique_ptr<QCoreApplication> application(int& argc, char* argv[])
{
    if (!wantsRender(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
#if !CORVANE_CLI_DRAWS
    becomeDrawingBuild(argv);
#else
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
#endif
}

void printItem(Cli::Context& context, const Decoding::Item& item, int connection)
{
    if (context.settings.json) {
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
    const QString path = context.arguments.value(0, QStringLiteral("-"));
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return context.refuse(
            QStringLiteral("decode: cannot open \"%1\": %2").arg(path, file.errorString()));

    const Options::Settings& settings = context.settings;
    const bool rendering = !settings.render.isEmpty();
#if CORVANE_CLI_DRAWS
    ReceiptFiles files(settings.render, settings.paperMm);
    Render::Printer printer({paperDots(settings.paperMm), settings.codePage});
    QString failure;
    printer.onReceipt = [&](const QImage& receipt) {
        if (failure.isEmpty())
            files.add(receipt, &failure);
    };
    printer.onNote = [&context](const QString& note) {
        context.output.err(QStringLiteral("corvane-cli: decode: ") + note);
    };
#endif
    auto take = [&](const QList<Decoding::Item>& items) {
        for (const Decoding::Item& item : items) {
#if CORVANE_CLI_DRAWS
            if (rendering) {
                printer.feed(item);
                continue;
            }
#endif
            printItem(context, item, 0);
        }
    };

    Decoding::Decoder decoder(settings.codePage,
                              rendering ? Decoding::Keep::Data : Decoding::Keep::Head);
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
        if (context.output.kept() != Output::Kept::All)
            return Cli::Ok; // nobody takes the rest; the exit status tells it
    }
    take(decoder.finish());
    if (!rendering)
        return Cli::Ok;
#if CORVANE_CLI_DRAWS
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
        if (settings.json)
            context.output.out(
                QJsonDocument(QJsonObject{{"file", written}, {"receipts", files.count()}})
                    .toJson(QJsonDocument::Compact));
        else
            context.output.out(written.toUtf8());
    }
#endif
    return Cli::Ok;
}

} // namespace ToolCommands

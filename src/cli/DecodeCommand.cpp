// corvane-cli decode: what a capture of a printer's bytes says, command by command.
#include "ToolCommands.h"
#include "core/Decoder.h"

#include <QFile>
#include <QJsonDocument>

namespace ToolCommands {

namespace {

// A read at a time: a capture of any size is decoded in bounded memory.
constexpr qint64 kChunk = 1 << 20;

} // namespace

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

    Decoding::Decoder decoder(context.settings.codePage);
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
        for (const Decoding::Item& item : decoder.feed(chunk))
            printItem(context, item, 0);
        if (context.output.kept() != Output::Kept::All)
            return Cli::Ok; // nobody takes the rest; the exit status tells it
    }
    for (const Decoding::Item& item : decoder.finish())
        printItem(context, item, 0);
    return Cli::Ok;
}

} // namespace ToolCommands

#include "Record.h"

#include "core/Frames.h"

#include <QJsonDocument>

namespace {

QString upperHex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QJsonValue orNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

bool Record::reached() const
{
    return outcome == Outcome::Connected || outcome == Outcome::Answered ||
           outcome == Outcome::NoStatus;
}

QString Record::told() const
{
    return status ? status->summary() : message;
}

namespace Records {

Record sent(const QString& host, const QString& command, const Fleet::Result& result, qint64 total,
            Catalogue::Id id)
{
    Record record{.host = host,
                  .command = command,
                  .outcome = result.outcome,
                  .ok = Outcomes::succeeded(result.outcome),
                  .ms = result.ms,
                  .bytes = result.bytes,
                  .message = Outcomes::windowText(result.outcome, id)};
    if (result.outcome == Outcome::Interrupted)
        record.message =
            QStringLiteral("interrupted after %1 of %2 bytes").arg(result.bytes).arg(total);
    return record;
}

Record status(const QString& host, const QString& command, const Fleet::Result& result)
{
    using namespace PrinterStatus;
    Record record{.kind = Record::Kind::Status,
                  .host = host,
                  .command = command,
                  .outcome = result.outcome,
                  .ms = result.ms,
                  .bytes = result.bytes,
                  .message = Outcomes::windowText(result.outcome),
                  .hex = result.reply,
                  .asked = true};
    // A printer that was never reached has no status to tell, only why.
    const bool connected = result.answerMs >= 0 && result.outcome != Outcome::Refused &&
                           result.outcome != Outcome::Interrupted;
    if (!connected)
        return record;
    // A printer that answered a request had it, whatever the system has told of it so far.
    record.bytes = qMax(result.bytes, Frames::statusRequest(1).size() * result.reply.size());
    const Reply reply = read(result.reply);
    if (reply.check == ReplyCheck::Complete) {
        record.outcome = Outcome::Answered;
        record.status = reply.status;
        record.ok = reply.status.ready();
        record.message.clear();
        return record;
    }
    record.outcome = Outcome::NoStatus;
    const QString request = upperHex(Frames::statusRequest(std::uint8_t(reply.request)));
    if (reply.check == ReplyCheck::Invalid)
        record.message = QStringLiteral("no status: %1 was answered %2, which is no status byte")
                             .arg(request, upperHex(result.reply.right(1)));
    else
        record.message = QStringLiteral("no status: no answer to %1").arg(request);
    return record;
}

Record dryRun(const QString& host, const QString& command, Record::Kind kind,
              const QByteArray& wire)
{
    return {.kind = kind,
            .host = host,
            .command = command,
            .outcome = Outcome::DryRun,
            .ok = true,
            .hex = wire};
}

QJsonObject json(const Record& r)
{
    QJsonObject line{{"host", r.host},
                     {"command", r.command},
                     {"ok", r.ok},
                     {"outcome", QString::fromLatin1(Outcomes::word(r.outcome))},
                     {"ms", r.ms},
                     {"bytes", r.bytes},
                     {"message", orNull(r.message)}};
    if (r.hex || r.kind == Record::Kind::Status)
        line.insert(QStringLiteral("hex"), upperHex(r.hex.value_or(QByteArray())));
    if (r.kind == Record::Kind::Found)
        line.insert(QStringLiteral("port"), r.port);
    if (r.kind == Record::Kind::Status || r.asked) {
        line.insert(QStringLiteral("summary"),
                    r.status ? QJsonValue(r.status->summary()) : QJsonValue());
        for (const PrinterStatus::ConditionRow& row : PrinterStatus::conditions())
            line.insert(QString::fromLatin1(row.key),
                        r.status ? QJsonValue(r.status->has(row.condition)) : QJsonValue());
    }
    return line;
}

void write(Output& output, bool asJson, const Record& r)
{
    if (asJson) {
        output.out(QJsonDocument(json(r)).toJson(QJsonDocument::Compact));
        return;
    }
    if (r.outcome == Outcome::DryRun) {
        output.out((r.host + u'\t' + upperHex(*r.hex)).toUtf8());
        return;
    }
    if (r.kind == Record::Kind::Found) {
        output.out((r.asked ? r.host + u'\t' + r.told() : r.host).toUtf8());
        return;
    }
    if (r.kind == Record::Kind::Status && r.reached()) {
        if (!r.ok || !output.quiet)
            output.out((r.host + u'\t' + r.told()).toUtf8());
        return;
    }
    QString line = QStringLiteral("%1\t%2\t%3 ms")
                       .arg(r.host, QString::fromLatin1(Outcomes::word(r.outcome)))
                       .arg(r.ms);
    if (!r.message.isEmpty())
        line += u'\t' + r.message;
    if (!r.ok)
        output.err(line);
    else if (!output.quiet)
        output.out(line.toUtf8());
}

} // namespace Records

#include "Record.h"

#include "core/Frames.h"
#include "link/StatusQuery.h"

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

// A printer's own text as a person may see it: nothing in it drives the terminal.
QString shown(const QByteArray& text)
{
    QString out;
    for (const char c : text) {
        const auto byte = std::uint8_t(c);
        out += byte >= 0x20 && byte != 0x7F && (byte < 0x80 || byte >= 0xA0)
                   ? QString(QChar(byte))
                   : QStringLiteral("\\x%1").arg(byte, 2, 16, QChar(u'0'));
    }
    return out;
}

// What an answer after a job says: the paper sensors for GS r 1, the causes for DLE EOT 2,
// online or not for DLE EOT 1.
QString meaning(qsizetype request, std::uint8_t byte)
{
    using namespace PrinterStatus;
    if (request == 0)
        return QString::fromLatin1((byte & kSensorPaperEnd)  ? "paper end"
                                   : (byte & kSensorNearEnd) ? "paper near end"
                                                             : "paper ok");
    if (request == 2)
        return QString::fromLatin1((byte & kOffline) ? "offline" : "online");
    QStringList causes;
    for (const ConditionRow& c : conditions()) {
        if (c.request == 2 && (byte & c.bits))
            causes << QString::fromLatin1(c.words);
    }
    return causes.isEmpty() ? QStringLiteral("no cause told") : causes.join(u", ");
}

// Request by request: "1D 72 01 was answered 03: paper near end", "no answer to 10 04 02
// within 1000 ms".
QString afterJob(const QByteArray& answers, Outcome outcome, const Confirmation::Bounds& bounds)
{
    QStringList told;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const QString asked = upperHex(i == 0 ? Frames::queuedStatusRequest(1)
                                              : Frames::statusRequest(i == 1 ? 2 : 1));
        if (answers[i] != Confirmation::kUnanswered)
            told << QStringLiteral("%1 was answered %2: %3")
                        .arg(asked, upperHex(answers.mid(i, 1)),
                             meaning(i, std::uint8_t(answers[i])));
        else if (outcome == Outcome::Disconnected && i + 1 == answers.size())
            told << QStringLiteral("the connection ended before %1 was answered").arg(asked);
        else
            told << QStringLiteral("no answer to %1 within %2 ms")
                        .arg(asked)
                        .arg(i == 0 ? bounds.answerMs : bounds.whyMs);
    }
    return told.join(QStringLiteral("; "));
}

bool confirming(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Printed:
    case Outcome::PaperOut:
    case Outcome::CoverOpen:
    case Outcome::Offline:
    case Outcome::NoConfirmation:
    case Outcome::Disconnected:
        return true;
    default:
        return false;
    }
}

// "maker Acme, model T-80, firmware 1.02, serial 0042": what the printer told of itself.
QString identityText(const QStringList& identity)
{
    QStringList parts;
    for (qsizetype i = 0; i < identity.size(); ++i) {
        if (!identity[i].isEmpty())
            parts << QLatin1String(StatusQuery::kIdentity[std::size_t(i)].key) + u' ' + identity[i];
    }
    if (!parts.isEmpty())
        return parts.join(QStringLiteral(", "));
    return QStringLiteral("no identity: no answer to ") +
           upperHex(Frames::infoRequest(std::uint8_t(StatusQuery::kIdentity.front().function)));
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
            Catalogue::Id id, const Confirmation::Bounds* confirm)
{
    Record record{.host = host,
                  .command = command,
                  .outcome = result.outcome,
                  .ok = Outcomes::succeeded(result.outcome),
                  .ms = result.ms,
                  .bytes = result.bytes,
                  .message = Outcomes::windowText(result.outcome, id)};
    // The requests asked after the job to say why are not of what it was to send.
    if (confirm)
        record.bytes = qMin(record.bytes, total);
    if (result.outcome == Outcome::Interrupted)
        record.message =
            QStringLiteral("interrupted after %1 of %2 bytes").arg(record.bytes).arg(total);
    if (!confirm || !confirming(result.outcome))
        return record;
    const QByteArray& answers = result.reply;
    // A printer that answered anything after the job had all of it, whatever the system has
    // told of it so far.
    if (answers.count(Confirmation::kUnanswered) < answers.size())
        record.bytes = qMax(record.bytes, total);
    const bool paperOk = result.outcome == Outcome::Printed &&
                         !(std::uint8_t(answers.front()) & PrinterStatus::kSensorNearEnd);
    record.message = paperOk ? QString() : afterJob(answers, result.outcome, *confirm);
    return record;
}

Record status(const QString& host, const QString& command, const Fleet::Result& result,
              bool identify)
{
    using namespace PrinterStatus;
    Record record{.kind = Record::Kind::Status,
                  .host = host,
                  .command = command,
                  .outcome = result.outcome,
                  .ms = result.ms,
                  .bytes = result.bytes,
                  .message = Outcomes::windowText(result.outcome),
                  .hex = result.reply.left(kRequests),
                  .asked = true};
    if (identify)
        record.identity = QStringList(qsizetype(StatusQuery::kIdentity.size()));
    // A printer that was never reached has no status to tell, only why.
    const bool connected = result.answerMs >= 0 && result.outcome != Outcome::Refused &&
                           result.outcome != Outcome::Interrupted;
    if (!connected)
        return record;
    // A printer that answered a request had it, whatever the system has told of it so far.
    qsizetype answered = qMin<qsizetype>(result.reply.size(), kRequests);
    const Reply reply = read(result.reply);
    if (reply.check == ReplyCheck::Complete) {
        // Behind the status, each answer to GS I: 5F, the text, 00.
        QByteArray rest = result.reply.mid(kRequests);
        for (qsizetype i = 0; record.identity && i < record.identity->size(); ++i, ++answered) {
            const qsizetype end = rest.indexOf(char(kIdTextEnd));
            if (end < 0)
                break;
            (*record.identity)[i] = shown(rest.mid(1, end - 1));
            rest.remove(0, end + 1);
        }
    }
    record.bytes = qMax(result.bytes, Frames::statusRequest(1).size() * answered);
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
    if (r.identity) {
        for (qsizetype i = 0; i < r.identity->size(); ++i)
            line.insert(QLatin1String(StatusQuery::kIdentity[std::size_t(i)].key),
                        orNull(r.identity->at(i)));
    }
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
        const QString identity =
            r.identity && r.status ? u'\t' + identityText(*r.identity) : QString();
        if (!r.ok || !output.quiet)
            output.out((r.host + u'\t' + r.told() + identity).toUtf8());
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

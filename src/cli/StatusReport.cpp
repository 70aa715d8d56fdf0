#include "StatusReport.h"

#include "core/Frames.h"
#include "core/PrinterStatus.h"

namespace StatusReport {

Report of(const Fleet::Result& result)
{
    using namespace PrinterStatus;
    const Reply reply = read(result.reply);
    Report report;
    report.answered = reply.check == ReplyCheck::Complete;
    report.ready = report.answered && reply.status.ready();
    report.fields = {
        {"outcome", QString::fromLatin1(
                        Outcomes::word(report.answered ? Outcome::Delivered : Outcome::NoStatus))},
        {"ok", report.ready},
        {"hex", QString::fromLatin1(result.reply.toHex(' ').toUpper())},
    };
    if (report.answered) {
        report.text = reply.status.summary();
        report.fields.insert(QStringLiteral("summary"), report.text);
        for (const ConditionRow& row : conditions())
            report.fields.insert(QString::fromLatin1(row.key), reply.status.has(row.condition));
        return report;
    }
    const QString request = QString::fromLatin1(
        Frames::statusRequest(std::uint8_t(reply.request)).toHex(' ').toUpper());
    if (reply.check == ReplyCheck::Invalid)
        report.text =
            QStringLiteral("no status: %1 was answered %2, which is no status byte")
                .arg(request, QString::fromLatin1(result.reply.right(1).toHex().toUpper()));
    else
        report.text = QStringLiteral("no status: no answer to %1").arg(request);
    report.fields.insert(QStringLiteral("message"), report.text);
    return report;
}

} // namespace StatusReport

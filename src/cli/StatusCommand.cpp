// corvane-cli status: how each printer is, from its answers to DLE EOT 1 to 4.
#include "StatusReport.h"
#include "ToolCommands.h"
#include "core/Frames.h"
#include "core/PrinterStatus.h"
#include "link/StatusQuery.h"

#include <QJsonDocument>

namespace ToolCommands {

int runStatus(Cli::Context& context)
{
    if (!context.arguments.isEmpty())
        return context.refuse(QStringLiteral("status: takes no arguments, but was given \"%1\"")
                                  .arg(context.arguments.join(u' ')));
    const std::optional<QList<Fleet::Target>> targets = context.targets();
    if (!targets)
        return Cli::Usage;
    if (!context.number("port", 1, 65535) || !context.number("timeout", 1, 3600000) ||
        !context.number("jobs", 1, 4096))
        return Cli::Usage;

    if (context.dryRun()) {
        QByteArray requests;
        for (int n = 1; n <= PrinterStatus::kRequests; ++n)
            requests += Frames::statusRequest(std::uint8_t(n));
        const QByteArray hex = requests.toHex(' ').toUpper();
        for (const Fleet::Target& target : *targets) {
            if (context.json())
                context.output.out(QJsonDocument(QJsonObject{{"host", target.host},
                                                             {"command", "status"},
                                                             {"hex", QString::fromLatin1(hex)}})
                                       .toJson(QJsonDocument::Compact));
            else
                context.output.out(target.host.toUtf8() + '\t' + hex);
        }
        return Cli::Ok;
    }

    const int timeoutMs = context.timeoutMs();
    Fleet fleet(*targets, context.port(), timeoutMs, context.jobs(), StatusQuery::work(timeoutMs));
    const qsizetype total = targets->size();
    qsizetype done = 0, notReady = 0;
    const int status = Cli::runFleet(fleet, context.output, [&](const Fleet::Result& result) {
        ++done;
        const QString& host = (*targets)[result.index].host;
        // A printer that was never reached has no status to tell, only why.
        const bool reached = result.answerMs >= 0 && result.outcome != Outcome::Refused;
        const StatusReport::Report report =
            reached ? StatusReport::of(result) : StatusReport::Report{};
        notReady += report.ready ? 0 : 1;
        if (context.json()) {
            QJsonObject line{{"host", host}, {"command", "status"}, {"ms", result.ms}};
            if (reached) {
                for (auto field = report.fields.begin(); field != report.fields.end(); ++field)
                    line.insert(field.key(), field.value());
            } else {
                line.insert(QStringLiteral("ok"), false);
                line.insert(QStringLiteral("outcome"),
                            QString::fromLatin1(Outcomes::word(result.outcome)));
                line.insert(QStringLiteral("message"), Outcomes::windowText(result.outcome));
            }
            context.output.out(QJsonDocument(line).toJson(QJsonDocument::Compact));
        } else if (!reached) {
            context.output.err(QStringLiteral("%1\t%2\t%3 ms\t%4")
                                   .arg(host, QString::fromLatin1(Outcomes::word(result.outcome)))
                                   .arg(result.ms)
                                   .arg(Outcomes::windowText(result.outcome)));
        } else if (!report.ready || !context.output.quiet) {
            context.output.out((host + u'\t' + report.text).toUtf8());
        }
        if (total > 4)
            context.output.progress(
                QStringLiteral("[%1/%2] %3 not ready").arg(done).arg(total).arg(notReady));
    });
    context.output.clearProgress();
    if (status == Cli::Interrupted)
        return Cli::Interrupted;
    if (total > 1 && !context.json() && !context.output.quiet)
        context.output.err(QStringLiteral("%1 printers: %2 online with paper, %3 not")
                               .arg(total)
                               .arg(total - notReady)
                               .arg(notReady));
    return notReady > 0 ? Cli::Failed : Cli::Ok;
}

} // namespace ToolCommands

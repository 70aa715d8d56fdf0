// corvane-cli status: how each printer is, from its answers to DLE EOT 1 to 4.
#include "Runner.h"
#include "ToolCommands.h"
#include "core/Frames.h"
#include "link/StatusQuery.h"

namespace ToolCommands {

int runStatus(Cli::Context& context)
{
    if (!context.arguments.isEmpty())
        return context.refuse(QStringLiteral("status: takes no arguments, but was given \"%1\"")
                                  .arg(context.arguments.join(u' ')));
    Catalogue::Sends requests;
    const bool identify = context.settings.identify;
    for (int n = 1; n <= PrinterStatus::kRequests; ++n)
        requests << Frames::statusRequest(std::uint8_t(n));
    for (const StatusQuery::Named& asked : StatusQuery::kIdentity) {
        if (identify)
            requests << Frames::infoRequest(std::uint8_t(asked.function));
    }
    return Runner::run({.kind = Record::Kind::Status,
                        .targets = context.settings.targets,
                        .sends = requests,
                        .work = StatusQuery::work(context.settings.timeoutMs, identify),
                        .record =
                            [&](const Fleet::Target& target, const Fleet::Result& result) {
                                return Records::status(target.host, context.command, result,
                                                       identify);
                            },
                        .notOk = "not ready",
                        .summary =
                            [&](const Runner::Tally& tally) {
                                if (tally.total < 2 || context.settings.json)
                                    return QString();
                                return QStringLiteral("%1 printers: %2 online with paper, %3 not")
                                    .arg(tally.total)
                                    .arg(tally.ok)
                                    .arg(tally.total - tally.ok);
                            }},
                       context);
}

} // namespace ToolCommands

// The printer commands of the catalogue: their input read from the words, the question for
// those that ask, then the same sends to every printer.
#include "Cli.h"
#include "Runner.h"
#include "link/Confirmation.h"

namespace Cli {

Options::Takes takes(const Catalogue::Command& command)
{
    Options::Takes takes = Options::fleet();
    if (command.asks())
        takes.options << Options::Name::Yes;
    if (command.input == Catalogue::Input(Catalogue::Text{}).index())
        takes.options << Options::Name::Encoding;
    if (command.confirms)
        takes.options << Options::Name::Confirm << Options::Name::ConfirmTimeout;
    return takes;
}

int runPrinterCommand(const Catalogue::Command& command, Context& context)
{
    const Options::Settings& settings = context.settings;
    const Catalogue::Reading reading =
        Catalogue::read(command, context.arguments, {settings.codePage, readFile});
    if (!reading.input)
        return context.refuse(reading.refusal);
    if (!reading.note.isEmpty())
        context.output.err(QStringLiteral("corvane-cli: ") + reading.note);
    if (command.asks()) {
        // One address or Ethernet ID for several printers would make them clash.
        if (settings.targets.size() != 1)
            return context.refuse(QStringLiteral("%1 changes one printer: name exactly one "
                                                 "with -H/--host")
                                      .arg(context.command));
        if (!settings.dryRun && !settings.yes) {
            const int answer = ask(context, command);
            if (answer != Ok)
                return answer;
        }
    }
    const Catalogue::Sends job = command.sends(*reading.input);
    const Confirmation::Bounds bounds{settings.confirmTimeoutMs,
                                      qMin(settings.timeoutMs, Confirmation::Bounds().whyMs)};
    const Catalogue::Sends sends = settings.confirm ? Confirmation::sends(job) : job;
    const qint64 total = Catalogue::wire(sends).size();
    return Runner::run(
        {.targets = settings.targets,
         .sends = sends,
         .work = settings.confirm ? Confirmation::work(job, bounds) : Fleet::sendAll(job),
         .record =
             [&](const Fleet::Target& target, const Fleet::Result& result) {
                 return Records::sent(target.host, context.command, result, total, command.id,
                                      settings.confirm ? &bounds : nullptr);
             },
         .summary =
             [&](const Runner::Tally& tally) {
                 if (tally.total < 2 || settings.json)
                     return QString();
                 return QString::fromLatin1(settings.confirm
                                                ? "%1 printers: %2 printed, %3 did not"
                                                : "%1 printers: %2 succeeded, %3 failed")
                     .arg(tally.total)
                     .arg(tally.ok)
                     .arg(tally.total - tally.ok);
             }},
        context);
}

} // namespace Cli

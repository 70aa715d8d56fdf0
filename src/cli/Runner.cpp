#include "Runner.h"

#include "Signals.h"
#include "link/ByteSink.h"

#include <QElapsedTimer>

#include <algorithm>

namespace Runner {

int run(const Plan& plan, Cli::Context& context)
{
    const Options::Settings& settings = context.settings;
    Output& output = context.output;
    if (settings.dryRun) {
        for (const Fleet::Target& target : plan.targets) {
            MemorySink sink;
            sink.sendAll(plan.sends);
            Records::write(output, settings.json,
                           Records::dryRun(target.host, context.command, plan.kind, sink.wire()));
        }
        return Cli::Ok;
    }

    Fleet fleet(plan.targets, settings.port, settings.timeoutMs, settings.jobs, plan.work);
    if (plan.foundOnly && !settings.timeoutGiven)
        fleet.adaptToAnswers();
    Tally tally;
    tally.total = plan.targets.size();
    qsizetype finished = 0;
    QList<std::pair<qsizetype, Record>> found;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(&fleet, &Fleet::finished, &loop, [&](const Fleet::Result& result) {
        const Record record = plan.record(plan.targets[result.index], result);
        ++finished;
        tally.ok += record.ok ? 1 : 0;
        tally.reached += record.reached() ? 1 : 0;
        tally.untried += record.outcome == Outcome::ConnectError ? 1 : 0;
        if (!plan.foundOnly)
            Records::write(output, settings.json, record);
        else if (record.reached())
            found.append({result.index, record});
        if (plan.foundOnly || tally.total > 4)
            output.progress(QStringLiteral("[%1/%2] %3 %4")
                                .arg(finished)
                                .arg(tally.total)
                                .arg(plan.foundOnly ? tally.reached : finished - tally.ok)
                                .arg(QLatin1String(plan.foundOnly ? "found" : plan.notOk)));
    });
    QObject::connect(&fleet, &Fleet::allDone, &loop, &QEventLoop::quit);
    fleet.start();
    tally.done = tally.total;
    if (!fleet.isDone()) {
        tally.signal = Signals::runLoop(loop, [&](int) {
            tally.done = finished;
            fleet.interrupt();
        });
    }
    tally.seconds = double(clock.elapsed()) / 1000.0;
    output.clearProgress();

    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [index, record] : std::as_const(found))
        Records::write(output, settings.json, record);
    if (plan.summary && !output.quiet) {
        const QString summary = plan.summary(tally);
        if (!summary.isEmpty())
            output.err(summary);
    }
    if (tally.signal)
        return Signals::exitStatus(tally.signal);
    const bool failed = plan.foundOnly ? tally.reached == 0 : tally.ok < tally.total;
    return failed ? Cli::Failed : Cli::Ok;
}

} // namespace Runner

// corvane-cli find: which addresses accept a connection on the printer port.
#include "StatusReport.h"
#include "ToolCommands.h"
#include "core/AddressRange.h"
#include "link/Connection.h"
#include "link/LocalNetworks.h"
#include "link/StatusQuery.h"

#include <QElapsedTimer>
#include <QJsonDocument>

#include <algorithm>

namespace ToolCommands {

namespace {

using AddressRange::Range;

// A search of a network wants many short attempts, not the printer commands' few long ones.
constexpr int kFindTimeoutMs = 1000;
constexpr int kFindJobs = 256;

QString why(AddressRange::Check check)
{
    switch (check) {
    case AddressRange::Check::Empty:
        return QStringLiteral("is empty");
    case AddressRange::Check::BadPrefix:
        return QStringLiteral("has no prefix length from 0 to 32 after \"/\"");
    case AddressRange::Check::Backwards:
        return QStringLiteral("ends before it begins");
    case AddressRange::Check::BadAddress:
    case AddressRange::Check::Valid:
        break;
    }
    return QStringLiteral("is not an address range: write a CIDR block (192.168.1.0/24), a dash "
                          "range (10.0.0.20-10.0.0.60) or one address, each address four decimal "
                          "numbers from 0 to 255 joined by points (names are not looked up)");
}

// The ranges to search, every address once; nothing when refused, the reason told.
std::optional<QList<Range>> ranges(const Cli::Context& context)
{
    QList<Range> wanted;
    const bool force = context.parser.isSet(QStringLiteral("force"));
    for (const QString& argument : context.arguments) {
        const AddressRange::Parsed parsed = AddressRange::parse(argument);
        if (parsed.check != AddressRange::Check::Valid) {
            context.refuse(QStringLiteral("find: \"%1\" %2").arg(argument, why(parsed.check)));
            return std::nullopt;
        }
        if (parsed.range.size() > AddressRange::kMostUnforced && !force) {
            context.refuse(QStringLiteral("find: \"%1\" holds %2 addresses, more than a /16; give "
                                          "--force to search it all the same")
                               .arg(argument)
                               .arg(parsed.range.size()));
            return std::nullopt;
        }
        wanted << parsed.range;
    }
    if (context.arguments.isEmpty()) {
        for (const LocalNetwork& network : localNetworks()) {
            wanted << network.hosts;
            if (!context.output.quiet)
                context.output.err(QStringLiteral("searching %1 (%2)")
                                       .arg(AddressRange::text(network.hosts), network.interface));
        }
        if (wanted.isEmpty()) {
            context.refuse(QStringLiteral("find: this machine is on no IPv4 network but "
                                          "loopback; name a RANGE to search"));
            return std::nullopt;
        }
    }
    wanted = AddressRange::merged(wanted);
    if (const std::uint64_t total = AddressRange::count(wanted); total > AddressRange::kMostEver) {
        context.refuse(QStringLiteral("find: %1 addresses are more than one search takes "
                                      "(%2, a /12), even with --force")
                           .arg(total)
                           .arg(AddressRange::kMostEver));
        return std::nullopt;
    }
    return wanted;
}

QList<Fleet::Target> targets(const QList<Range>& ranges)
{
    QList<Fleet::Target> all;
    all.reserve(qsizetype(AddressRange::count(ranges)));
    for (const Range& range : ranges) {
        for (std::uint64_t a = range.first; a <= range.last; ++a)
            all << Fleet::Target{AddressRange::text(std::uint32_t(a)),
                                 AddressRange::octets(std::uint32_t(a))};
    }
    return all;
}

// Nothing was sent, so a reset loses nothing; it leaves no connection lingering on either side
// and the program's end does not wait for a printer to close its own.
Fleet::Work work(bool askStatus, int replyTimeoutMs)
{
    if (!askStatus)
        return [](Connection* connection, const Fleet::Finish& finish) {
            connection->abort();
            finish(Outcome::Connected, {});
        };
    return [ask = StatusQuery::work(replyTimeoutMs)](Connection* connection,
                                                     const Fleet::Finish& finish) {
        ask(connection, [connection, finish](Outcome outcome, const QByteArray& reply) {
            connection->abort();
            finish(outcome, reply);
        });
    };
}

QString printers(qsizetype n)
{
    return n == 0   ? QStringLiteral("no printer")
           : n == 1 ? QStringLiteral("1 printer")
                    : QStringLiteral("%1 printers").arg(n);
}

} // namespace

int runFind(Cli::Context& context)
{
    if (context.parser.isSet(QStringLiteral("host")) ||
        context.parser.isSet(QStringLiteral("hosts")))
        return context.refuse(QStringLiteral("find searches the RANGE arguments; -H/--host and "
                                             "--hosts name printers for the other commands"));
    if (!context.number("port", 1, 65535) || !context.number("timeout", 1, 3600000) ||
        !context.number("jobs", 1, 4096))
        return Cli::Usage;
    const std::optional<QList<Range>> search = ranges(context);
    if (!search)
        return Cli::Usage;
    if (context.dryRun()) {
        for (const Range& range : *search)
            context.output.out(
                QStringLiteral("%1\t%2").arg(AddressRange::text(range)).arg(range.size()).toUtf8());
        return Cli::Ok;
    }

    const QList<Fleet::Target> all = targets(*search);
    const std::uint16_t port = context.port();
    const int timeoutMs = context.timeoutMs(kFindTimeoutMs);
    const bool askStatus = context.parser.isSet(QStringLiteral("status"));
    Fleet fleet(all, port, timeoutMs, context.jobs(kFindJobs), work(askStatus, timeoutMs));
    if (!context.parser.isSet(QStringLiteral("timeout")))
        fleet.adaptToAnswers();

    QList<Fleet::Result> found;
    qsizetype done = 0, untried = 0;
    QElapsedTimer clock;
    clock.start();
    const int status = Cli::runFleet(fleet, context.output, [&](const Fleet::Result& result) {
        ++done;
        if (result.answerMs >= 0 && result.outcome != Outcome::Refused)
            found << result;
        else if (result.outcome == Outcome::ConnectError)
            ++untried;
        context.output.progress(
            QStringLiteral("[%1/%2] %3 found").arg(done).arg(all.size()).arg(found.size()));
    });
    const double seconds = double(clock.elapsed()) / 1000.0;
    context.output.clearProgress();

    std::sort(found.begin(), found.end(),
              [](const Fleet::Result& a, const Fleet::Result& b) { return a.index < b.index; });
    for (const Fleet::Result& result : std::as_const(found)) {
        const QString& host = all[result.index].host;
        const StatusReport::Report report =
            askStatus ? StatusReport::of(result) : StatusReport::Report{};
        if (context.json()) {
            QJsonObject line{{"host", host}, {"port", port}, {"ms", result.answerMs}};
            for (auto field = report.fields.begin(); field != report.fields.end(); ++field)
                line.insert(field.key(), field.value());
            context.output.out(QJsonDocument(line).toJson(QJsonDocument::Compact));
        } else {
            context.output.out((askStatus ? host + u'\t' + report.text : host).toUtf8());
        }
    }
    if (!context.output.quiet) {
        QString count = QStringLiteral("%1 found among %2 addresses in %3 s")
                            .arg(printers(found.size()))
                            .arg(all.size())
                            .arg(seconds, 0, 'f', 2);
        if (untried > 0)
            count += QStringLiteral("; %1 could not be tried (connect-error)").arg(untried);
        if (status == Cli::Interrupted)
            count += QStringLiteral("; interrupted after %1").arg(done);
        context.output.err(count);
    }
    if (status == Cli::Interrupted)
        return Cli::Interrupted;
    return found.isEmpty() ? Cli::Failed : Cli::Ok;
}

} // namespace ToolCommands

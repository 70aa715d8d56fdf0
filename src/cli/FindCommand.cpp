// corvane-cli find: which addresses accept a connection on the printer port.
#include "Runner.h"
#include "Signals.h"
#include "ToolCommands.h"
#include "core/AddressRange.h"
#include "link/Connection.h"
#include "link/LocalNetworks.h"
#include "link/StatusQuery.h"

namespace ToolCommands {

namespace {

using AddressRange::Range;

QString why(const QString& argument, AddressRange::Check check)
{
    // "-10.0.0.5": a dash range without its first address.
    if (argument.startsWith(u'-'))
        return QStringLiteral("has no first address before its \"-\": a dash range is "
                              "FIRST-LAST (10.0.0.20-10.0.0.60 or 10.0.0.20-60)");
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
    const bool force = context.settings.force;
    for (const QString& argument : context.arguments) {
        const AddressRange::Parsed parsed = AddressRange::parse(argument);
        if (parsed.check != AddressRange::Check::Valid) {
            context.refuse(
                QStringLiteral("find: \"%1\" %2").arg(argument, why(argument, parsed.check)));
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
        QString why;
        const QList<LocalNetwork> networks = localNetworks(&why);
        if (!why.isEmpty()) {
            context.refuse(QStringLiteral("find: this machine's networks cannot be read: %1; "
                                          "name a RANGE to search")
                               .arg(why));
            return std::nullopt;
        }
        for (const LocalNetwork& network : networks) {
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
    const Options::Settings& settings = context.settings;
    const std::optional<QList<Range>> search = ranges(context);
    if (!search)
        return Cli::Usage;
    if (settings.dryRun) {
        for (const Range& range : *search)
            context.output.out(
                QStringLiteral("%1\t%2").arg(AddressRange::text(range)).arg(range.size()).toUtf8());
        return Cli::Ok;
    }
    const QList<Fleet::Target> all = targets(*search);
    return Runner::run(
        {.kind = Record::Kind::Found,
         .targets = all,
         .work = work(settings.status, settings.timeoutMs),
         .record =
             [&](const Fleet::Target& target, const Fleet::Result& result) {
                 Record record = settings.status
                                     ? Records::status(target.host, context.command, result)
                                     : Record{.host = target.host,
                                              .command = context.command,
                                              .outcome = result.outcome,
                                              .ok = result.outcome == Outcome::Connected};
                 record.kind = Record::Kind::Found;
                 record.ms = result.answerMs;
                 record.port = settings.port;
                 return record;
             },
         .foundOnly = true,
         .summary =
             [&](const Runner::Tally& tally) {
                 QString count = QStringLiteral("%1 found among %2 addresses in %3 s")
                                     .arg(printers(tally.reached))
                                     .arg(tally.total)
                                     .arg(tally.seconds, 0, 'f', 2);
                 if (tally.untried > 0)
                     count += QStringLiteral("; %1 could not be tried (connect-error)")
                                  .arg(tally.untried);
                 if (tally.signal)
                     count += QStringLiteral("; interrupted by %1 after %2")
                                  .arg(QLatin1String(Signals::name(tally.signal)))
                                  .arg(tally.done);
                 return count;
             }},
        context);
}

} // namespace ToolCommands

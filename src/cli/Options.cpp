#include "Options.h"

#include "Cli.h"
#include "core/Address.h"
#include "core/AnsiCodePage.h"
#include "link/NativeSocket.h"
#if CORVANE_CLI_DRAWS
#include "render/ReceiptFiles.h"
#endif

#include <QFile>

#include <algorithm>

namespace Options {

namespace {

constexpr Row kRows[] = {
    {Name::Host, 'H', "host", "ADDR", "a printer's IPv4 address; repeat for more (default %1)"},
    {Name::Hosts, 0, "hosts", "FILE",
     "printer addresses, one a line, # comments; - for standard input"},
    {Name::Port, 'p', "port", "N", "the printer port (default %1)"},
    {Name::Timeout, 't', "timeout", "MS", "connect timeout in milliseconds (default %1)"},
    {Name::Jobs, 'j', "jobs", "N", "printers worked on at once (default %1)"},
    {Name::DryRun, 'n', "dry-run", "", "connect to nothing; print what would be sent"},
    {Name::Json, 0, "json", "", "one JSON object per line on standard output"},
    {Name::Yes, 'y', "yes", "", "do not ask before the change"},
    {Name::Quiet, 'q', "quiet", "", "report only failures"},
    {Name::Encoding, 0, "encoding", "CP",
     "Windows code page of text, a number or a name (default the locale's: %1)"},
    {Name::Status, 0, "status", "", "also ask each printer found how it is, as status does"},
    {Name::Confirm, 0, "confirm", "", "wait for the printer to say it has printed, or why not"},
    {Name::ConfirmTimeout, 0, "confirm-timeout", "MS",
     "the longest wait for it in milliseconds (default %1)"},
    {Name::Identify, 0, "identify", "", "also ask its maker, model, firmware and serial number"},
    {Name::Force, 0, "force", "", "search a range of more addresses than a /16 holds"},
    {Name::Bind, 0, "bind", "ADDR", "the address to listen on (default 127.0.0.1)"},
    {Name::Count, 0, "count", "N", "stop after N connections have closed"},
    {Name::Save, 0, "save", "DIR", "write each connection's raw bytes to DIR/connection-NNNN.bin"},
    {Name::StatusReply, 0, "status-reply", "STATE",
     "answer DLE EOT 1 to 4 as a printer %1 (default online)"},
    {Name::Render, 0, "render", "OUT",
     "draw the receipts as a printer prints them, into OUT.png or OUT.pdf"},
    {Name::Paper, 0, "paper", "MM", "the paper --render draws on: 80 (576 dots, default) or 58",
     "80|58"},
    {Name::Fault, 0, "fault", "FAULT", "fail as a printer does, as told below; repeat for more"},
    {Name::Help, 'h', "help", "", "show this help"},
    {Name::Version, 0, "version", "", "show the version"},
};

static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(kRows); ++i) {
            if (kRows[i].name != Name(i))
                return false;
        }
        return true;
    }(),
    "the rows follow the order of Name");

QString quoted(const QString& text)
{
    return QStringLiteral("\"%1\"").arg(text);
}

const Row* byWord(QStringView word)
{
    for (const Row& r : kRows) {
        if (word == QLatin1String(r.word))
            return &r;
    }
    return nullptr;
}

const Row* byLetter(QChar letter)
{
    for (const Row& r : kRows) {
        if (r.letter && letter == QLatin1Char(r.letter))
            return &r;
    }
    return nullptr;
}

// Digits only: no sign, no blank, no exponent.
std::optional<int> decimal(const QString& text, int lowest, int highest)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const qint64 value = text.toLongLong();
    if (value < lowest || value > highest)
        return std::nullopt;
    return int(value);
}

std::optional<Fleet::Target> host(const QString& text)
{
    const auto address = parseIPv4(text);
    if (!address)
        return std::nullopt;
    return Fleet::Target{text, *address};
}

QString notAnAddress(const QString& text)
{
    return QStringLiteral("%1 is not an IPv4 address: four decimal numbers from 0 to 255 joined "
                          "by points (names are not looked up)")
        .arg(quoted(text));
}

// Each printer once, compared as the window reads an address: 127.000.001.001 is 127.0.1.1.
void add(QList<Fleet::Target>& targets, const Fleet::Target& target, Output& output)
{
    const auto same = std::find_if(targets.cbegin(), targets.cend(), [&](const Fleet::Target& t) {
        return t.address == target.address;
    });
    if (same == targets.cend()) {
        targets << target;
        return;
    }
    output.err(same->host == target.host
                   ? QStringLiteral("corvane-cli: %1 is named twice; it is worked on once")
                         .arg(target.host)
                   : QStringLiteral("corvane-cli: %1 is %2 again; it is worked on once")
                         .arg(target.host, same->host));
}

} // namespace

std::span<const Row> rows()
{
    return kRows;
}

const Row& row(Name name)
{
    return kRows[std::size_t(name)];
}

Takes fleet()
{
    return {{Name::Host, Name::Hosts, Name::Port, Name::Timeout, Name::Jobs, Name::DryRun,
             Name::Json, Name::Quiet, Name::Help}};
}

bool Line::has(Name name) const
{
    return std::any_of(given.begin(), given.end(),
                       [name](const Given& g) { return g.name == name; });
}

Line split(const QStringList& words)
{
    Line line;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        // A lone "-" is standard input, and "-10.0.0.5" a range or number gone wrong, which its
        // command tells better than an unknown option "1" would.
        if (word == u"--") {
            line.positional += words.mid(i + 1);
            break;
        }
        if (word.size() < 2 || word[0] != u'-' || word[1].isDigit()) {
            line.positional << word;
            continue;
        }
        auto take = [&](const Row& row, const QString& spelling, std::optional<QString> value) {
            if (!*row.value) {
                line.given << Line::Given{row.name, spelling, {}};
                return true;
            }
            if (!value) {
                if (i + 1 >= words.size()) {
                    line.error = spelling + QStringLiteral(" needs a value");
                    return false;
                }
                value = words[++i];
            }
            line.given << Line::Given{row.name, spelling, *value};
            return true;
        };
        if (word.startsWith(u"--")) {
            const qsizetype equals = word.indexOf(u'=');
            const QString spelling = word.left(equals);
            const Row* found = byWord(QStringView(spelling).mid(2));
            if (!found) {
                line.error = QStringLiteral("there is no option %1").arg(spelling);
                return line;
            }
            if (equals >= 0 && !*found->value) {
                line.error = spelling + QStringLiteral(" takes no value");
                return line;
            }
            if (!take(*found, spelling,
                      equals >= 0 ? std::optional<QString>(word.mid(equals + 1)) : std::nullopt))
                return line;
            continue;
        }
        // Short options together (-ny); one that takes a value takes the rest of the word.
        for (qsizetype at = 1; at < word.size(); ++at) {
            const Row* found = byLetter(word[at]);
            const QString spelling = QStringLiteral("-") + word[at];
            if (!found) {
                line.error = QStringLiteral("there is no option %1").arg(spelling);
                return line;
            }
            const bool rest = *found->value && at + 1 < word.size();
            if (!take(*found, spelling,
                      rest ? std::optional<QString>(word.mid(at + 1)) : std::nullopt))
                return line;
            if (*found->value)
                break;
        }
    }
    return line;
}

std::optional<Settings> read(const Line& line, const QString& command, const Takes& takes,
                             Output& output)
{
    Settings s;
    s.timeoutMs = takes.timeoutMs;
    s.jobs = takes.jobs;
    s.codePage = AnsiCodePage::system();
    auto refuse = [&](const QString& message) {
        output.err(QStringLiteral("corvane-cli: ") + message);
        return std::nullopt;
    };
    bool hostGiven = false;
    for (const Line::Given& given : line.given) {
        if (!takes.options.contains(given.name))
            return refuse(QStringLiteral("%1 does not take %2; corvane-cli help %1 lists what "
                                         "it takes")
                              .arg(command, given.spelling));
        const QString name = QStringLiteral("--") + QLatin1String(row(given.name).word);
        auto number = [&](int lowest, int highest) {
            const std::optional<int> value = decimal(given.value, lowest, highest);
            if (!value)
                output.err(QStringLiteral("corvane-cli: %1: %2 is not a number from %3 to %4")
                               .arg(name, quoted(given.value))
                               .arg(lowest)
                               .arg(highest));
            return value;
        };
        std::optional<int> value = 0;
        switch (given.name) {
        case Name::Host:
            if (const std::optional<Fleet::Target> target = host(given.value))
                add(s.targets, *target, output);
            else
                return refuse(name + QStringLiteral(": ") + notAnAddress(given.value));
            hostGiven = true;
            break;
        case Name::Hosts: {
            QString why;
            const std::optional<QByteArray> content = Cli::readFile(given.value, &why);
            if (!content)
                return refuse(name + QStringLiteral(": ") + why);
            const QString source = given.value == u"-" ? QStringLiteral("stdin") : given.value;
            const QList<QByteArray> lines = content->split('\n');
            qsizetype named = 0;
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QString text = QString::fromUtf8(lines[i]);
                text.truncate(text.indexOf(u'#') >= 0 ? text.indexOf(u'#') : text.size());
                text = text.trimmed();
                if (text.isEmpty())
                    continue;
                const std::optional<Fleet::Target> target = host(text);
                if (!target)
                    return refuse(QStringLiteral("%1: %2:%3: %4")
                                      .arg(name, source)
                                      .arg(i + 1)
                                      .arg(notAnAddress(text)));
                add(s.targets, *target, output);
                ++named;
            }
            if (named == 0)
                return refuse(
                    QStringLiteral("%1: %2 names no printer").arg(name, quoted(given.value)));
            hostGiven = true;
            break;
        }
        case Name::Port:
            value = number(takes.lowestPort, 65535);
            s.port = std::uint16_t(value.value_or(0));
            break;
        case Name::Timeout:
            value = number(1, 3600000);
            s.timeoutMs = value.value_or(0);
            s.timeoutGiven = true;
            break;
        case Name::Jobs:
            value = number(1, 4096);
            s.jobs = value.value_or(0);
            break;
        case Name::ConfirmTimeout:
            value = number(1, 3600000);
            s.confirmTimeoutMs = value.value_or(0);
            break;
        case Name::Count:
            value = number(0, 1000000000);
            s.count = value.value_or(0);
            break;
        case Name::Encoding: {
            const std::optional<int> codePage = AnsiCodePage::named(given.value);
            if (!codePage)
                return refuse(QStringLiteral("%1: %2 is not a code page: give its number (936, "
                                             "cp1252) or a usual name (shift_jis, gb18030)")
                                  .arg(name, quoted(given.value)));
            if (!AnsiCodePage::converts(*codePage))
                return refuse(QStringLiteral("%1: code page %2 (%3) is not one this system "
                                             "converts")
                                  .arg(name)
                                  .arg(*codePage)
                                  .arg(quoted(given.value)));
            s.codePage = *codePage;
            break;
        }
        case Name::Bind:
            // An address only: a name would be looked up.
            s.bind = NativeSocket::numericAddress(given.value);
            if (s.bind.isEmpty())
                return refuse(QStringLiteral("%1: %2 is not an IPv4 or IPv6 address")
                                  .arg(name, quoted(given.value)));
            break;
        case Name::StatusReply:
            s.statusReply = PrinterStatus::simulation(given.value);
            if (!s.statusReply) {
                QStringList names;
                for (const PrinterStatus::Simulation& simulation : PrinterStatus::simulations())
                    names << QLatin1String(simulation.name);
                return refuse(QStringLiteral("%1: %2 is none of %3")
                                  .arg(name, quoted(given.value), names.join(u'|')));
            }
            break;
        case Name::Save:
            s.saveDir = given.value;
            break;
        case Name::Render:
#if CORVANE_CLI_DRAWS
            if (takes.renderFolder && given.value.isEmpty())
                return refuse(name + QStringLiteral(": the folder's name is empty"));
            if (!takes.renderFolder && !ReceiptFiles::formatOf(given.value))
                return refuse(QStringLiteral("%1: %2 ends in neither .png nor .pdf")
                                  .arg(name, quoted(given.value)));
#else
            // The drawing build takes every line with --render before its options are read.
            return refuse(QStringLiteral("%1: this corvane-cli does not draw").arg(name));
#endif
            s.render = given.value;
            break;
        case Name::Paper:
            if (!QString::fromLatin1(row(Name::Paper).choices).split(u'|').contains(given.value))
                return refuse(
                    QStringLiteral("%1: %2 is neither 80 nor 58").arg(name, quoted(given.value)));
            s.paperMm = given.value.toInt();
            break;
        case Name::Fault: {
            QString why;
            if (!Listener::addFault(s.faults, given.value, &why))
                return refuse(name + QStringLiteral(": ") + why);
            break;
        }
        case Name::DryRun:
        case Name::Json:
        case Name::Yes:
        case Name::Quiet:
        case Name::Status:
        case Name::Confirm:
        case Name::Identify:
        case Name::Force:
        case Name::Help:
        case Name::Version:
            break;
        }
        if (!value)
            return std::nullopt;
    }
    s.dryRun = line.has(Name::DryRun);
    s.json = line.has(Name::Json);
    s.yes = line.has(Name::Yes);
    s.quiet = line.has(Name::Quiet);
    s.status = line.has(Name::Status);
    s.confirm = line.has(Name::Confirm);
    s.identify = line.has(Name::Identify);
    if (line.has(Name::ConfirmTimeout) && !s.confirm)
        return refuse(QStringLiteral("--confirm-timeout is for --confirm: give both"));
    s.force = line.has(Name::Force);
    if (line.has(Name::Paper) && s.render.isEmpty())
        return refuse(QStringLiteral("--paper is for --render"));
    if (!hostGiven && takes.options.contains(Name::Host))
        s.targets << *host(QString::fromLatin1(Defaults::kCurrentAddress));
    return s;
}

} // namespace Options

std::optional<QByteArray> Cli::readFile(const QString& path, QString* why)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        *why = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

#include "ToolCommands.h"

#include <algorithm>

namespace ToolCommands {

namespace {

using Options::Name;

const QList<ToolCommand>& table()
{
    static const QList<ToolCommand> commands = {
        {"find",
         "[RANGE...]",
         "list the addresses that accept a connection on the printer port",
         {{Name::Port, Name::Timeout, Name::Jobs, Name::DryRun, Name::Json, Name::Quiet,
           Name::Status, Name::Force, Name::Help},
          1000,
          256},
         runFind,
         "RANGE is a CIDR block (192.168.1.0/24), a dash range (10.0.0.20-10.0.0.60 or\n"
         "10.0.0.20-60) or one address; without one, the IPv4 networks of this machine's\n"
         "interfaces, at most a /22 of each. Nothing is sent; each connection is reset at once.\n"
         "Without --timeout, once addresses have answered, one that stays silent is given up\n"
         "after ten times the slowest answer, 100 ms at least. -n lists the ranges and their\n"
         "sizes. --json gives host, command, ok, outcome (connected), ms (until it accepted),\n"
         "port, and with --status what status gives.",
         "  0    a printer was found\n"
         "  1    none was\n",
         "what was found so far is shown"},
        {"status",
         "",
         "ask each printer how it is: online, cover, paper, errors",
         {Options::fleet().options + QList<Name>{Name::Identify}},
         runStatus,
         "Sends DLE EOT 1, 2, 3 and 4 (10 04 01 to 10 04 04) one at a time and reads one status\n"
         "byte for each, each read bounded by --timeout. A printer that answered every request\n"
         "ends as answered, one that did not as no-status. --json gives every condition as\n"
         "true or false (null when unknown), the summary and the bytes as hex. --identify then\n"
         "asks GS I 66, 67, 65 and 68 (1D 49 42 ...) for the maker, model, firmware and serial\n"
         "number, each answer read to its 00 within --timeout, until one is not answered; they\n"
         "follow the status on its line, and in JSON as maker, model, firmware, serial (null\n"
         "when not told).",
         "  0    every printer answered and is online with paper\n"
         "  1    at least one did not answer, or is offline or out of paper\n",
         "every printer is reported, those not\n       done as interrupted"},
        {"listen",
         "",
         "be a printer: take connections and show, command by command, what arrives",
         {{Name::Bind, Name::Port, Name::Count, Name::Save, Name::Render, Name::Paper,
           Name::StatusReply, Name::Fault, Name::Encoding, Name::Json, Name::Help},
          0,
          0,
          0,
          true},
         runListen,
         "Listens on port 9100 of 127.0.0.1 unless told otherwise; the port is told on\n"
         "standard error. Each connection is read to its end at full speed and shown under a\n"
         "header line: its number, the peer, the time. Text is read in the code page of\n"
         "--encoding. --save makes each capture a new file, numbered on after those there.\n"
         "It answers as a printer: DLE EOT 1-4, GS r 1 and 2, GS I 1-3 and 65-68, GS ( H 48\n"
         "once what came before is printed, and GS a (automatic status back). --fault:\n"
         "  paper-out, cover-open, offline   in that state from the start: print data is\n"
         "                                   taken and not printed\n"
         "  no-reply                         answers nothing\n"
         "  paper-out-after=N                out of paper after N bytes of print data\n"
         "  drop-after=N                     resets each connection after N bytes\n"
         "  slow=N                           reads N bytes a second",
         "  0    --count connections were taken\n",
         "every capture is complete and the\n       connections so far were shown"},
        {"decode",
         "[FILE|-]",
         "show, command by command, what a capture of a printer's bytes says",
         {{Name::Encoding, Name::Json, Name::Render, Name::Paper, Name::Help}},
         runDecode,
         "One line per item: its offset, its bytes in hex (long runs shortened) and what it\n"
         "means; text in the code page of --encoding. --json gives offset, length, kind, name,\n"
         "hex, params and meaning. Without FILE, standard input. --render OUT.png draws the\n"
         "paper instead, at 203 dots per inch: one receipt per cut, as OUT.png, or OUT-1.png,\n"
         "OUT-2.png, ... for several; OUT.pdf has a page per receipt. The files written are\n"
         "listed on standard output; what is not drawn, and why, on standard error.",
         "  0    the capture was read to its end (and, with --render, drawn)\n"
         "  1    reading it failed, it prints nothing, or a picture could not be written\n",
         nullptr},
    };
    return commands;
}

} // namespace

std::span<const ToolCommand> all()
{
    return {table().constData(), std::size_t(table().size())};
}

const ToolCommand* find(QStringView name)
{
    const auto& commands = table();
    const auto found = std::find_if(commands.begin(), commands.end(), [name](const ToolCommand& c) {
        return name == QLatin1String(c.name);
    });
    return found == commands.end() ? nullptr : &*found;
}

} // namespace ToolCommands

#include "ToolCommands.h"

#include <algorithm>

namespace ToolCommands {

namespace {

const QList<Cli::ToolCommand>& table()
{
    static const QList<Cli::ToolCommand> commands = {
        {"find",
         "[RANGE...]",
         "list the addresses that accept a connection on the printer port",
         {{{"status"}, "", "also ask each printer found how it is, as status does"},
          {{"force"}, "", "search a range of more addresses than a /16 holds"}},
         runFind,
         "RANGE is a CIDR block (192.168.1.0/24), a dash range (10.0.0.20-10.0.0.60 or\n"
         "10.0.0.20-60) or one address; without one, the IPv4 networks of this machine's\n"
         "interfaces, at most a /22 of each. Nothing is sent; each connection is reset at once.\n"
         "Defaults here: --timeout 1000 and --jobs 256. Without --timeout, once addresses have\n"
         "answered, one that stays silent is given up after ten times the slowest answer,\n"
         "100 ms at least. Exit status 0 when a printer was found, 1 when none was."},
        {"status",
         "",
         "ask each printer how it is: online, cover, paper, errors",
         {},
         runStatus,
         "Sends DLE EOT 1, 2, 3 and 4 one at a time and reads one status byte for each, each\n"
         "read bounded by --timeout. Exit status 0 only when every printer answered and is\n"
         "online with paper."},
        {"listen",
         "",
         "be a printer: take connections and show, command by command, what arrives",
         {{{"bind"}, "ADDR", "the address to listen on (default 127.0.0.1)"},
          {{"count"}, "N", "stop after N connections have closed"},
          {{"save"}, "DIR", "write each connection's raw bytes to DIR/connection-NNNN.bin"},
          {{"status-reply"},
           "STATE",
           "answer DLE EOT 1 to 4 as a printer online, paper-near-end, paper-out, cover-open or "
           "offline (default online)"}},
         runListen,
         "Listens on port 9100 of 127.0.0.1 unless told otherwise (--port 0: any free port);\n"
         "the port is told on standard error. Each connection is read to its end at full\n"
         "speed and shown under a header line: its number, the peer, the time. Text is read\n"
         "in the code page of --encoding, by default the locale's Windows code page. Ends\n"
         "after --count connections, or on Ctrl+C."},
        {"decode",
         "[FILE|-]",
         "show, command by command, what a capture of a printer's bytes says",
         {{{"render"},
           "OUT",
           "draw the receipts as a printer prints them, into OUT.png or OUT.pdf"},
          {{"paper"}, "MM", "the paper --render draws on: 80 (576 dots, default) or 58 (384)"}},
         runDecode,
         "One line per item: its offset, its bytes in hex (long runs shortened) and what it\n"
         "means; text in the code page of --encoding, by default the locale's Windows code\n"
         "page. --json gives offset, length, kind, name, hex, params and meaning. Without\n"
         "FILE, standard input. --render OUT.png draws the paper instead, at 203 dots per\n"
         "inch: one receipt per cut, as OUT.png, or OUT-1.png, OUT-2.png, ... for several;\n"
         "OUT.pdf has a page per receipt. The files written are listed on standard output;\n"
         "what is not drawn, and why, on standard error."},
    };
    return commands;
}

} // namespace

std::span<const Cli::ToolCommand> all()
{
    return {table().constData(), std::size_t(table().size())};
}

const Cli::ToolCommand* find(QStringView name)
{
    const auto& commands = table();
    const auto found =
        std::find_if(commands.begin(), commands.end(),
                     [name](const Cli::ToolCommand& c) { return name == QLatin1String(c.name); });
    return found == commands.end() ? nullptr : &*found;
}

} // namespace ToolCommands

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <span>
#include <variant>

// Every command the tool can send a printer: a stable short name, the typed input it takes and
// what it puts on the wire. The window's buttons, the command-line tool, the benchmarks and the
// tests all take the bytes from here.
namespace Catalogue {

enum class Id {
    Test,
    Print,
    Cut,
    Drawer,
    SetIp,
    SetId,
    Language,
    BlackMark,
    CodePage,
    Arm,
    NvDownload,
    NvPrint,
    Raw,
};

enum class ArmBoard { Ostrik, Velmar };

// The inputs, one type per kind.
struct NoInput {};
struct Text {
    QString text; // line breaks as CR LF
    int codePage; // a Windows code page number
};
struct IPv4 {
    std::array<std::uint8_t, 4> octets;
};
// The five typed parts; the first of the six bytes is fixed.
struct EthernetId {
    std::array<std::uint8_t, 5> parts;
};
struct Language {
    int index; // 0 to 3 of the language list; anything else means none is selected
};
struct BlackMark {
    bool on;
};
struct CodePage {
    std::uint8_t value;
};
struct Arm {
    ArmBoard board;
};
struct Bytes {
    QByteArray bytes; // the NV data file's content, or a technician's own bytes
};
using Input =
    std::variant<NoInput, Text, IPv4, EthernetId, Language, BlackMark, CodePage, Arm, Bytes>;

// What a command hands the connection, send by send, in order. The network frames are two
// sends (head, then address); the connection test makes none.
using Sends = QList<QByteArray>;

struct Command {
    Id id;
    const char* name;     // the command-line name
    const char* argument; // how its input is written on a command line; empty when none
    const char* summary;
    std::size_t input;   // the Input alternative it takes
    bool changesNetwork; // asks before it is sent
    Sends (*sends)(const Input&);
};

std::span<const Command> all();
const Command& command(Id id);
// The command of that name, or null.
const Command* find(QStringView name);
// The sends of a command for its input; an input of the wrong kind gives no sends.
Sends sends(Id id, const Input& input = NoInput{});
// All sends joined: what reaches the printer over one connection.
QByteArray wire(const Sends& sends);

// The language list, in the order of its indices: the name a command line uses, and the
// caption the window shows.
struct LanguageName {
    const char* word;
    const char* caption; // UTF-8
};
inline constexpr std::array<LanguageName, 4> kLanguages = {{
    {"zh-hans", "中文简体"},
    {"zh-hant", "中文繁体"},
    {"ko", "韩文"},
    {"ja", "日文"},
}};

} // namespace Catalogue

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

// Every command the tool can send a printer, one row each: a stable short name, the typed input
// it takes, what it puts on the wire, how its input is read from words, where its values sit in
// its frame and what they mean, and the words the window has for it. The window's buttons, the
// command-line tool, the decoder, the benchmarks and the tests all take them from here.
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

// What reading words may need beyond them: the code page typed text goes out in, and a reader
// of files ("-" for standard input) that says why it could not read one.
struct Sources {
    int codePage = 1252;
    std::optional<QByteArray> (*read)(const QString& path, QString* why) = nullptr;
};

// A command's input read from its words, or the refusal that names the wrong word; a note is
// worth telling beside a good input (characters the code page lacks).
struct Reading {
    std::optional<Input> input;
    QString refusal;
    QString note;
};

struct Command;
using Reader = Reading (*)(const Command& command, const QStringList& words,
                           const Sources& sources);

// Where the values of a command sit in the frame it sends, so that the frame can be read back.
struct Values {
    int at = 0;
    int count = 0; // 0: what the command sends is no frame of the printer's own
    int lead = 0;  // fixed bytes just before them that are shown with them
    QString (*describe)(const QList<int>& values) = nullptr;
    bool holds(qsizetype i) const { return i >= at && i < at + count; }
};

// The window's words where a command has its own; null where it has none.
struct Wording {
    const char* delivered = nullptr; // once the printer has every byte
    const char* refused = nullptr;   // when the input is refused
    const char* ask = nullptr;       // the question's opening: the command asks before it goes
    const char* change = nullptr; // the command line's question, "%1" the printer, "%2" the input
};

struct Command {
    Id id;
    const char* name;     // the command-line name
    const char* argument; // how its input is written on a command line; empty when none
    const char* summary;
    std::size_t input; // the Input alternative it takes
    Sends (*sends)(const Input&);
    Reader read;
    const char* example = ""; // words it reads, for the help and for its frame
    // A choice of words, or a range of numbers, and the input the chosen index or number makes.
    std::span<const char* const> choices = {};
    int lowest = 0;
    int highest = 0;
    Input (*make)(int) = nullptr;
    Values values = {};
    Wording words = {};
    const char* details = ""; // more for the command's own help
    // What it sends the printer works through in turn, so GS r 1 behind it tells when it is done.
    bool confirms = false;

    // Asks before it is sent, and so changes one printer at a time.
    bool asks() const { return words.ask != nullptr; }
};

std::span<const Command> all();
const Command& command(Id id);
// The command of that name, or null.
const Command* find(QStringView name);
// The sends of a command for its input; an input of the wrong kind gives no sends.
Sends sends(Id id, const Input& input = NoInput{});
// All sends joined: what reaches the printer over one connection.
QByteArray wire(const Sends& sends);
// The command's input from the words after its name.
Reading read(const Command& command, const QStringList& words, const Sources& sources = {});
// What the command sends for its example: the frame whose values are read back.
QByteArray frame(const Command& command);

// Text from a file as the window's print box holds it: UTF-8, every line end as CR LF.
std::optional<QString> printText(const QByteArray& utf8);

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

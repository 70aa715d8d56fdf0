#include "Catalogue.h"

#include "AnsiCodePage.h"
#include "Frames.h"

#include <algorithm>

namespace Catalogue {

namespace {

template <typename T, Sends (*build)(const T&)> Sends typed(const Input& input)
{
    const T* value = std::get_if<T>(&input);
    return value ? build(*value) : Sends{};
}

template <QByteArray (*frame)()> Sends fixed(const Input&)
{
    return {frame()};
}

Sends none(const Input&)
{
    return {};
}

Sends print(const Text& in)
{
    return {AnsiCodePage::encode(in.text, in.codePage)};
}

Sends setIp(const IPv4& in)
{
    return {Frames::raw(Frames::kIPCmdHead), Frames::raw(in.octets)};
}

Sends setId(const EthernetId& in)
{
    QByteArray id(1, char(Frames::kEthernetIdFirst));
    id += Frames::raw(in.parts);
    return {Frames::raw(Frames::kIDCmdHead), id};
}

Sends language(const Language& in)
{
    return {Frames::setLanguage(in.index)};
}

Sends blackMark(const BlackMark& in)
{
    return {Frames::blackMark(in.on)};
}

Sends codePage(const CodePage& in)
{
    return {Frames::setDefaultCodePage(in.value)};
}

Sends arm(const Arm& in)
{
    return {
        Frames::armBoard(in.board == ArmBoard::Ostrik ? Frames::kOstrikArm : Frames::kVelmarArm)};
}

Sends bytes(const Bytes& in)
{
    return {in.bytes};
}

template <typename T> std::size_t indexOf()
{
    return Input(T{}).index();
}

const std::array<Command, 13>& table()
{
    static const std::array<Command, 13> commands = {{
        {Id::Test, "test", "", "connect and send nothing: can the printer be reached?",
         indexOf<NoInput>(), false, none},
        {Id::Print, "print", "[FILE|-]", "print text, in the code page of the locale",
         indexOf<Text>(), false, typed<Text, print>},
        {Id::Cut, "cut", "", "feed to the cutting position and cut the paper", indexOf<NoInput>(),
         false, fixed<Frames::cutPaper>},
        {Id::Drawer, "drawer", "", "open the cash drawer", indexOf<NoInput>(), false,
         fixed<Frames::cashDrawer>},
        {Id::SetIp, "set-ip", "A.B.C.D", "give the printer a new IP address", indexOf<IPv4>(), true,
         typed<IPv4, setIp>},
        {Id::SetId, "set-id", "N-N-N-N-N", "give the printer a new Ethernet ID (0-N-N-N-N-N)",
         indexOf<EthernetId>(), true, typed<EthernetId, setId>},
        {Id::Language, "language", "zh-hans|zh-hant|ko|ja", "set the character language",
         indexOf<Language>(), false, typed<Language, language>},
        {Id::BlackMark, "black-mark", "on|off", "switch black-mark detection on or off",
         indexOf<BlackMark>(), false, typed<BlackMark, blackMark>},
        {Id::CodePage, "code-page", "N", "set the default code page (0 to 255)",
         indexOf<CodePage>(), false, typed<CodePage, codePage>},
        {Id::Arm, "arm", "ostrik|velmar", "send an interface-board command", indexOf<Arm>(), false,
         typed<Arm, arm>},
        {Id::NvDownload, "nv-download", "FILE", "download an NV bit image data file",
         indexOf<Bytes>(), false, typed<Bytes, bytes>},
        {Id::NvPrint, "nv-print", "", "print NV bit image 1, centred", indexOf<NoInput>(), false,
         fixed<Frames::printNvImage>},
        {Id::Raw, "raw", "HEX...", "send your own bytes, given as hex pairs", indexOf<Bytes>(),
         false, typed<Bytes, bytes>},
    }};
    return commands;
}

} // namespace

std::span<const Command> all()
{
    return table();
}

const Command& command(Id id)
{
    const Command& found = table()[std::size_t(id)];
    Q_ASSERT(found.id == id); // the table lists the commands in the order of Id
    return found;
}

const Command* find(QStringView name)
{
    const auto& commands = table();
    const auto found = std::find_if(commands.begin(), commands.end(), [name](const Command& c) {
        return name == QLatin1String(c.name);
    });
    return found == commands.end() ? nullptr : &*found;
}

Sends sends(Id id, const Input& input)
{
    return command(id).sends(input);
}

QByteArray wire(const Sends& sends)
{
    QByteArray all;
    for (const QByteArray& send : sends)
        all += send;
    return all;
}

} // namespace Catalogue

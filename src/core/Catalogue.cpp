#include "Catalogue.h"

#include "Address.h"
#include "AnsiCodePage.h"
#include "DefaultPrintText.h"
#include "Defaults.h"
#include "Frames.h"
#include "NvImageFile.h"
#include "Texts.h"

#include <QStringDecoder>

#include <algorithm>

namespace Catalogue {

namespace {

// ----- the bytes -----

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

// ----- reading words -----

QString quoted(const QString& text)
{
    return QStringLiteral("\"%1\"").arg(text);
}

Reading ok(Input input, QString note = {})
{
    return {std::move(input), {}, std::move(note)};
}

Reading wrong(const Command& command, const QString& why)
{
    return {std::nullopt, QStringLiteral("%1: %2").arg(QLatin1String(command.name), why), {}};
}

Reading usage(const Command& command)
{
    return {std::nullopt,
            QStringLiteral("%1 takes %2")
                .arg(QLatin1String(command.name), QLatin1String(command.argument)),
            {}};
}

std::optional<int> decimal(const QString& text, int lowest, int highest)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}

Reading nothing(const Command& command, const QStringList& words, const Sources&)
{
    if (!words.isEmpty())
        return wrong(
            command,
            QStringLiteral("takes no arguments, but was given %1").arg(quoted(words.join(u' '))));
    return ok(NoInput{});
}

Reading choice(const Command& command, const QStringList& words, const Sources&)
{
    if (words.size() != 1)
        return usage(command);
    QStringList choices;
    for (const char* word : command.choices)
        choices << QLatin1String(word);
    const qsizetype index = choices.indexOf(words.first().toLower());
    if (index >= 0)
        return ok(command.make(int(index)));
    const QString listed = choices.size() == 2 ? choices.join(QStringLiteral(" or "))
                                               : QStringLiteral("one of ") + choices.join(u'|');
    return wrong(command, QStringLiteral("%1 is not %2").arg(quoted(words.first()), listed));
}

Reading number(const Command& command, const QStringList& words, const Sources&)
{
    if (words.size() != 1)
        return usage(command);
    if (const std::optional<int> value = decimal(words.first(), command.lowest, command.highest))
        return ok(command.make(*value));
    return wrong(command, QStringLiteral("%1 is not a number from %2 to %3")
                              .arg(quoted(words.first()))
                              .arg(command.lowest)
                              .arg(command.highest));
}

// One address through the window's check; store receives its parts.
std::optional<Reading> address(const Command& command, const QStringList& words,
                               const AddressRule& rule, std::span<std::uint8_t> store,
                               const char* what)
{
    if (words.size() != 1)
        return usage(command);
    if (checkAddress(words.first(), rule, store) == CheckOutcome::Valid)
        return std::nullopt;
    return wrong(
        command,
        QStringLiteral("%1 is not %2").arg(quoted(words.first()), QString::fromLatin1(what)));
}

Reading ipv4(const Command& command, const QStringList& words, const Sources&)
{
    IPv4 value{};
    const std::optional<Reading> refused =
        address(command, words, kIPv4Rule, value.octets,
                "an IPv4 address: four decimal numbers from 0 to 255 joined by points");
    return refused ? *refused : ok(value);
}

Reading ethernetId(const Command& command, const QStringList& words, const Sources&)
{
    EthernetId value{};
    const std::optional<Reading> refused =
        address(command, words, kEthernetIdRule, value.parts,
                "an Ethernet ID: five decimal numbers from 0 to 255 joined by hyphens (the first "
                "part, 0, is fixed and not typed)");
    return refused ? *refused : ok(value);
}

Reading textFile(const Command& command, const QStringList& words, const Sources& sources)
{
    if (words.size() > 1)
        return usage(command);
    QString text = defaultPrintText();
    if (!words.isEmpty()) {
        QString why;
        const std::optional<QByteArray> bytes =
            sources.read ? sources.read(words.first(), &why) : std::nullopt;
        if (!bytes)
            return wrong(command, why);
        const std::optional<QString> read = printText(*bytes);
        if (!read)
            return wrong(command,
                         QStringLiteral("%1 is not UTF-8 text").arg(quoted(words.first())));
        text = *read;
    }
    AnsiCodePage::Loss loss;
    AnsiCodePage::encode(text, sources.codePage, &loss);
    QString note;
    if (loss.count > 0)
        note = QStringLiteral("%1: %2 not in code page %3 and sent as \"?\", the first %4 (U+%5)")
                   .arg(QLatin1String(command.name),
                        loss.count == 1 ? QStringLiteral("1 character is")
                                        : QStringLiteral("%1 characters are").arg(loss.count))
                   .arg(sources.codePage)
                   .arg(quoted(loss.first), QString::number(loss.first.toUcs4().value(0), 16)
                                                .toUpper()
                                                .rightJustified(4, u'0'));
    return ok(Text{text, sources.codePage}, note);
}

Reading dataFile(const Command& command, const QStringList& words, const Sources&)
{
    if (words.size() != 1)
        return usage(command);
    const QString path = quoted(words.first());
    const NvImageFile image = NvImageFile::read(words.first());
    switch (image.status()) {
    case NvImageFile::Status::Read:
        return ok(Bytes{image.bytes()});
    case NvImageFile::Status::CannotOpen:
        return wrong(command, QStringLiteral("cannot open %1").arg(path));
    case NvImageFile::Status::NotAFile:
        return wrong(command, QStringLiteral("%1 is not a regular file").arg(path));
    case NvImageFile::Status::Empty:
        return wrong(command, QStringLiteral("%1 is empty").arg(path));
    case NvImageFile::Status::TooLarge:
        return wrong(command, QStringLiteral("%1 is too large to hold in memory").arg(path));
    case NvImageFile::Status::ShortRead:
        break;
    }
    return wrong(command, QStringLiteral("reading %1 failed").arg(path));
}

Reading hex(const Command& command, const QStringList& words, const Sources&)
{
    if (words.isEmpty())
        return usage(command);
    QByteArray bytes;
    for (const QString& word : words) {
        QString digits = word;
        digits.remove(u' ').remove(u':');
        if (digits.isEmpty() || digits.size() % 2 != 0)
            return wrong(command, QStringLiteral("%1 is not a run of hex pairs").arg(quoted(word)));
        for (QChar c : digits) {
            const char16_t u = c.unicode();
            if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
                return wrong(command, QStringLiteral("%1 holds %2, which is not a hex digit")
                                          .arg(quoted(word), quoted(QString(c))));
        }
        bytes += QByteArray::fromHex(digits.toLatin1());
    }
    return ok(Bytes{bytes});
}

// ----- what the values of a frame mean -----

QString joined(const QList<int>& values, QChar separator)
{
    QStringList parts;
    for (int value : values)
        parts << QString::number(value);
    return parts.join(separator);
}

QString ofOne(const char* text, int n)
{
    return QString::fromLatin1(text).arg(n);
}

QString languageMeaning(const QList<int>& v)
{
    for (int i = 0; i < Frames::kLanguageCount; ++i) {
        if (Frames::languageByte(i) == v[0]) {
            const LanguageName& language = kLanguages[std::size_t(i)];
            return QStringLiteral("set the character language to %1 (%2)")
                .arg(QString::fromUtf8(language.caption), QLatin1String(language.word));
        }
    }
    return ofOne("set the character language to none (byte %1)", v[0]);
}

constexpr auto kLanguageWords = [] {
    std::array<const char*, kLanguages.size()> words{};
    for (std::size_t i = 0; i < kLanguages.size(); ++i)
        words[i] = kLanguages[i].word;
    return words;
}();
constexpr std::array<const char*, 2> kOnOff = {"on", "off"};
// Where a configuration frame holds its one value: after the prefix and the byte that selects
// what is set, or last of the eight bytes of the black-mark and interface-board frames.
constexpr int kSelected = int(Frames::kConfigPrefix.size()) + 1;
constexpr int kLast = 7;
constexpr std::array<const char*, 2> kBoards = {"ostrik", "velmar"};

const std::array<Command, 13>& table()
{
    static const std::array<Command, 13> commands = {
        {
            {.id = Id::Test,
             .name = "test",
             .argument = "",
             .summary = "connect and send nothing: can the printer be reached?",
             .input = indexOf<NoInput>(),
             .sends = none,
             .read = nothing},
            {.id = Id::Print,
             .name = "print",
             .argument = "[FILE|-]",
             .summary = "print text, in the code page of the locale",
             .input = indexOf<Text>(),
             .sends = typed<Text, print>,
             .read = textFile,
             .details =
                 "FILE holds UTF-8 text; every line end goes out as CR LF, in the code page "
                 "of\n--encoding or, by default, the locale's Windows code page, as the window "
                 "sends.\nCharacters the code page lacks go out as \"?\"; how many is told on "
                 "standard\nerror. Without FILE, the window's test page; - reads standard "
                 "input.",
             .confirms = true},
            {.id = Id::Cut,
             .name = "cut",
             .argument = "",
             .summary = "feed to the cutting position and cut the paper",
             .input = indexOf<NoInput>(),
             .sends = fixed<Frames::cutPaper>,
             .read = nothing,
             .confirms = true},
            {.id = Id::Drawer,
             .name = "drawer",
             .argument = "",
             .summary = "open the cash drawer",
             .input = indexOf<NoInput>(),
             .sends = fixed<Frames::cashDrawer>,
             .read = nothing,
             .confirms = true},
            {.id = Id::SetIp,
             .name = "set-ip",
             .argument = "A.B.C.D",
             .summary = "give the printer a new IP address",
             .input = indexOf<IPv4>(),
             .sends = typed<IPv4, setIp>,
             .read = ipv4,
             .example = Defaults::kNewAddress,
             .values = {.at = int(Frames::kIPCmdHead.size()),
                        .count = 4,
                        .describe =
                            [](const QList<int>& v) {
                                return QStringLiteral("set IP address ") + joined(v, u'.');
                            }},
             .words = {.ask = Texts::kAskSetIP, .change = "Change %1 to %2?"}},
            {.id = Id::SetId,
             .name = "set-id",
             .argument = "N-N-N-N-N",
             .summary = "give the printer a new Ethernet ID (0-N-N-N-N-N)",
             .input = indexOf<EthernetId>(),
             .sends = typed<EthernetId, setId>,
             .read = ethernetId,
             .example = Defaults::kEthernetIdParts,
             .values = {.at = int(Frames::kIDCmdHead.size()) + 1,
                        .count = 5,
                        .lead = 1,
                        .describe =
                            [](const QList<int>& v) {
                                return QStringLiteral("set Ethernet ID ") + joined(v, u'-');
                            }},
             .words = {.ask = Texts::kAskID, .change = "Change the Ethernet ID of %1 to 0-%2?"}},
            {.id = Id::Language,
             .name = "language",
             .argument = "zh-hans|zh-hant|ko|ja",
             .summary = "set the character language",
             .input = indexOf<Language>(),
             .sends = typed<Language, language>,
             .read = choice,
             .example = "ja",
             .choices = kLanguageWords,
             .make = [](int i) -> Input { return Language{i}; },
             .values = {.at = kSelected, .count = 1, .describe = languageMeaning}},
            {.id = Id::BlackMark,
             .name = "black-mark",
             .argument = "on|off",
             .summary = "switch black-mark detection on or off",
             .input = indexOf<BlackMark>(),
             .sends = typed<BlackMark, blackMark>,
             .read = choice,
             .example = "on",
             .choices = kOnOff,
             .make = [](int i) -> Input { return BlackMark{i == 0}; },
             .values = {.at = kLast,
                        .count = 1,
                        .describe =
                            [](const QList<int>& v) {
                                return v[0] == Frames::kBlackMarkOn
                                           ? QStringLiteral("black-mark detection on")
                                       : v[0] == Frames::kBlackMarkOff
                                           ? QStringLiteral("black-mark detection off")
                                           : ofOne("black-mark detection, value %1", v[0]);
                            }}},
            {.id = Id::CodePage,
             .name = "code-page",
             .argument = "N",
             .summary = "set the default code page (0 to 255)",
             .input = indexOf<CodePage>(),
             .sends = typed<CodePage, codePage>,
             .read = number,
             .example = Defaults::kCodePageText,
             .lowest = 0,
             .highest = 255,
             .make = [](int n) -> Input { return CodePage{std::uint8_t(n)}; },
             .values = {.at = kSelected,
                        .count = 1,
                        .describe =
                            [](const QList<int>& v) {
                                return ofOne("set the default code page to %1", v[0]);
                            }},
             .words = {.refused = Texts::kCodePageOutOfRange}},
            {.id = Id::Arm,
             .name = "arm",
             .argument = "ostrik|velmar",
             .summary = "send an interface-board command",
             .input = indexOf<Arm>(),
             .sends = typed<Arm, arm>,
             .read = choice,
             .example = "ostrik",
             .choices = kBoards,
             .make = [](int i) -> Input {
                 return Arm{i == 0 ? ArmBoard::Ostrik : ArmBoard::Velmar};
             },
             .values = {.at = kLast,
                        .count = 1,
                        .describe =
                            [](const QList<int>& v) {
                                return v[0] == Frames::kOstrikArm
                                           ? QStringLiteral("interface-board command ostrik")
                                       : v[0] == Frames::kVelmarArm
                                           ? QStringLiteral("interface-board command velmar")
                                           : ofOne("interface-board command, value %1", v[0]);
                            }}},
            {.id = Id::NvDownload,
             .name = "nv-download",
             .argument = "FILE",
             .summary = "download an NV bit image data file",
             .input = indexOf<Bytes>(),
             .sends = typed<Bytes, bytes>,
             .read = dataFile,
             .words = {.delivered = Texts::kNvDownloadComplete},
             .details =
                 "FILE goes out unchanged, from any path; the window reads TavoNV.bin beside "
                 "its\nown executable."},
            {.id = Id::NvPrint,
             .name = "nv-print",
             .argument = "",
             .summary = "print NV bit image 1, centred",
             .input = indexOf<NoInput>(),
             .sends = fixed<Frames::printNvImage>,
             .read = nothing,
             .confirms = true},
            {.id = Id::Raw,
             .name = "raw",
             .argument = "HEX...",
             .summary = "send your own bytes, given as hex pairs",
             .input = indexOf<Bytes>(),
             .sends = typed<Bytes, bytes>,
             .read = hex,
             .example = "1b40",
             .details = "Each HEX is a run of hex pairs; blanks and colons between them are "
                        "ignored\n(1b40, \"1d 56 42 00\", 1b:70:00).",
             .confirms = true},
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

Reading read(const Command& command, const QStringList& words, const Sources& sources)
{
    return command.read(command, words, sources);
}

QByteArray frame(const Command& command)
{
    const Reading example =
        read(command, QString::fromLatin1(command.example).split(u' ', Qt::SkipEmptyParts));
    return example.input ? wire(command.sends(*example.input)) : QByteArray();
}

std::optional<QString> printText(const QByteArray& utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(utf8);
    if (decoder.hasError())
        return std::nullopt;
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    // Every line end as the print box has it: CR LF. A lone CR is left as it is.
    QString lines;
    lines.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            lines += u'\r';
        lines += text[i];
    }
    return lines;
}

} // namespace Catalogue

#include "Arguments.h"

#include "core/Address.h"
#include "core/DefaultPrintText.h"
#include "core/NvImageFile.h"

#include <QStringDecoder>

namespace Arguments {

namespace {

QString quoted(const QString& text)
{
    return QStringLiteral("\"%1\"").arg(text);
}

template <typename T> Parsed<T> ok(T value)
{
    return {std::move(value), {}};
}

// A word from a fixed list: the index, or nothing.
int indexOf(const QString& word, const QStringList& words)
{
    return int(words.indexOf(word.toLower()));
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

std::optional<QByteArray> hexBytes(const QStringList& arguments, QString* why)
{
    QByteArray bytes;
    for (const QString& argument : arguments) {
        QString digits = argument;
        digits.remove(u' ').remove(u':');
        if (digits.isEmpty() || digits.size() % 2 != 0) {
            *why = QStringLiteral("raw: %1 is not a run of hex pairs").arg(quoted(argument));
            return std::nullopt;
        }
        for (QChar c : digits) {
            const char16_t u = c.unicode();
            if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') ||
                  (u >= u'A' && u <= u'F'))) {
                *why = QStringLiteral("raw: %1 holds %2, which is not a hex digit")
                           .arg(quoted(argument), quoted(QString(c)));
                return std::nullopt;
            }
        }
        bytes += QByteArray::fromHex(digits.toLatin1());
    }
    return bytes;
}

} // namespace

Parsed<Fleet::Target> host(const QString& text)
{
    const auto address = parseIPv4(text);
    if (!address)
        return Parsed<Fleet::Target>::refused(
            QStringLiteral("%1 is not an IPv4 address: four decimal numbers from 0 to 255 "
                           "joined by points (names are not looked up)")
                .arg(quoted(text)));
    return ok(Fleet::Target{text, *address});
}

Parsed<QList<Fleet::Target>> hostList(const QByteArray& content, const QString& source)
{
    QList<Fleet::Target> targets;
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines[i]);
        if (const qsizetype hash = line.indexOf(u'#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const Parsed<Fleet::Target> target = host(line);
        if (!target.value)
            return Parsed<QList<Fleet::Target>>::refused(
                QStringLiteral("%1:%2: %3").arg(source).arg(i + 1).arg(target.refusal));
        targets << *target.value;
    }
    return ok(targets);
}

std::optional<int> codePage(const QString& text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("cp"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    return decimal(digits, 1, 65535);
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

Parsed<Catalogue::Input> input(const Catalogue::Command& command, const QStringList& arguments,
                               const Sources& sources)
{
    using namespace Catalogue;
    using Result = Parsed<Input>;
    const QString name = QString::fromLatin1(command.name);
    const QString usage =
        QStringLiteral("%1 takes %2").arg(name, QString::fromLatin1(command.argument));
    auto one = [&]() -> std::optional<QString> {
        if (arguments.size() != 1)
            return std::nullopt;
        return arguments.first();
    };
    auto wrong = [&](const QString& what) {
        return Result::refused(QStringLiteral("%1: %2").arg(name, what));
    };

    switch (command.id) {
    case Id::Test:
    case Id::Cut:
    case Id::Drawer:
    case Id::NvPrint:
        if (!arguments.isEmpty())
            return wrong(QStringLiteral("takes no arguments, but was given %1")
                             .arg(quoted(arguments.join(u' '))));
        return ok(Input(NoInput{}));
    case Id::Print: {
        if (arguments.size() > 1)
            return Result::refused(usage);
        if (arguments.isEmpty())
            return ok(Input(Text{defaultPrintText(), sources.codePage}));
        QString why;
        const std::optional<QByteArray> bytes = sources.read(arguments.first(), &why);
        if (!bytes)
            return wrong(why);
        const std::optional<QString> text = printText(*bytes);
        if (!text)
            return wrong(QStringLiteral("%1 is not UTF-8 text").arg(quoted(arguments.first())));
        return ok(Input(Text{*text, sources.codePage}));
    }
    case Id::SetIp: {
        const auto text = one();
        std::array<std::uint8_t, 4> octets{};
        if (!text || checkAddress(*text, kIPv4Rule, octets) != CheckOutcome::Valid)
            return text ? wrong(QStringLiteral("%1 is not an IPv4 address: four decimal numbers "
                                               "from 0 to 255 joined by points")
                                    .arg(quoted(*text)))
                        : Result::refused(usage);
        return ok(Input(IPv4{octets}));
    }
    case Id::SetId: {
        const auto text = one();
        std::array<std::uint8_t, 5> parts{};
        if (!text || checkAddress(*text, kEthernetIdRule, parts) != CheckOutcome::Valid)
            return text ? wrong(QStringLiteral("%1 is not an Ethernet ID: five decimal numbers "
                                               "from 0 to 255 joined by hyphens (the first "
                                               "part, 0, is fixed and not typed)")
                                    .arg(quoted(*text)))
                        : Result::refused(usage);
        return ok(Input(EthernetId{parts}));
    }
    case Id::Language: {
        QStringList words;
        for (const LanguageName& language : kLanguages)
            words << QString::fromLatin1(language.word);
        const auto text = one();
        const int index = text ? indexOf(*text, words) : -1;
        if (index < 0)
            return Result::refused(text ? QStringLiteral("%1: %2 is not one of %3")
                                              .arg(name, quoted(*text), words.join(u'|'))
                                        : usage);
        return ok(Input(Language{index}));
    }
    case Id::BlackMark: {
        const auto text = one();
        const int index = text ? indexOf(*text, {QStringLiteral("off"), QStringLiteral("on")}) : -1;
        if (index < 0)
            return Result::refused(
                text ? QStringLiteral("%1: %2 is not on or off").arg(name, quoted(*text)) : usage);
        return ok(Input(BlackMark{index == 1}));
    }
    case Id::CodePage: {
        const auto text = one();
        const std::optional<int> value = text ? decimal(*text, 0, 255) : std::nullopt;
        if (!value)
            return Result::refused(text ? QStringLiteral("%1: %2 is not a number from 0 to 255")
                                              .arg(name, quoted(*text))
                                        : usage);
        return ok(Input(CodePage{std::uint8_t(*value)}));
    }
    case Id::Arm: {
        const auto text = one();
        const int index =
            text ? indexOf(*text, {QStringLiteral("ostrik"), QStringLiteral("velmar")}) : -1;
        if (index < 0)
            return Result::refused(
                text ? QStringLiteral("%1: %2 is not ostrik or velmar").arg(name, quoted(*text))
                     : usage);
        return ok(Input(Arm{index == 0 ? ArmBoard::Ostrik : ArmBoard::Velmar}));
    }
    case Id::NvDownload: {
        const auto path = one();
        if (!path)
            return Result::refused(usage);
        const NvImageFile image = NvImageFile::read(*path);
        switch (image.status()) {
        case NvImageFile::Status::Read:
            return ok(Input(Bytes{image.bytes()}));
        case NvImageFile::Status::CannotOpen:
            return wrong(QStringLiteral("cannot open %1").arg(quoted(*path)));
        case NvImageFile::Status::NotAFile:
            return wrong(QStringLiteral("%1 is not a regular file").arg(quoted(*path)));
        case NvImageFile::Status::Empty:
            return wrong(QStringLiteral("%1 is empty").arg(quoted(*path)));
        case NvImageFile::Status::TooLarge:
            return wrong(QStringLiteral("%1 is too large to hold in memory").arg(quoted(*path)));
        case NvImageFile::Status::ShortRead:
            return wrong(QStringLiteral("reading %1 failed").arg(quoted(*path)));
        }
        return Result::refused(usage);
    }
    case Id::Raw: {
        if (arguments.isEmpty())
            return Result::refused(usage);
        QString why;
        const std::optional<QByteArray> bytes = hexBytes(arguments, &why);
        if (!bytes)
            return Result::refused(why);
        return ok(Input(Bytes{*bytes}));
    }
    }
    return Result::refused(usage);
}

} // namespace Arguments

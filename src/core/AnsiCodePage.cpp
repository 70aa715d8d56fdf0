#include "AnsiCodePage.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <iconv.h>

#include <QSysInfo>
#endif

#include <cstring>
#include <initializer_list>

namespace AnsiCodePage {

namespace {

bool oneOf(QStringView language, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (language.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

int forLocale(QStringView localeName)
{
    // language[_territory][.codeset][@modifier]
    QStringView name = localeName;
    QStringView modifier;
    if (const qsizetype at = name.indexOf(u'@'); at >= 0) {
        modifier = name.mid(at + 1);
        name = name.left(at);
    }
    if (const qsizetype dot = name.indexOf(u'.'); dot >= 0)
        name = name.left(dot);
    QStringView language = name;
    QStringView territory;
    if (const qsizetype bar = name.indexOf(u'_'); bar >= 0) {
        language = name.left(bar);
        territory = name.mid(bar + 1);
    }
    const bool latinScript = modifier.compare(u"latin", Qt::CaseInsensitive) == 0;

    if (oneOf(language, {"zh"}))
        return oneOf(territory, {"TW", "HK", "MO"}) ? 950 : 936;
    if (oneOf(language, {"ja"}))
        return 932;
    if (oneOf(language, {"ko"}))
        return 949;
    if (oneOf(language, {"th"}))
        return 874;
    if (oneOf(language, {"sr"}))
        return latinScript ? 1250 : 1251;
    if (oneOf(language, {"cs", "pl", "hu", "sk", "sl", "hr", "ro", "sq", "bs"}))
        return 1250;
    if (oneOf(language, {"ru", "uk", "bg", "be", "mk", "kk", "ky", "tt", "mn", "ba"}))
        return 1251;
    if (oneOf(language, {"el"}))
        return 1253;
    if (oneOf(language, {"tr", "az"}))
        return 1254;
    if (oneOf(language, {"he", "iw"}))
        return 1255;
    if (oneOf(language, {"ar", "fa", "ur"}))
        return 1256;
    if (oneOf(language, {"et", "lv", "lt"}))
        return 1257;
    if (oneOf(language, {"vi"}))
        return 1258;
    return 1252;
}

QString localeFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return QStringLiteral("C");
}

bool isLeadByte(std::uint8_t byte, int codePage)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

namespace {

// Names a technician may know a code page by, beside its number.
struct Alias {
    const char* name;
    int codePage;
};
constexpr Alias kAliases[] = {
    {"shift_jis", 932}, {"sjis", 932},     {"gbk", 936},        {"gb2312", 936},
    {"big5", 950},      {"uhc", 949},      {"gb18030", 54936},  {"utf-8", 65001},
    {"utf8", 65001},    {"ascii", 20127},  {"us-ascii", 20127}, {"koi8-r", 20866},
    {"koi8-u", 21866},  {"euc-jp", 20932}, {"euc-kr", 51949},   {"latin1", 28591},
};

std::optional<int> digits(QStringView text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = text.toInt();
    return value >= 1 && value <= 65535 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

std::optional<int> named(QStringView name)
{
    for (const Alias& alias : kAliases) {
        if (name.compare(QLatin1String(alias.name), Qt::CaseInsensitive) == 0)
            return alias.codePage;
    }
    for (const char* prefix : {"cp", "windows-", "ibm", ""}) {
        if (name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            if (const std::optional<int> number = digits(name.mid(qsizetype(strlen(prefix)))))
                return number;
    }
    if (name.startsWith(QLatin1String("iso-8859-"), Qt::CaseInsensitive)) {
        const std::optional<int> part = digits(name.mid(9));
        if (part && *part <= 16)
            return 28590 + *part;
    }
    return std::nullopt;
}

#ifdef Q_OS_WIN
// ---- Windows: the system converts, with its own "?" for what the code page lacks. ----

namespace {

QByteArray wideToMultiByte(const QString& text, UINT codePage)
{
    if (text.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = int(text.size());
    const int size = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(qsizetype(qMax(size, 0)), Qt::Uninitialized);
    if (size > 0)
        WideCharToMultiByte(codePage, 0, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace

QByteArray encode(const QString& text, int codePage, Loss* loss)
{
    if (loss) {
        // One character at a time, only to count what the code page lacks.
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype units = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            BOOL usedDefault = FALSE;
            WideCharToMultiByte(UINT(codePage), 0,
                                reinterpret_cast<const wchar_t*>(text.utf16() + i), int(units),
                                nullptr, 0, nullptr, &usedDefault);
            if (usedDefault && loss->count++ == 0)
                loss->first = text.mid(i, units);
            i += units - 1;
        }
    }
    return wideToMultiByte(text, UINT(codePage));
}

QString decode(QByteArrayView bytes, int codePage)
{
    if (bytes.isEmpty())
        return {};
    const int length = int(bytes.size());
    const int size = MultiByteToWideChar(UINT(codePage), 0, bytes.data(), length, nullptr, 0);
    QString text(qsizetype(qMax(size, 0)), Qt::Uninitialized);
    if (size > 0)
        MultiByteToWideChar(UINT(codePage), 0, bytes.data(), length,
                            reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

QString decodeNamed(QByteArrayView bytes, const char* name)
{
    // Windows knows its tables by number only.
    const QByteArrayView named(name);
    return named.startsWith("CP") ? decode(bytes, QByteArray(named.mid(2)).toInt()) : QString();
}

int system()
{
    return int(GetACP());
}

bool converts(int codePage)
{
    return IsValidCodePage(UINT(codePage)) != 0;
}

#else
// ---- Elsewhere: the C library's iconv, which knows the Windows code pages by name. ----

namespace {

// The C library's name for a Windows code page: CP and the number, but for those it knows by
// another name.
QByteArray iconvName(int codePage)
{
    switch (codePage) {
    case 20127:
        return "ASCII";
    case 20866:
        return "KOI8-R";
    case 20932:
        return "EUC-JP";
    case 21866:
        return "KOI8-U";
    case 51949:
        return "EUC-KR";
    case 54936:
        return "GB18030";
    case 65001:
        return "UTF-8";
    }
    if (codePage >= 28591 && codePage <= 28606)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    return "CP" + QByteArray::number(codePage).rightJustified(3, '0');
}

const char* utf16()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

void lost(Loss* loss, QStringView character)
{
    if (loss && loss->count++ == 0)
        loss->first = character.toString();
}

// A code page the C library does not know: ASCII survives, everything else becomes "?".
QByteArray asciiOnly(const QString& text, Loss* loss)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                          QChar::isLowSurrogate(text[i + 1].unicode());
        if (c >= 0x80)
            lost(loss, QStringView(text).mid(i, pair ? 2 : 1));
        i += pair ? 1 : 0;
        bytes.append(c < 0x80 ? char(c) : '?');
    }
    return bytes;
}

} // namespace

bool converts(int codePage)
{
    for (const auto& [to, from] : {std::pair(iconvName(codePage), QByteArray(utf16())),
                                   std::pair(QByteArray(utf16()), iconvName(codePage))}) {
        const iconv_t cd = iconv_open(to.constData(), from.constData());
        if (cd == iconv_t(-1))
            return false;
        iconv_close(cd);
    }
    return true;
}

QByteArray encode(const QString& text, int codePage, Loss* loss)
{
    if (text.isEmpty())
        return {};
    const QByteArray name = iconvName(codePage);
    // Straight from the string's own UTF-16, with no UTF-8 copy in between.
    const iconv_t cd = iconv_open(name.constData(), utf16());
    if (cd == iconv_t(-1))
        return asciiOnly(text, loss);

    // iconv() takes a non-const input pointer but only reads through it.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.utf16()));
    size_t inLeft = size_t(text.size()) * 2;
    // Two bytes per UTF-16 unit is what these code pages need at most; grown if not.
    QByteArray output(text.size() * 2 + 16, Qt::Uninitialized);
    qsizetype used = 0;
    auto convert = [&](char** from, size_t* fromLeft) {
        for (;;) {
            char* out = output.data() + used;
            size_t outLeft = size_t(output.size() - used);
            const size_t result = iconv(cd, from, fromLeft, &out, &outLeft);
            used = out - output.data();
            if (result != size_t(-1))
                return;
            if (errno == E2BIG) {
                output.resize(output.size() * 2);
            } else if (from && (errno == EILSEQ || errno == EINVAL)) {
                // Not in this code page (or a lone surrogate): one "?" for the character.
                if (output.size() - used < 1)
                    output.resize(output.size() * 2);
                output[used++] = '?';
                const char16_t unit = *reinterpret_cast<const char16_t*>(*from);
                const bool pair =
                    QChar::isHighSurrogate(unit) && *fromLeft >= 4 &&
                    QChar::isLowSurrogate(*reinterpret_cast<const char16_t*>(*from + 2));
                const size_t skip = pair ? 4 : 2;
                lost(loss, QStringView(reinterpret_cast<const QChar*>(*from), qsizetype(skip / 2)));
                *from += skip;
                *fromLeft -= skip;
            } else {
                return;
            }
        }
    };
    convert(&in, &inLeft);
    convert(nullptr, nullptr); // a converter that composes characters may still hold one
    iconv_close(cd);
    output.truncate(used);
    return output;
}

QString decode(QByteArrayView bytes, int codePage)
{
    if (bytes.isEmpty())
        return {};
    const QString text = decodeNamed(bytes, iconvName(codePage).constData());
    if (!text.isEmpty())
        return text;
    QString ascii;
    for (char c : bytes)
        ascii += uchar(c) < 0x80 ? QChar(c) : QChar::ReplacementCharacter;
    return ascii;
}

QString decodeNamed(QByteArrayView bytes, const char* name)
{
    if (bytes.isEmpty())
        return {};
    const iconv_t cd = iconv_open(utf16(), name);
    if (cd == iconv_t(-1))
        return {};
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    // One UTF-16 unit per byte at most, and two for the rare character beyond the BMP.
    QString text(bytes.size() * 2, Qt::Uninitialized);
    char* const start = reinterpret_cast<char*>(text.data());
    char* out = start;
    size_t outLeft = size_t(text.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte the code page does not define, or a lead byte left without its trail.
        *reinterpret_cast<char16_t*>(out) = QChar::ReplacementCharacter;
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    text.truncate((out - start) / 2);
    return text;
}

int system()
{
    return forLocale(localeFromEnvironment());
}

#endif

} // namespace AnsiCodePage

#include "AnsiCodePage.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

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

QByteArray encode(const QString& text, int codePage)
{
    return wideToMultiByte(text, UINT(codePage));
}

QByteArray fromText(const QString& text)
{
    return wideToMultiByte(text, CP_ACP);
}

#else
// ---- Elsewhere: the C library's iconv, which knows the Windows code pages by name. ----

namespace {

// Length of the UTF-8 sequence that begins with this byte (1 for a stray byte).
qsizetype sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// A code page the C library does not know: ASCII survives, everything else becomes "?".
QByteArray asciiOnly(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        bytes.append(c < 0x80 ? char(c) : '?');
    }
    return bytes;
}

} // namespace

QByteArray encode(const QString& text, int codePage)
{
    if (text.isEmpty())
        return {};
    const QByteArray name = "CP" + QByteArray::number(codePage);
    const iconv_t cd = iconv_open(name.constData(), "UTF-8");
    if (cd == iconv_t(-1))
        return asciiOnly(text);

    QByteArray input = text.toUtf8();
    char* in = input.data();
    size_t inLeft = size_t(input.size());
    // Four bytes per character is more than any of these code pages needs; grown if not.
    QByteArray output(input.size() * 4 + 16, Qt::Uninitialized);
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
                // Not in this code page (or a broken sequence): one "?" for the character.
                if (output.size() - used < 1)
                    output.resize(output.size() * 2);
                output[used++] = '?';
                const size_t skip = qMin(size_t(sequenceLength(uchar(**from))), *fromLeft);
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

QByteArray fromText(const QString& text)
{
    return encode(text, forLocale(localeFromEnvironment()));
}

#endif

} // namespace AnsiCodePage

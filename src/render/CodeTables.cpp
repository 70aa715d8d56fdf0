#include "CodeTables.h"

#include "core/AnsiCodePage.h"

#include <QHash>

namespace CodeTables {

const char* name(int n)
{
    switch (n) {
    case 0:
        return "CP437";
    case 1:
        return "JIS_X0201"; // half-width katakana
    case 2:
        return "CP850";
    case 3:
        return "CP860";
    case 4:
        return "CP863";
    case 5:
        return "CP865";
    case 11:
        return "CP851";
    case 13:
        return "CP857";
    case 14:
        return "CP737";
    case 15:
        return "ISO-8859-7";
    case 16:
        return "CP1252";
    case 17:
        return "CP866";
    case 18:
        return "CP852";
    case 19:
        return "CP858";
    case 21:
        return "TIS-620";
    case 26:
        return "TIS-620";
    case 30:
        return "TCVN";
    case 32:
        return "CP720";
    case 33:
        return "CP775";
    case 34:
        return "CP855";
    case 35:
        return "CP861";
    case 36:
        return "CP862";
    case 37:
        return "CP864";
    case 38:
        return "CP869";
    case 39:
        return "ISO-8859-2";
    case 40:
        return "ISO-8859-15";
    case 44:
        return "CP1125";
    case 45:
        return "CP1250";
    case 46:
        return "CP1251";
    case 47:
        return "CP1253";
    case 48:
        return "CP1254";
    case 49:
        return "CP1255";
    case 50:
        return "CP1256";
    case 51:
        return "CP1257";
    case 52:
        return "CP1258";
    case 53:
        return "PT154";
    }
    return nullptr;
}

Table table(const char* name, int windowsCodePage)
{
    // Each table is read through iconv once for the process.
    static QHash<QByteArray, Table> made;
    const QByteArray key = name && *name ? QByteArray(name) : QByteArray::number(windowsCodePage);
    const auto found = made.constFind(key);
    if (found != made.constEnd())
        return *found;
    Table chars{};
    for (int b = 0; b < 256; ++b)
        chars[std::size_t(b)] = b < 0x80 ? char32_t(b) : char32_t(0xFFFD);
    QByteArray high(128, Qt::Uninitialized);
    for (int b = 0; b < 128; ++b)
        high[b] = char(0x80 + b);
    // One byte at a time: a table that lacks a byte must not shift the ones after it.
    for (int b = 0; b < 128; ++b) {
        const QByteArrayView one(high.constData() + b, 1);
        const QString c = name && *name ? AnsiCodePage::decodeNamed(one, name)
                                        : AnsiCodePage::decode(one, windowsCodePage);
        if (c.size() == 1 && c[0] != QChar::ReplacementCharacter)
            chars[std::size_t(0x80 + b)] = c[0].unicode();
    }
    made.insert(key, chars);
    return chars;
}

char32_t international(int set, char32_t c)
{
    static const char32_t positions[12] = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                           0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
    // The sets as printers number them: 0 USA, 1 France, 2 Germany, 3 UK, 4 Denmark I,
    // 5 Sweden, 6 Italy, 7 Spain I, 8 Japan, 9 Norway, 10 Denmark II, 11 Spain II,
    // 12 Latin America, 13 Korea.
    static const char32_t sets[14][12] = {
        {U'#', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},
        {U'#', U'$', U'à', U'°', U'ç', U'§', U'^', U'`', U'é', U'ù', U'è', U'¨'},
        {U'#', U'$', U'§', U'Ä', U'Ö', U'Ü', U'^', U'`', U'ä', U'ö', U'ü', U'ß'},
        {U'£', U'$', U'@', U'[', U'\\', U']', U'^', U'`', U'{', U'|', U'}', U'~'},
        {U'#', U'$', U'@', U'Æ', U'Ø', U'Å', U'^', U'`', U'æ', U'ø', U'å', U'~'},
        {U'#', U'¤', U'É', U'Ä', U'Ö', U'Å', U'Ü', U'é', U'ä', U'ö', U'å', U'ü'},
        {U'#', U'$', U'@', U'°', U'\\', U'é', U'^', U'ù', U'à', U'ò', U'è', U'ì'},
        {U'₧', U'$', U'@', U'¡', U'Ñ', U'¿', U'^', U'`', U'¨', U'ñ', U'}', U'~'},
        {U'#', U'$', U'@', U'[', U'¥', U']', U'^', U'`', U'{', U'|', U'}', U'~'},
        {U'#', U'¤', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},
        {U'#', U'$', U'É', U'Æ', U'Ø', U'Å', U'Ü', U'é', U'æ', U'ø', U'å', U'ü'},
        {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'`', U'í', U'ñ', U'ó', U'ú'},
        {U'#', U'$', U'á', U'¡', U'Ñ', U'¿', U'é', U'ü', U'í', U'ñ', U'ó', U'ú'},
        {U'#', U'$', U'@', U'[', U'₩', U']', U'^', U'`', U'{', U'|', U'}', U'~'},
    };
    if (set <= 0 || set >= 14)
        return c;
    for (int i = 0; i < 12; ++i) {
        if (positions[i] == c)
            return sets[set][i];
    }
    return c;
}

} // namespace CodeTables

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// Typed text goes to the printer in the ANSI code page of Windows: the system's own there, and
// elsewhere the one Windows would use for the user's locale.
namespace AnsiCodePage {

// The Windows ANSI code page for a POSIX locale name such as "zh_CN.UTF-8" or "sr_RS@latin";
// 1252 for C, POSIX, an empty name and every language without a code page of its own.
int forLocale(QStringView localeName);

// The locale that decides the character type: LC_ALL, LC_CTYPE or LANG, the first one set.
QString localeFromEnvironment();

// What a code page could not represent: how many characters, and the first of them.
struct Loss {
    qsizetype count = 0;
    QString first;
};

// The text in the given code page, one "?" for each character it cannot represent, counted in
// loss when given. Line breaks and every other character it can represent are kept; nothing is
// added.
QByteArray encode(const QString& text, int codePage, Loss* loss = nullptr);

// The bytes read in the given code page; a byte or pair it does not define becomes U+FFFD.
QString decode(QByteArrayView bytes, int codePage);

// The bytes read in a character set by its iconv name ("CP437", "ISO-8859-15"); an empty
// string when this machine has no converter for it.
QString decodeNamed(QByteArrayView bytes, const char* name);

// Whether the byte starts a two-byte character in the code page (932, 936, 949, 950).
bool isLeadByte(std::uint8_t byte, int codePage);

// The system's ANSI code page: what typed text is sent in.
int system();

// Whether the system converts text to and from the code page.
bool converts(int codePage);
// A code page by its number (936, cp936, CP936) or by one of its usual names (shift_jis,
// gb18030, windows-1252, utf-8), whether or not the system converts it; nothing for neither.
std::optional<int> named(QStringView name);

} // namespace AnsiCodePage

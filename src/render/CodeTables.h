#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The character tables a printer chooses with ESC t and ESC R, through iconv.
namespace CodeTables {

using Table = std::array<char32_t, 256>;

// The iconv name of ESC t n's table; nullptr for a table this program does not know.
const char* name(int n);
// Every byte of the table read through iconv; a byte it lacks (or a table iconv does not
// convert here) is U+FFFD above 0x7F. Empty name: the Windows code page given.
Table table(const char* name, int windowsCodePage = 0);
// ESC R n: the national characters at 23 24 40 5B 5C 5D 5E 60 7B 7C 7D 7E.
char32_t international(int set, char32_t c);

} // namespace CodeTables

// Fuzz target for the code page number reader: no crash or undefined behaviour on any text, and
// blanks between the characters or a letter after them never change the reading.
#include "core/LenientByte.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const LenientByte read = readLenientByte(text);
    QString spaced;
    for (QChar c : text)
        spaced += u' ' + QString(c);
    if (readLenientByte(spaced + u'\t') != read || readLenientByte(text + u'z') != read) {
        std::fprintf(stderr, "blanks or a trailing letter changed the reading of \"%s\"\n",
                     qUtf8Printable(text));
        std::abort();
    }
    return 0;
}

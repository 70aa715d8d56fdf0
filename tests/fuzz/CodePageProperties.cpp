#include "CodePageProperties.h"

#include "commands/CodePageNumber.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace {

QString describe(const CodePageNumber& n)
{
    return n.status == CodePageNumber::Status::Valid ? QString::number(n.value)
                                                     : QStringLiteral("out of range");
}

// A short plain decimal number read by the C++ library instead: a second opinion that shares
// no code with the reader. Few enough digits that a double holds every tie exactly.
bool referenceReading(QStringView text, CodePageNumber* expected)
{
    static const QRegularExpression plain(QStringLiteral("^[+-]?[0-9]{0,6}(\\.[0-9]{0,6})?$"));
    static const QRegularExpression blank(QStringLiteral("[ \\t\\r\\n]"));
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    QString compact = text.toString();
    compact.remove(blank);
    if (!plain.match(compact).hasMatch() || !compact.contains(digit))
        return false;
    const bool negative = compact.startsWith(u'-');
    if (compact.startsWith(u'-') || compact.startsWith(u'+'))
        compact.remove(0, 1);
    const QByteArray ascii = compact.toLatin1();
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.begin(), ascii.end(), value);
    if (error != std::errc() || end != ascii.end())
        return false;
    const double rounded = std::nearbyint(negative ? -value : value); // ties to even
    if (rounded == 0)
        *expected = {CodePageNumber::Status::Valid, 0};
    else if (rounded < 0 || rounded > 255)
        *expected = {CodePageNumber::Status::OutOfRange, 0};
    else
        *expected = {CodePageNumber::Status::Valid, std::uint8_t(rounded)};
    return true;
}

} // namespace

QString checkCodePageProperties(QStringView text)
{
    const CodePageNumber read = readCodePageNumber(text);

    QString spaced;
    spaced.reserve(text.size() * 2 + 1);
    for (QChar c : text)
        spaced += u' ' + QString(c);
    spaced += u'\t';
    if (const CodePageNumber other = readCodePageNumber(spaced); other != read)
        return QStringLiteral("blanks changed the reading: %1, with blanks %2")
            .arg(describe(read), describe(other));

    // z cannot continue any number, so what follows the number never counts.
    if (const CodePageNumber other = readCodePageNumber(text.toString() + u'z'); other != read)
        return QStringLiteral("a trailing letter changed the reading: %1, then %2")
            .arg(describe(read), describe(other));

    CodePageNumber expected;
    if (referenceReading(text, &expected) && expected != read)
        return QStringLiteral("read %1 where the C++ library reads %2")
            .arg(describe(read), describe(expected));
    return {};
}

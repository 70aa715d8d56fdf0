#include "LenientByte.h"

#include <QString>

#include <optional>

namespace {

constexpr int kHighest = 255;

// Large enough that any count past it decides the outcome alone, small enough that adding text
// lengths to it never overflows.
constexpr qint64 kSaturated = qint64(1) << 40;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::optional<int> digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    if (value < 0 || value >= base)
        return std::nullopt;
    return value;
}

LenientByte valid(int value)
{
    return {LenientByte::Status::Valid, std::uint8_t(value)};
}

constexpr LenientByte kOutOfRange{LenientByte::Status::OutOfRange, 0};

// Reads the characters one at a time with the blanks already out of the way.
class Reader {
public:
    explicit Reader(QStringView text)
        : m_text(text)
    {
        skipBlanks();
    }

    QChar peek() const { return m_at < m_text.size() ? m_text[m_at] : QChar(); }
    void next()
    {
        ++m_at;
        skipBlanks();
    }
    bool take(char16_t a, char16_t b = 0)
    {
        const QChar c = peek();
        if (c.isNull() || (c != a && (b == 0 || c != b)))
            return false;
        next();
        return true;
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size() && isBlank(m_text[m_at]))
            ++m_at;
    }

    QStringView m_text;
    qsizetype m_at = 0;
};

LenientByte readRadix(Reader& in, int base)
{
    qint64 value = 0;
    while (const auto digit = digitValue(in.peek(), base)) {
        value = qMin(value * base + *digit, qint64(kHighest) + 1);
        in.next();
    }
    return value > kHighest ? kOutOfRange : valid(int(value));
}

// The significant digits of a decimal number: the first few kept, the rest only as whether any
// of them is not zero. With at most three digits before the point nothing further can matter.
struct Significand {
    static constexpr qsizetype kKept = 8;
    QString head;
    bool tailNonZero = false;
    bool isZero() const { return head.isEmpty(); }
    void append(QChar digit)
    {
        if (head.isEmpty() && digit == u'0')
            return;
        if (head.size() < kKept)
            head.append(digit);
        else if (digit != u'0')
            tailNonZero = true;
    }
    int at(qsizetype i) const { return i < head.size() ? head[i].unicode() - u'0' : 0; }
};

// The value 0.d1d2d3... x 10^point, d1 not zero, rounded to a whole number with halves going
// to the even neighbour.
LenientByte roundDecimal(const Significand& digits, qint64 point, bool negative)
{
    if (point > 3) // 1000 or more
        return kOutOfRange;
    if (point < 0) // below 0.1, rounds to 0 whatever its sign
        return valid(0);
    int whole = 0;
    for (qsizetype i = 0; i < point; ++i)
        whole = whole * 10 + digits.at(i);
    const int next = digits.at(point);
    bool restNonZero = digits.tailNonZero;
    for (qsizetype i = qsizetype(point) + 1; i < digits.head.size(); ++i)
        restNonZero = restNonZero || digits.head[i] != u'0';
    if (next > 5 || (next == 5 && (restNonZero || whole % 2 == 1)))
        ++whole;
    if (whole == 0)
        return valid(0);
    if (negative || whole > kHighest)
        return kOutOfRange;
    return valid(whole);
}

} // namespace

LenientByte readLenientByte(QStringView text)
{
    Reader in(text);

    if (in.take(u'&')) {
        if (in.take(u'H', u'h'))
            return readRadix(in, 16);
        if (in.take(u'O', u'o'))
            return readRadix(in, 8);
        return valid(0);
    }

    bool negative = false;
    if (in.take(u'-'))
        negative = true;
    else
        in.take(u'+');

    // The significant digits, leading zeros dropped, and how many of them stand before the
    // point once the exponent is applied.
    Significand digits;
    qint64 point = 0;
    bool anyDigit = false;
    auto readDigits = [&](bool beforePoint) {
        while (digitValue(in.peek(), 10)) {
            anyDigit = true;
            digits.append(in.peek());
            if (beforePoint && !digits.isZero())
                ++point;
            else if (!beforePoint && digits.isZero())
                --point;
            in.next();
        }
    };
    readDigits(true);
    if (in.take(u'.'))
        readDigits(false);
    if (!anyDigit)
        return valid(0);

    if (in.take(u'E', u'e')) {
        // Nothing is read after the number, so an E without digits simply adds nothing.
        bool negativeExponent = false;
        if (in.take(u'-'))
            negativeExponent = true;
        else
            in.take(u'+');
        qint64 exponent = 0;
        while (const auto digit = digitValue(in.peek(), 10)) {
            exponent = qMin(exponent * 10 + *digit, kSaturated);
            in.next();
        }
        point += negativeExponent ? -exponent : exponent;
    }

    if (digits.isZero()) // zero, whatever the exponent
        return valid(0);
    return roundDecimal(digits, point, negative);
}

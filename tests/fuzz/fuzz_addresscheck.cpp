// Fuzz target for the address check. The first byte picks the rule ('E' the Ethernet ID, any
// other the IPv4 address), the rest is the field's text in UTF-8. Every input is held to what
// the check must do, worked out here another way: a broken promise aborts.

#include "entry/AddressCheck.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void expect(bool holds, const char* what, const QString& text)
{
    if (holds)
        return;
    std::fprintf(stderr, "address check: %s, for \"%s\"\n", what, qUtf8Printable(text));
    std::abort();
}

bool decimalDigitsOnly(QStringView part)
{
    static const QRegularExpression digits(QStringLiteral("\\A[0-9]+\\z"));
    return digits.match(part).hasMatch();
}

// The part's value, or 256 for anything larger, however many digits it has.
int valueUpTo256(QStringView digits)
{
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.sliced(1);
    return digits.size() > 3 ? 256 : qMin(256, digits.toInt());
}

std::uint8_t untouched(int index)
{
    return std::uint8_t(0xA0 + index);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const AddressRule& rule = data[0] == 'E' ? kEthernetIdRule : kIPv4Rule;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    // Exactly one byte per part, on the heap, so a store past the end is caught.
    const auto store = std::make_unique<std::uint8_t[]>(std::size_t(rule.parts));
    for (int i = 0; i < rule.parts; ++i)
        store[i] = untouched(i);
    const CheckOutcome outcome =
        checkAddress(text, rule, std::span(store.get(), std::size_t(rule.parts)));

    const QList<QStringView> parts = QStringView(text).split(rule.separator);
    bool allDigits = parts.size() == rule.parts;
    for (QStringView part : parts)
        allDigits = allDigits && decimalDigitsOnly(part);
    qsizetype firstTooBig = parts.size();
    for (qsizetype i = 0; allDigits && i < parts.size(); ++i) {
        if (valueUpTo256(parts[i]) > 255) {
            firstTooBig = i;
            break;
        }
    }

    expect((outcome == CheckOutcome::Empty) == text.isEmpty(), "empty only for no text", text);
    if (!allDigits) {
        expect(text.isEmpty() || outcome == CheckOutcome::Wrong,
               "took a text that is not "
               "all digit parts",
               text);
        for (int i = 0; i < rule.parts; ++i)
            expect(store[i] == untouched(i), "stored from a text that is not all digits", text);
    } else {
        expect((outcome == CheckOutcome::Valid) == (firstTooBig == parts.size()),
               "valid exactly when no part is above 255", text);
        for (int i = 0; i < rule.parts; ++i) {
            const int expected = i < firstTooBig ? valueUpTo256(parts[i]) : untouched(i);
            expect(store[i] == expected, "stored bytes are not the parts before the failing one",
                   text);
        }
    }
    expect(checkAddress(text, rule) == outcome, "the verdict depends on the store", text);
    if (&rule == &kIPv4Rule)
        expect(parseIPv4(text).has_value() == (outcome == CheckOutcome::Valid),
               "parseIPv4 disagrees with the check", text);
    return 0;
}

#include "Address.h"

#include <QList>

namespace {

bool allAsciiDigits(QStringView part)
{
    if (part.isEmpty())
        return false;
    for (QChar c : part) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The value of an all-digit part, or nothing above 255; any number of digits is safe.
std::optional<std::uint8_t> byteValue(QStringView digits)
{
    int value = 0;
    for (QChar c : digits) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > 255)
            return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace

CheckOutcome checkAddress(QStringView text, const AddressRule& rule, std::span<std::uint8_t> store)
{
    Q_ASSERT(store.empty() || store.size() >= static_cast<std::size_t>(rule.parts));
    if (text.isEmpty())
        return CheckOutcome::Empty;
    if (text.size() < rule.shortest)
        return CheckOutcome::Wrong;
    const QList<QStringView> parts = text.split(rule.separator);
    if (parts.size() != rule.parts)
        return CheckOutcome::Wrong;
    for (QStringView part : parts) {
        if (!allAsciiDigits(part))
            return CheckOutcome::Wrong;
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const std::optional<std::uint8_t> value = byteValue(parts[i]);
        if (!value)
            return CheckOutcome::Wrong;
        if (!store.empty())
            store[i] = *value;
    }
    return CheckOutcome::Valid;
}

std::optional<std::array<std::uint8_t, 4>> parseIPv4(QStringView text)
{
    std::array<std::uint8_t, 4> octets{};
    if (checkAddress(text, kIPv4Rule, octets) != CheckOutcome::Valid)
        return std::nullopt;
    return octets;
}

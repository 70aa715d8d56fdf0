#include "AddressRange.h"

#include "Address.h"

#include <algorithm>
#include <optional>

namespace AddressRange {

namespace {

// All ASCII digits, at most highest; leading zeros count for nothing, as in an address part.
std::optional<int> smallNumber(QStringView digits, int highest)
{
    if (digits.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > highest)
            return std::nullopt;
    }
    return value;
}

std::uint32_t mask(int prefixLength)
{
    return prefixLength <= 0 ? 0 : ~std::uint32_t(0) << (32 - prefixLength);
}

std::optional<std::uint32_t> address(QStringView text)
{
    const auto parsed = parseIPv4(text);
    if (!parsed)
        return std::nullopt;
    return number(*parsed);
}

Parsed valid(std::uint32_t first, std::uint32_t last)
{
    return {Check::Valid, {first, last}};
}

} // namespace

Parsed parse(QStringView text)
{
    if (text.isEmpty())
        return {Check::Empty, {}};
    if (const qsizetype slash = text.indexOf(u'/'); slash >= 0) {
        const auto base = address(text.left(slash));
        if (!base)
            return {Check::BadAddress, {}};
        const auto prefix = smallNumber(text.mid(slash + 1), 32);
        if (!prefix)
            return {Check::BadPrefix, {}};
        const Range hosts = hostsOf(*base, *prefix);
        return valid(hosts.first, hosts.last);
    }
    if (const qsizetype dash = text.indexOf(u'-'); dash >= 0) {
        const auto first = address(text.left(dash));
        const QStringView right = text.mid(dash + 1);
        std::optional<std::uint32_t> last;
        if (right.contains(u'.')) {
            last = address(right);
        } else if (first) {
            if (const auto part = smallNumber(right, 255))
                last = (*first & ~std::uint32_t(0xFF)) | std::uint32_t(*part);
        }
        if (!first || !last)
            return {Check::BadAddress, {}};
        if (*last < *first)
            return {Check::Backwards, {}};
        return valid(*first, *last);
    }
    const auto one = address(text);
    if (!one)
        return {Check::BadAddress, {}};
    return valid(*one, *one);
}

Range hostsOf(std::uint32_t address, int prefixLength, int widestPrefix)
{
    const std::uint32_t network = address & mask(prefixLength);
    const std::uint32_t broadcast = network | ~mask(prefixLength);
    Range hosts{network, broadcast};
    if (prefixLength <= 30)
        hosts = {network + 1, broadcast - 1};
    if (widestPrefix > prefixLength) {
        const std::uint32_t block = address & mask(widestPrefix);
        hosts.first = std::max(hosts.first, block);
        hosts.last = std::min(hosts.last, block | ~mask(widestPrefix));
    }
    return hosts;
}

QList<Range> merged(QList<Range> ranges)
{
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    QList<Range> joined;
    for (const Range& range : std::as_const(ranges)) {
        if (!joined.isEmpty() &&
            std::uint64_t(range.first) <= std::uint64_t(joined.last().last) + 1)
            joined.last().last = std::max(joined.last().last, range.last);
        else
            joined << range;
    }
    return joined;
}

std::uint64_t count(const QList<Range>& ranges)
{
    std::uint64_t total = 0;
    for (const Range& range : ranges)
        total += range.size();
    return total;
}

std::uint32_t number(const std::array<std::uint8_t, 4>& octets)
{
    return std::uint32_t(octets[0]) << 24 | std::uint32_t(octets[1]) << 16 |
           std::uint32_t(octets[2]) << 8 | std::uint32_t(octets[3]);
}

std::array<std::uint8_t, 4> octets(std::uint32_t address)
{
    return {std::uint8_t(address >> 24), std::uint8_t(address >> 16), std::uint8_t(address >> 8),
            std::uint8_t(address)};
}

QString text(std::uint32_t address)
{
    const auto parts = octets(address);
    return QStringLiteral("%1.%2.%3.%4").arg(parts[0]).arg(parts[1]).arg(parts[2]).arg(parts[3]);
}

QString text(const Range& range)
{
    if (range.first == range.last)
        return text(range.first);
    return text(range.first) + u'-' + text(range.last);
}

} // namespace AddressRange

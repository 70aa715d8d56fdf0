#pragma once

#include <QChar>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// How one kind of address is written: the separator, how many decimal parts, and the length of
// the shortest text (every part a single digit).
struct AddressRule {
    QChar separator;
    int parts;
    int shortest;
};

inline constexpr AddressRule kIPv4Rule{u'.', 4, 7};
inline constexpr AddressRule kEthernetIdRule{u'-', 5, 9};

enum class CheckOutcome { Empty, Wrong, Valid };

// Checks text against rule. Every part must be one or more ASCII digits; the parts are tested
// first, then converted in order, and each converted part is stored into store[i] at once, so
// a part above 255 leaves the earlier parts stored. Nothing is stored when a part is not all
// digits. store may be empty (nothing is stored) or must hold rule.parts bytes.
CheckOutcome checkAddress(QStringView text, const AddressRule& rule,
                          std::span<std::uint8_t> store = {});

// The four octets of a dotted-decimal IPv4 address, leading zeros counting for nothing.
std::optional<std::array<std::uint8_t, 4>> parseIPv4(QStringView text);

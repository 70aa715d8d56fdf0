#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

// The addresses a search goes through, from what a user wrote: a CIDR block (192.168.1.0/24), a
// dash range (10.0.0.20-10.0.0.60, or 10.0.0.20-60 for the last part alone) or one address.
// Every address is read as the address fields read it: four decimal parts, leading zeros
// counting for nothing, never a name.
namespace AddressRange {

// First to last, both included; an address as a number, its first part the highest byte.
struct Range {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint64_t size() const { return std::uint64_t(last) - first + 1; }
    bool operator==(const Range&) const = default;
};

enum class Check {
    Valid,
    Empty,      // nothing was written
    BadAddress, // a side is not an IPv4 address
    BadPrefix,  // what follows "/" is not a number from 0 to 32
    Backwards,  // a dash range that ends before it begins
};

struct Parsed {
    Check check = Check::Empty;
    Range range; // when valid
};

// More addresses than a /16 holds are searched only when the user insists; more than a /12
// holds never: at 256 at once that is hours of searching, and memory for every address.
inline constexpr std::uint64_t kMostUnforced = std::uint64_t(1) << 16;
inline constexpr std::uint64_t kMostEver = std::uint64_t(1) << 20;
// This machine's own networks are searched around its address, at most a /22 of each.
inline constexpr int kWidestOwnPrefix = 22;

// A CIDR block of /30 or wider leaves out its first and last address, the network's own and
// its broadcast address, which no printer can have; a dash range and one address are taken as
// written. Host bits in a block are ignored: 192.168.1.77/24 is 192.168.1.0/24.
Parsed parse(QStringView text);

// The hosts of the network that address belongs to, by its prefix length; with a narrower
// widest prefix, only those in that block around the address.
Range hostsOf(std::uint32_t address, int prefixLength, int widestPrefix = 0);

// Sorted, with overlapping and touching ranges joined: every address once.
QList<Range> merged(QList<Range> ranges);
std::uint64_t count(const QList<Range>& ranges);

std::uint32_t number(const std::array<std::uint8_t, 4>& octets);
std::array<std::uint8_t, 4> octets(std::uint32_t address);
QString text(std::uint32_t address);
// "first-last", or the address alone.
QString text(const Range& range);

} // namespace AddressRange

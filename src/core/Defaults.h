#pragma once

#include <array>
#include <cstdint>

// What every run starts with: the window's Form_Load and texts, and the command-line tool's
// defaults, which are the window's.
namespace Defaults {

inline constexpr const char* kCurrentAddress = "192.168.123.100";
inline constexpr const char* kNewAddress = "192.168.123.200";
inline constexpr std::array<std::uint8_t, 4> kNewIP = {192, 168, 123, 200};
// The Ethernet ID's fixed first byte, then the five typed parts of "128-128-128-128-128".
inline constexpr const char* kEthernetIdParts = "128-128-128-128-128";
inline constexpr std::array<std::uint8_t, 6> kNewID = {0, 128, 128, 128, 128, 128};
inline constexpr const char* kCodePageText = "10";

inline constexpr std::uint16_t kPrinterPort = 9100;
inline constexpr int kConnectTimeoutMs = 3000;

} // namespace Defaults

#pragma once

// Every text the window shows, byte for byte, for the window and whoever reports what the window
// would have said (UTF-8).
namespace Texts {

// The printer link.
inline constexpr const char* kInvalidCurrentIP = "Please input correct printer current IP address";
inline constexpr const char* kConnectError = "Connect printer error";
inline constexpr const char* kConnectFailed = "Connect printer failed!";
inline constexpr const char* kConnectSucceeded = "Connect printer succeed!";
inline constexpr const char* kTransmitFailed = "Transmit data failed!";

// The address fields, when they lose the focus.
inline constexpr const char* kEmptyCurIP = "Please input printer current IP address!";
inline constexpr const char* kWrongCurIP = "The current IP address isn't correct.";
inline constexpr const char* kEmptySetIP = "Please input printer set new IP address!";
inline constexpr const char* kWrongSetIP = "The set new IP address isn't correct.";
inline constexpr const char* kEmptyID = "Please input printer set new Ethernet ID!";
inline constexpr const char* kWrongID = "The set new Ethernet ID isn't correct.";

// The two network commands: the refusals, and the question before each goes out.
inline constexpr const char* kRefuseSetIP = "Please input correct set new IP address";
inline constexpr const char* kRefuseID = "Please input correct set new Ethernet ID";
inline constexpr const char* kAskSetIP = "The printer IP address will be modified as ";
// The 0- stands for the fixed first byte, so the question shows all six parts.
inline constexpr const char* kAskID = "The printer Ethernet ID will be modified as 0-";
inline constexpr const char* kAreYouSure = "Are you sure?";

// The settings and NV bit image commands.
inline constexpr const char* kCodePageOutOfRange = "The code page must be a number from 0 to 255.";
inline constexpr const char* kNvDownloadComplete = "恭喜您！NV下载完成。";

// The application's title, on every box.
inline constexpr const char* kTitle = "Corvane";

} // namespace Texts

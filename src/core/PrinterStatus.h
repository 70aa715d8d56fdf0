#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// What a printer answers to the real-time status requests DLE EOT 1 to 4: one byte each, whose
// fixed bits tell a status byte from anything else. The bits are named here so that whatever
// makes such answers, a simulated printer too, builds them from the same definitions.
namespace PrinterStatus {

inline constexpr int kRequests = 4; // DLE EOT 1 to 4

// Bits 1 and 4 are always set, bits 0 and 7 never.
inline constexpr std::uint8_t kFixedMask = 0x93;
inline constexpr std::uint8_t kFixedBits = 0x12;

// DLE EOT 1, the printer.
inline constexpr std::uint8_t kDrawerSignalHigh = 0x04; // bit 2: drawer kick-out connector pin 3
inline constexpr std::uint8_t kOffline = 0x08;          // bit 3
// DLE EOT 2, why it is offline.
inline constexpr std::uint8_t kCoverOpen = 0x04;    // bit 2
inline constexpr std::uint8_t kFeedButton = 0x08;   // bit 3: paper being fed by the FEED button
inline constexpr std::uint8_t kPaperEndStop = 0x20; // bit 5: printing stopped by paper end
inline constexpr std::uint8_t kError = 0x40;        // bit 6
// DLE EOT 3, which error.
inline constexpr std::uint8_t kAutocutterError = 0x08;    // bit 3
inline constexpr std::uint8_t kUnrecoverableError = 0x20; // bit 5
inline constexpr std::uint8_t kRecoverableError = 0x40;   // bit 6: recovers by itself
// DLE EOT 4, the roll paper sensors.
inline constexpr std::uint8_t kPaperNearEnd = 0x0C; // bits 2 and 3
inline constexpr std::uint8_t kPaperEnd = 0x60;     // bits 5 and 6

enum class Condition {
    DrawerSignalHigh,
    Offline,
    CoverOpen,
    FeedButton,
    PaperEndStop,
    Error,
    AutocutterError,
    UnrecoverableError,
    RecoverableError,
    PaperNearEnd,
    PaperEnd,
};

// One condition: the request whose answer tells it, its bits (any of them set), the JSON key,
// and the words a person reads.
struct ConditionRow {
    Condition condition;
    int request;
    std::uint8_t bits;
    const char* key;
    const char* words;
};
std::span<const ConditionRow> conditions();

bool isStatusByte(std::uint8_t byte);

// The answers to DLE EOT 1 to 4, in that order.
struct Status {
    std::array<std::uint8_t, kRequests> bytes{kFixedBits, kFixedBits, kFixedBits, kFixedBits};

    bool has(Condition condition) const;
    bool online() const { return !has(Condition::Offline); }
    bool hasPaper() const { return !has(Condition::PaperEnd) && !has(Condition::PaperEndStop); }
    // Online with paper: what a printer must be to print.
    bool ready() const { return online() && hasPaper(); }
    // "online, paper ok; drawer signal low", "offline: cover open; drawer signal high"
    QString summary() const;
};

enum class ReplyCheck {
    Complete, // a status byte for every request
    Missing,  // the answer to a request did not come
    Invalid,  // the answer to a request is no status byte
};

// What a reply tells: the bytes kept, one per request in order, the last possibly invalid.
struct Reply {
    ReplyCheck check = ReplyCheck::Missing;
    int request = 1; // the first request without a valid answer; 0 when complete
    Status status;   // when complete
};
Reply read(const QByteArray& reply);

// The conditions a simulated printer can be put in, by name, with the answers it gives.
struct Simulation {
    const char* name;
    Status status;
};
std::span<const Simulation> simulations();
const Simulation* simulation(QStringView name);

// The printer's other answers, built from the same status. Each byte of them has fixed bits too,
// which tell one answer from another in the stream a host reads.

// GS r 1 and GS r 2 (also 49 and 50): one byte, bits 4 and 7 clear.
inline constexpr std::uint8_t kTransmitFixedMask = 0x90;
inline constexpr std::uint8_t kTransmitFixedBits = 0x00;
inline constexpr std::uint8_t kSensorNearEnd = 0x03;  // GS r 1 bits 0 and 1
inline constexpr std::uint8_t kSensorPaperEnd = 0x0C; // GS r 1 bits 2 and 3
inline constexpr std::uint8_t kDrawerPinHigh = 0x01;  // GS r 2 bit 0: drawer connector pin 3
// The answer to GS r n; none for an n it does not know.
std::optional<std::uint8_t> transmitted(const Status& status, int n);

// GS a n: automatic status back, four bytes at once. The first has bit 4 set and bits 0, 1 and 7
// clear; the other three have bits 4 and 7 clear, so a reader finds where the four start.
inline constexpr int kAutomaticBytes = 4;
inline constexpr std::uint8_t kAutomaticFirstMask = 0x93;
inline constexpr std::uint8_t kAutomaticFirstBits = 0x10;
inline constexpr std::uint8_t kAutomaticRestMask = 0x90;
// The first byte
inline constexpr std::uint8_t kAutomaticDrawerHigh = 0x04;
inline constexpr std::uint8_t kAutomaticOffline = 0x08;
inline constexpr std::uint8_t kAutomaticCoverOpen = 0x20;
inline constexpr std::uint8_t kAutomaticFeedButton = 0x40;
// The second: errors
inline constexpr std::uint8_t kAutomaticAutocutterError = 0x08;
inline constexpr std::uint8_t kAutomaticUnrecoverableError = 0x20;
inline constexpr std::uint8_t kAutomaticRecoverableError = 0x40;
// The third tells the roll paper sensors as GS r 1 does; the fourth nothing a desk printer has.
// The bits of n: which changes are told.
inline constexpr std::uint8_t kTellDrawer = 0x01;
inline constexpr std::uint8_t kTellOnline = 0x02;
inline constexpr std::uint8_t kTellError = 0x04;
inline constexpr std::uint8_t kTellPaper = 0x08;
std::array<std::uint8_t, kAutomaticBytes> automatic(const Status& status);

// GS I n: the printer's identity. 1, 2, 3 (or 49, 50, 51): one byte each, bits 4 and 7 clear;
// 65 to 68: a header, the text, and NUL.
inline constexpr std::uint8_t kIdFixedMask = 0x90;
inline constexpr std::uint8_t kTypeMultiByte = 0x01;  // type ID bit 0: two-byte characters
inline constexpr std::uint8_t kTypeAutocutter = 0x02; // bit 1
inline constexpr std::uint8_t kIdTextHeader = 0x5F;
inline constexpr std::uint8_t kIdTextEnd = 0x00;
inline constexpr int kIdFirmware = 65, kIdMaker = 66, kIdModel = 67, kIdSerial = 68;
struct Identity {
    std::uint8_t modelId = 0x20;
    std::uint8_t typeId = kTypeMultiByte | kTypeAutocutter;
    std::uint8_t versionId = 0x01;
    QByteArray firmware, maker, model, serial; // 65 to 68
};
// The answer to GS I n; none for an n it does not know.
std::optional<QByteArray> identified(const Identity& identity, int n);

// GS ( H fn 48: the answer to a process ID, sent once everything before it is processed.
inline constexpr std::uint8_t kProcessIdHeader = 0x37;
inline constexpr std::uint8_t kProcessIdIdentifier = 0x22;
inline constexpr std::uint8_t kProcessIdEnd = 0x00;
inline constexpr int kProcessIdFunction = 48;
QByteArray processed(QByteArrayView processId);

} // namespace PrinterStatus

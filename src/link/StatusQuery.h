#pragma once

#include "Fleet.h"
#include "core/PrinterStatus.h"

#include <array>

// Asks a connected printer how it is: DLE EOT 1, 2, 3 and 4 in turn, each answered by one byte
// before the next goes out, so that every byte is known to answer its own request.
namespace StatusQuery {

// What identifying asks with GS I, in this order, and what each answer is called.
struct Named {
    int function;
    const char* key;
};
inline constexpr std::array<Named, 4> kIdentity = {{{PrinterStatus::kIdMaker, "maker"},
                                                    {PrinterStatus::kIdModel, "model"},
                                                    {PrinterStatus::kIdFirmware, "firmware"},
                                                    {PrinterStatus::kIdSerial, "serial"}}};
inline constexpr int kMostText = 80; // a longer answer is not taken as one

// The work for a fleet. Each answer is awaited at most replyTimeoutMs. It finishes Delivered
// with the four bytes when each is a status byte, and NoStatus with what came when an answer
// is missing (silence, a close, a reset) or is no status byte, which is then the last byte.
// To identify, after the four it asks GS I for the maker, model, firmware and serial number, in
// that order and until one goes unanswered, and puts each answer (5F, text, 00) behind them.
// The connection is left open.
Fleet::Work work(int replyTimeoutMs, bool identify = false);

} // namespace StatusQuery

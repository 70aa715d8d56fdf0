#pragma once

#include "Fleet.h"

// Printed, not just delivered. After the job goes GS r 1, which the printer answers only once it
// has worked through everything before it. When that answer does not come, DLE EOT 2 (answered
// at once, by a printer that has stopped too) says why, and DLE EOT 1 whether it is offline when
// DLE EOT 2 names no cause.
namespace Confirmation {

struct Bounds {
    // How long the printer may take to answer once it has every byte; before that, it may go
    // without taking any as long as without --confirm, or this if it is longer.
    int answerMs = 10000;
    int whyMs = 1000; // each of DLE EOT 2 and 1
};

// What stands in the answers for a request that got none: no answer has bit 7 set.
inline constexpr char kUnanswered = char(0xFF);

// The job with GS r 1 behind it: what the printer is sent.
Catalogue::Sends sends(const Catalogue::Sends& job);

// What the answers tell, one byte for each request asked: GS r 1, then DLE EOT 2 and DLE EOT 1.
// Printed when GS r 1 was answered with paper present.
Outcome judge(const QByteArray& answers);

// The work for a fleet: sends the job and GS r 1 and finishes with the outcome and the answers
// as soon as it is known. The connection is left open.
Fleet::Work work(const Catalogue::Sends& job, const Bounds& bounds);

} // namespace Confirmation

#pragma once

#include "Catalogue.h"

#include <QString>

// What can become of a command sent to one printer. The window turns an outcome into its exact
// texts; the command-line tool into a word for scripts and an exit status.
enum class Outcome {
    Connected,      // the connection test reached the printer
    Sent,           // every send was handed to the connection
    Delivered,      // the printer acknowledged every byte
    InvalidAddress, // the printer's address failed its check: nothing was attempted
    InvalidInput,   // the command's input failed its check: nothing was connected
    Busy,           // another connection attempt is still running
    Refused,        // the printer refused the connection
    TimedOut,       // no answer within the connect timeout
    ConnectError,   // the connection could not be attempted (no route, no socket)
    SendFailed,     // the connection failed before the printer had every byte
    Declined,       // the user said No to the question
    NoStatus,       // the printer gave no valid status byte
    Answered,       // the printer answered every status request with a status byte
    Interrupted,    // a signal ended the run before this printer was done
    DryRun,         // nothing was connected: what would be sent was shown
    // Asked to confirm: what the printer said once it had the job.
    Printed,        // it worked through the job and has paper
    PaperOut,       // it is out of paper
    CoverOpen,      // its cover is open
    Offline,        // it is offline, or stopped by an error
    NoConfirmation, // it answered nothing that tells: it may not confirm at all
    Disconnected,   // the connection ended after the job, before the answer
};

namespace Outcomes {

// A stable word for scripts: "connected", "sent", "send-failed", ...
const char* word(Outcome outcome);
// Whether the printer got what it was meant to get.
bool succeeded(Outcome outcome);
// What the window tells the user when a command ends so; empty when it says nothing.
QString windowText(Outcome outcome, Catalogue::Id command = Catalogue::Id::Test);

// The question asked before a command that asks goes out (set-IP, set-ID), with the address or
// the five parts as the user typed them; empty for the commands that ask nothing.
QString confirmation(Catalogue::Id command, const QString& typed);

} // namespace Outcomes

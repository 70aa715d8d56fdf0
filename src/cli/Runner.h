#pragma once

#include "Cli.h"
#include "Record.h"
#include "link/Fleet.h"

#include <functional>

// One way to work on many printers, for every command that does: a dry run through the memory
// sink, or the fleet with one record per printer as it ends, progress, a summary and the exit
// status. A signal ends it with a record for every printer not done.
namespace Runner {

struct Tally {
    qsizetype total = 0;
    qsizetype ok = 0;
    qsizetype reached = 0;
    qsizetype untried = 0; // the attempt could not be made (connect-error)
    qsizetype done = 0;    // before a signal
    double seconds = 0;
    int signal = 0;
};

struct Plan {
    Record::Kind kind = Record::Kind::Send;
    QList<Fleet::Target> targets = {};
    Catalogue::Sends sends = {}; // what each printer is sent; a dry run shows it
    Fleet::Work work = {};
    std::function<Record(const Fleet::Target&, const Fleet::Result&)> record = {};
    // A search: only the addresses that answered, in address order, once all are done.
    bool foundOnly = false;
    const char* notOk = "failed"; // the progress counts these
    std::function<QString(const Tally&)> summary = {};
};

int run(const Plan& plan, Cli::Context& context);

} // namespace Runner

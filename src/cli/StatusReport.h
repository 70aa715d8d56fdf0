#pragma once

#include "link/Fleet.h"

#include <QJsonObject>
#include <QString>

// How a printer's answer to the status requests reads: one line for a person, fields for a
// script. Shared by status and find --status.
namespace StatusReport {

struct Report {
    bool answered = false; // a status byte for every request
    bool ready = false;    // answered, online and with paper
    QString text;          // "online, paper ok; drawer signal low", "no status: ..."
    QJsonObject fields;    // outcome, ok, hex, and when answered the summary and every condition
};

// For a result whose connection was made; other outcomes are no status report.
Report of(const Fleet::Result& result);

} // namespace StatusReport

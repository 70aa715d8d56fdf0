#pragma once

#include "Output.h"
#include "core/Outcome.h"
#include "core/PrinterStatus.h"
#include "link/Confirmation.h"
#include "link/Fleet.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// One printer's result, whatever the command: what every writer takes.
struct Record {
    enum class Kind {
        Send,   // a printer command
        Status, // the status requests: every condition, known or not
        Found,  // an address that accepted on the printer port
    };
    Kind kind = Kind::Send;
    QString host = {}; // as the user wrote it
    QString command = {};
    Outcome outcome = Outcome::Sent;
    bool ok = false;
    qint64 ms = 0;
    qint64 bytes = 0;     // acknowledged by the printer
    QString message = {}; // the window's words, or what the printer's answer tells
    // A dry run: what would go out. The status requests: what came back.
    std::optional<QByteArray> hex = {};
    std::optional<PrinterStatus::Status> status = {}; // every status request answered
    bool asked = false;                               // the status requests were sent
    // Asked with --identify: the maker, model, firmware and serial, empty where not answered.
    std::optional<QStringList> identity = {};
    int port = 0;

    // A printer that was reached: it accepted and was not cut short.
    bool reached() const;
    // What a person reads after the address for a reached printer: its status, or why none.
    QString told() const;
};

namespace Records {

// The record of a printer command's result; total is what it was to be sent. With confirm, what
// the printer answered after the job is told.
Record sent(const QString& host, const QString& command, const Fleet::Result& result, qint64 total,
            Catalogue::Id id, const Confirmation::Bounds* confirm = nullptr);
// The record of what the status requests brought back, and GS I when identify.
Record status(const QString& host, const QString& command, const Fleet::Result& result,
              bool identify = false);
// A dry run's record: what the printer would be sent.
Record dryRun(const QString& host, const QString& command, Record::Kind kind,
              const QByteArray& wire);

// The keys every line has (host, command, ok, outcome, ms, bytes, message), and those of the
// kind: every condition (null when unknown), summary and hex for status, maker, model, firmware
// and serial when identified, port for a search.
QJsonObject json(const Record& record);

// One record a line, as JSON or for a person: data on standard output, failures on standard
// error, what went well left out when quiet.
void write(Output& output, bool json, const Record& record);

} // namespace Records

#pragma once

#include "core/Catalogue.h"
#include "link/Fleet.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Turns what a user typed into the typed inputs of the engine, through the same checks as the
// window's fields. Every refusal says which argument was wrong and why.
namespace Arguments {

struct Refusal {
    QString message;
};

template <typename T> struct Parsed {
    std::optional<T> value;
    QString refusal; // set when value is not

    static Parsed refused(const QString& why) { return {std::nullopt, why}; }
};

// One printer address: four decimal numbers, leading zeros counting for nothing, never a name.
Parsed<Fleet::Target> host(const QString& text);
// One address per line; "#" starts a comment, blank lines are skipped. source names the file in
// messages ("hosts.txt:3: ...").
Parsed<QList<Fleet::Target>> hostList(const QByteArray& content, const QString& source);

// The command's input from its arguments. codePage is the one typed text goes out in; read
// reads a file's bytes ("-" for standard input).
struct Sources {
    int codePage;
    std::optional<QByteArray> (*read)(const QString& path, QString* why);
};
Parsed<Catalogue::Input> input(const Catalogue::Command& command, const QStringList& arguments,
                               const Sources& sources);

// A Windows code page: 936, cp936 or CP936.
std::optional<int> codePage(const QString& text);
// Text from a file as the window's print box holds it: UTF-8, every line end as CR LF.
std::optional<QString> printText(const QByteArray& utf8);

} // namespace Arguments

#pragma once

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaType>
#include <QProcess>
#include <QTest>

#include <functional>

// The real corvane-cli, run as a script runs it; CORVANE_CLI is its path, set by the test's
// build.
constexpr int kBound = 20000; // every wait on the tool or a printer ends well within this

struct CliRun {
    int status = -1; // -1 when it crashed or was killed at the bound
    QByteArray out;
    QString err;
    qint64 ms = 0;
};

// meanwhile is called once the tool has its input, to do what a user does while it runs.
inline CliRun runCli(const QStringList& arguments, const QByteArray& input = {},
                     const std::function<void(QProcess&)>& meanwhile = {})
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(CORVANE_CLI), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (meanwhile)
        meanwhile(process);
    // The fake printers live in the test's process: they read only while its events flow.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kBound))
        process.kill();
    process.waitForFinished(kBound);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError()),
            clock.elapsed()};
}

// A run that sends nothing: a refusal, or a dry run whose standard output is all it says.
struct RefusalRow {
    const char* name;
    const char* arguments; // as a shell splits them
    int status;
    const char* says; // on standard error, or the whole standard output of a dry run
    QByteArray input = {};
};
Q_DECLARE_METATYPE(RefusalRow)

// The arguments that reach one printer on 127.0.0.1 at this port.
inline QStringList onLoopback(const QString& port, const QStringList& arguments)
{
    return QStringList{"-H", "127.0.0.1", "-p", port} + arguments;
}

// --json output: one object a line.
inline QList<QJsonObject> jsonLines(const QByteArray& out)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}

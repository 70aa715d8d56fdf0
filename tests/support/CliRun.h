#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

// The real corvane-cli, run as a script runs it; CORVANE_CLI is its path, set by the test's
// build.
struct CliRun {
    int status = -1; // -1 when it crashed or was killed at the bound
    QByteArray out;
    QString err;
    qint64 ms = 0;
};

inline CliRun runCli(const QStringList& arguments, const QByteArray& input = {},
                     int boundMs = 20000)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(CORVANE_CLI), arguments);
    process.write(input);
    process.closeWriteChannel();
    // The fake printers live in the test's process: they read only while its events flow.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, boundMs))
        process.kill();
    process.waitForFinished(boundMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError()),
            clock.elapsed()};
}

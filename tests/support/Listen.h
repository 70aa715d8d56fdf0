#pragma once

#include "support/CliRun.h"

#include <csignal>

// corvane-cli listen with what it was told, on a free loopback port unless told one with -p;
// run through wrapper (prlimit ..., unshare ...) when given. It stops with the test.
class Listen {
public:
    explicit Listen(QStringList options, const QStringList& wrapper = {})
    {
        if (!options.contains(QStringLiteral("-p")))
            options = QStringList{"-p", "0"} + options;
        options = wrapper + QStringList{QStringLiteral(CORVANE_CLI), "listen"} + options;
        m_process.start(options.takeFirst(), options);
        // Without the line, port() stays empty and the test says so.
        (void)QTest::qWaitFor([this] { return err().contains('\n') || !running(); }, kBound);
        const qsizetype at = m_err.indexOf(" port ");
        if (at >= 0)
            m_port = QString::fromLatin1(m_err.mid(at + 6, m_err.indexOf('\n') - at - 6));
    }
    ~Listen()
    {
        m_process.kill();
        m_process.waitForFinished(kBound);
    }
    QString port() const { return m_port; }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // Waits for its end after the connections it was told to take.
    int finish()
    {
        if (!QTest::qWaitFor([this] { return !running(); }, kBound))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QByteArray out() { return m_out += m_process.readAllStandardOutput(); }
    QByteArray err() { return m_err += m_process.readAllStandardError(); }
    // Waits until it has shown that much on standard output or error.
    bool shows(const QByteArray& text, bool onErr = false)
    {
        return QTest::qWaitFor([&] { return (onErr ? err() : out()).contains(text); }, kBound);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    // Where its files are seen from outside its mount namespace.
    QString root() const { return QStringLiteral("/proc/%1/root").arg(m_process.processId()); }

private:
    QProcess m_process;
    QByteArray m_out, m_err;
    QString m_port;
};

// corvane-cli find against nmap's connect scan over the same loopback /24, in the same run, in
// the bench command's private network namespace: three addresses listen on the printer port,
// one is silent (its accept queue full), every other one refuses. Both run with their default
// timing, taking turns. Prints `key value` lines, then one line for a person.
#include "support/FakePrinter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRuns = 7;
constexpr int kRunBoundMs = 60000;
const QString kRange = QStringLiteral("127.0.0.0/24");
const QStringList kListening = {QStringLiteral("127.0.0.10"), QStringLiteral("127.0.0.77"),
                                QStringLiteral("127.0.0.200")};
const QString kSilent = QStringLiteral("127.0.0.150");

struct Run {
    double ms = -1; // -1: it did not run to its end
    QStringList found;
};

// Runs a program while this process's event loop goes on, so the fake printers keep accepting.
Run timed(const QString& program, const QStringList& arguments,
          QStringList (*found)(const QByteArray& out))
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kRunBoundMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForStarted(kRunBoundMs))
        return {};
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {ms, found(process.readAllStandardOutput())};
}

QStringList corvaneFound(const QByteArray& out)
{
    QStringList hosts;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty())
            hosts << QString::fromLatin1(line);
    }
    return hosts;
}

// Greppable output: "Host: 127.0.0.10 ()\tPorts: 9100/open/tcp//...".
QStringList nmapFound(const QByteArray& out)
{
    QStringList hosts;
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith("Host: ") && line.contains("9100/open/"))
            hosts << QString::fromLatin1(line.split(' ').value(1));
    }
    return hosts;
}

struct Figures {
    std::vector<double> ms;
    QStringList found; // of the last run; every run must find the same
    bool steady = true;
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v.empty() ? -1 : v[v.size() / 2];
    }
    double least() const { return ms.empty() ? -1 : *std::min_element(ms.begin(), ms.end()); }
    double most() const { return ms.empty() ? -1 : *std::max_element(ms.begin(), ms.end()); }
    bool add(const Run& run)
    {
        if (run.ms < 0)
            return false;
        steady = steady && (ms.empty() || run.found == found);
        ms.push_back(run.ms);
        found = run.found;
        return true;
    }
};

void report(const char* key, double value)
{
    std::printf("%s %.3f\n", key, value);
}

void report(const char* key, const Figures& f)
{
    const std::string k(key);
    report((k + "_ms_median").c_str(), f.median());
    report((k + "_ms_min").c_str(), f.least());
    report((k + "_ms_max").c_str(), f.most());
    report((k + "_found").c_str(), double(f.found.size()));
}

int bench()
{
    std::vector<std::unique_ptr<FakePrinter>> printers;
    for (const QString& host : kListening) {
        printers.push_back(std::make_unique<FakePrinter>());
        if (!printers.back()->listen(QHostAddress(host), 9100)) {
            std::fprintf(stderr, "find_bench: cannot listen on %s:9100\n", qPrintable(host));
            return 1;
        }
    }
    SilentListener silent;
    if (!silent.listen(QHostAddress(kSilent), 9100)) {
        std::fprintf(stderr, "find_bench: cannot listen on %s:9100\n", qPrintable(kSilent));
        return 1;
    }
    const QString cli = QStringLiteral(CORVANE_CLI);
    const QString nmap = QStandardPaths::findExecutable(QStringLiteral("nmap"));
    const QStringList cliArguments = {QStringLiteral("find"), kRange};
    const QStringList nmapArguments = {"-sT",    "-Pn", "-n", "-p",  "9100",
                                       "--open", "-oG", "-",  kRange};

    // One run of each first, not counted: files cached, nothing started cold.
    timed(cli, cliArguments, corvaneFound);
    if (!nmap.isEmpty())
        timed(nmap, nmapArguments, nmapFound);
    Figures tool, baseline;
    for (int i = 0; i < kRuns; ++i) {
        if (!tool.add(timed(cli, cliArguments, corvaneFound))) {
            std::fprintf(stderr, "find_bench: corvane-cli find did not finish\n");
            return 1;
        }
        if (!nmap.isEmpty() && !baseline.add(timed(nmap, nmapArguments, nmapFound))) {
            std::fprintf(stderr, "find_bench: nmap did not finish\n");
            return 1;
        }
    }

    const bool right = tool.steady && tool.found == kListening;
    report("find_runs", kRuns);
    report("find_corvane", tool);
    report("find_corvane_exact", right ? 1 : 0);
    const QString ours = QStringLiteral("corvane-cli %1 ms median [%2-%3], found %4 of 3 listening")
                             .arg(tool.median(), 0, 'f', 1)
                             .arg(tool.least(), 0, 'f', 1)
                             .arg(tool.most(), 0, 'f', 1)
                             .arg(tool.found.size());
    if (nmap.isEmpty()) {
        report("find_nmap_skipped", 1);
        std::printf("find %s (3 listening, 1 silent): %s; nmap row skipped: nmap is not "
                    "installed (scripts/bench.sh installs Debian's nmap package as root)\n",
                    qPrintable(kRange), qPrintable(ours));
        return right ? 0 : 1;
    }
    const bool same = baseline.steady && baseline.found == tool.found;
    const double ratio = tool.median() / baseline.median();
    report("find_nmap", baseline);
    report("find_same_addresses", same ? 1 : 0);
    report("find_ratio", ratio);
    std::printf("find %s (3 listening, 1 silent): %s; nmap -sT %.1f ms median [%.1f-%.1f]; "
                "ratio %.2f; same addresses: %s; goal no slower than nmap, same addresses: %s\n",
                qPrintable(kRange), qPrintable(ours), baseline.median(), baseline.least(),
                baseline.most(), ratio, same ? "yes" : "NO",
                ratio <= 1.0 && same && right ? "met" : "MISS");
    return right ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int status = 1;
    QTimer::singleShot(0, &app, [&status] { QCoreApplication::exit(status = bench()); });
    QCoreApplication::exec();
    return status;
}

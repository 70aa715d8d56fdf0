// Measures the program against plain baselines in the same run and prints one table.
// Run with no arguments: every case runs in a child process of its own (so peak memory and
// open files are its own), on loopback inside the private network namespace of the bench
// command. `corvane_bench --case NAME` runs one case and prints its raw figures.
#include "SinkServer.h"
#include "app/Form1.h"
#include "core/AnsiCodePage.h"
#include "core/Catalogue.h"
#include "core/NvImageFile.h"
#include "support/FakePrinter.h"
#include "support/RecordingBoxes.h"
#include "window/Module1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <iconv.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 9100;
using Clock = SinkServer::Clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double median(const std::vector<double>& v)
{
    return percentile(v, 0.5);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentRssKiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int openFiles()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)
                   .size());
}

void report(const char* key, double value)
{
    std::printf("%s %.6f\n", key, value);
}

// The window with its boxes answered, pointed at the sink on loopback.
struct Rig {
    RecordingBoxes boxes;
    Form1 form;
    QObject waker;
    Rig()
    {
        form.setMessageBoxes(&boxes);
        form.setText(Field::CurIP, QString::fromLatin1(kHost));
        form.show();
    }
    QPushButton* button(const char* name)
    {
        return form.findChild<QPushButton*>(QLatin1String(name));
    }
    void wakeOn(SinkServer& sink)
    {
        sink.setOnData([this] {
            QMetaObject::invokeMethod(
                &waker, [] {}, Qt::QueuedConnection);
        });
    }
    static bool waitFor(const std::function<bool()>& done, int bound = 60000)
    {
        return Module1::waitUntil(done, QDeadlineTimer(bound), {}) && done();
    }
};

int caseWaits()
{
    SilentListener silent;
    if (!silent.listen(QHostAddress(QString::fromLatin1(kHost)), kPort))
        return 1;
    Rig rig;
    std::vector<double> connectShare, delayShare;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer wall;
        double cpu = cpuSeconds();
        wall.start();
        rig.form.link().Connect_printer();
        connectShare.push_back((cpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9));
        cpu = cpuSeconds();
        wall.restart();
        rig.form.link().Delay_ms(3000);
        delayShare.push_back((cpuSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9));
    }
    report("connect_cpu_share", median(connectShare));
    report("connect_cpu_share_max", percentile(connectShare, 1));
    report("delay_cpu_share", median(delayShare));
    report("delay_cpu_share_max", percentile(delayShare, 1));
    return 0;
}

int caseCut()
{
    SinkServer sink(kHost, kPort, false);
    if (!sink.listening())
        return 1;
    Rig rig;
    rig.wakeOn(sink);
    const QByteArray cut = Catalogue::wire(Catalogue::sends(Catalogue::Id::Cut));
    std::vector<double> tool, plain;
    for (int i = 0; i < 500; ++i) {
        std::uint64_t expected = sink.total() + 4;
        Clock::time_point start = Clock::now();
        rig.button("cmdCut")->click();
        if (!Rig::waitFor([&] { return sink.total() >= expected; }, 5000))
            return 2;
        tool.push_back(ms(sink.lastByteAt() - start));

        expected = sink.total() + 4;
        start = Clock::now();
        if (!plainSend(kHost, kPort, cut.constData(), std::size_t(cut.size())))
            return 3;
        if (!Rig::waitFor([&] { return sink.total() >= expected; }, 5000))
            return 4;
        plain.push_back(ms(sink.lastByteAt() - start));
    }
    report("cut_median_ms", median(tool));
    report("cut_p99_ms", percentile(tool, 0.99));
    report("cut_plain_median_ms", median(plain));
    report("cut_plain_p99_ms", percentile(plain, 0.99));
    report("cut_messages", double(rig.boxes.messages.size()));
    return 0;
}

int caseNv()
{
    constexpr qsizetype kSize = 64 * 1024 * 1024;
    QTemporaryDir folder;
    {
        QByteArray data(kSize, Qt::Uninitialized);
        QRandomGenerator generator(7);
        generator.fillRange(reinterpret_cast<quint32*>(data.data()), kSize / 4);
        QFile file(folder.filePath(QStringLiteral("TavoNV.bin")));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != kSize)
            return 1;
    }
    SinkServer sink(kHost, kPort, false);
    if (!sink.listening())
        return 1;
    Rig rig;
    rig.wakeOn(sink);
    rig.form.commands().setProgramFolder(folder.path());

    const long before = currentRssKiB();
    Clock::time_point start = Clock::now();
    rig.button("Command6")->click(); // returns after its 3 s wait and the success message
    if (!Rig::waitFor([&] { return sink.total() >= std::uint64_t(kSize); }))
        return 2;
    const double toolMs = ms(sink.lastByteAt() - start);
    const long growth = peakRssKiB() - before;

    // The plain client reads the same file into a fresh buffer and sends it, as a small C
    // program would; how long each part takes is reported as well.
    const std::string path = folder.filePath(QStringLiteral("TavoNV.bin")).toStdString();
    std::vector<double> plainTimes, sendTimes;
    for (int run = 0; run < 3; ++run) {
        const std::uint64_t expected = sink.total() + std::uint64_t(kSize);
        start = Clock::now();
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return 3;
        std::unique_ptr<char[]> buffer(new char[std::size_t(kSize)]);
        const std::size_t got = std::fread(buffer.get(), 1, std::size_t(kSize), f);
        std::fclose(f);
        const Clock::time_point sendStart = Clock::now();
        if (got != std::size_t(kSize) || !plainSend(kHost, kPort, buffer.get(), got))
            return 4;
        if (!Rig::waitFor([&] { return sink.total() >= expected; }))
            return 5;
        plainTimes.push_back(ms(sink.lastByteAt() - start));
        sendTimes.push_back(ms(sink.lastByteAt() - sendStart));
    }
    // How much of the click goes to reading the file into its fresh buffer.
    std::vector<double> reads;
    for (int run = 0; run < 3; ++run) {
        QFile again(folder.filePath(QStringLiteral("TavoNV.bin")));
        const Clock::time_point readStart = Clock::now();
        if (NvImageFile::readWhole(again).status() != NvImageFile::Status::Read)
            return 6;
        reads.push_back(ms(Clock::now() - readStart));
    }
    report("nv_read_ms", median(reads));
    report("nv_tool_ms", toolMs);
    report("nv_plain_ms", median(plainTimes));
    report("nv_plain_send_ms", median(sendTimes));
    const double mib = double(kSize) / (1024.0 * 1024.0);
    report("nv_mib_per_s", mib / (toolMs / 1000.0));
    report("nv_plain_mib_per_s", mib / (median(plainTimes) / 1000.0));
    report("nv_rss_growth_ratio", double(growth) * 1024.0 / double(kSize));
    report("nv_success_messages",
           double(rig.boxes.messages.count(QStringLiteral("恭喜您！NV下载完成。"))));
    return 0;
}

// What a small C program would do with the same text: convert its UTF-8 to GBK with iconv and
// send the result.
std::string iconvToGbk(const std::string& utf8)
{
    const iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

int casePrint()
{
    QString text;
    const QString line = QStringLiteral("Receipt line 打印机测试 0123456789 中文简体 ABCDEF\r\n");
    while (text.size() < 860 * 1000) // about 1 MiB once encoded
        text += line;
    const std::string utf8 = text.toStdString();
    SinkServer sink(kHost, kPort, true);
    if (!sink.listening())
        return 1;
    Rig rig;
    rig.wakeOn(sink);
    rig.form.setText(Field::Char, text);
    std::vector<double> tool, plain, convert;
    std::size_t encodedSize = 0;
    for (int run = 0; run < 21; ++run) {
        const std::size_t connectionsBefore = sink.connectionCount();
        const std::uint64_t before = sink.total();
        Clock::time_point start = Clock::now();
        rig.button("cmdSend")->click();
        if (!Rig::waitFor([&] { return sink.connectionCount() > connectionsBefore; }))
            return 2;
        if (run == 0) {
            // The first print tells how many bytes the text makes; each later one is timed to
            // its last byte.
            Rig::waitFor([&] { return false; }, 300);
            encodedSize = sink.connections().back().count;
            if (sink.connections().back().bytes != iconvToGbk(utf8))
                return 6; // the tool must send what iconv makes of the text
        }
        if (!Rig::waitFor([&] { return sink.total() >= before + encodedSize; }))
            return 3;
        tool.push_back(ms(sink.lastByteAt() - start));

        const std::uint64_t expected = sink.total() + encodedSize;
        start = Clock::now();
        const std::string encoded = iconvToGbk(utf8);
        convert.push_back(ms(Clock::now() - start));
        if (!plainSend(kHost, kPort, encoded.data(), encoded.size()))
            return 4;
        if (!Rig::waitFor([&] { return sink.total() >= expected; }))
            return 5;
        plain.push_back(ms(sink.lastByteAt() - start));
    }
    report("print_bytes", double(encodedSize));
    report("print_median_ms", median(tool));
    report("print_plain_median_ms", median(plain));
    report("print_iconv_median_ms", median(convert));
    return 0;
}

// A printer that sends a flood back while the connection of a Connect Test stays open: what it
// sends is read and thrown away, so memory stays as it was.
int caseFlood()
{
    constexpr std::size_t kFlood = std::size_t(1) << 30;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(kPort);
    inet_pton(AF_INET, kHost, &where.sin_addr);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listener, 4) != 0)
        return 1;
    std::atomic<bool> sent{false};
    std::thread flood([&] {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        const std::vector<char> chunk(1 << 20, 'f');
        for (std::size_t left = kFlood; fd >= 0 && left > 0;) {
            const ssize_t n = ::send(fd, chunk.data(), std::min(left, chunk.size()), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            left -= std::size_t(n);
        }
        sent = true;
        if (fd >= 0)
            ::close(fd);
    });
    Rig rig;
    Rig::waitFor([&] { return false; }, 200); // the window settles first
    const long before = currentRssKiB();
    const Clock::time_point start = Clock::now();
    rig.button("cmdConnect")->click();
    const bool done = Rig::waitFor([&] { return sent.load(); }, 120000);
    const double seconds = ms(Clock::now() - start) / 1000.0;
    const long after = currentRssKiB();
    flood.join();
    ::close(listener);
    if (!done || rig.boxes.messages != QStringList{QStringLiteral("Connect printer succeed!")})
        return 2;
    report("flood_rss_before_kib", double(before));
    report("flood_rss_after_kib", double(after));
    report("flood_mib_per_s", 1024.0 / seconds);
    return 0;
}

int caseSoak()
{
    SinkServer sink(kHost, kPort, true);
    if (!sink.listening())
        return 1;
    Rig rig;
    rig.wakeOn(sink);
    rig.form.setText(Field::Char, QStringLiteral("soak\r\n"));
    using namespace Catalogue;
    const int codePage = AnsiCodePage::system();
    const std::vector<std::pair<const char*, QByteArray>> commands = {
        {"cmdCut", wire(sends(Id::Cut))},
        {"cmdCash", wire(sends(Id::Drawer))},
        {"cmdSend", wire(sends(Id::Print, Text{QStringLiteral("soak\r\n"), codePage}))},
        {"Command1", wire(sends(Id::Arm, Arm{ArmBoard::Ostrik}))},
        {"Command3", wire(sends(Id::Language, Language{0}))},
        {"Command4", wire(sends(Id::BlackMark, BlackMark{true}))},
        {"Command7", wire(sends(Id::NvPrint))},
        {"Command8", wire(sends(Id::CodePage, CodePage{10}))},
    };
    constexpr int kCommands = 2000;
    std::vector<QByteArray> expected;
    long rssAt100 = 0;
    int filesAt100 = 0;
    std::vector<double> latency;
    for (int i = 0; i < kCommands; ++i) {
        const auto& [name, frame] = commands[std::size_t(i) % commands.size()];
        expected.push_back(frame);
        const std::uint64_t total = sink.total() + std::uint64_t(frame.size());
        const Clock::time_point start = Clock::now();
        rig.button(name)->click();
        if (!Rig::waitFor([&] { return sink.total() >= total; }, 5000))
            return 2;
        latency.push_back(ms(sink.lastByteAt() - start));
        if (i == 99) {
            rssAt100 = currentRssKiB();
            filesAt100 = openFiles();
        }
    }
    Rig::waitFor([&] { return false; }, 200);
    const std::vector<SinkServer::Connection> received = sink.connections();
    int exact = 0;
    for (std::size_t i = 0; i < received.size() && i < expected.size(); ++i)
        exact += received[i].bytes == expected[i].toStdString() ? 1 : 0;
    report("soak_connections", double(received.size()));
    report("soak_exact_frames", double(exact));
    report("soak_messages", double(rig.boxes.messages.size()));
    report("soak_rss_kib_at_100", double(rssAt100));
    report("soak_rss_kib_at_end", double(currentRssKiB()));
    report("soak_files_at_100", double(filesAt100));
    report("soak_files_at_end", double(openFiles()));
    report("soak_median_ms_first_100", median({latency.begin(), latency.begin() + 100}));
    report("soak_median_ms_last_100", median({latency.end() - 100, latency.end()}));
    return 0;
}

// ----- the command-line tool -----

// Process start to exit, against the same bytes sent by a plain client process.
int caseCliCut()
{
    SinkServer sink(kHost, kPort, false);
    if (!sink.listening())
        return 1;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString hex =
        QString::fromLatin1(Catalogue::wire(Catalogue::sends(Catalogue::Id::Cut)).toHex());
    auto timed = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        const Clock::time_point start = Clock::now();
        process.start(program, arguments);
        const bool ok = process.waitForFinished(10000) && process.exitCode() == 0;
        return ok ? ms(Clock::now() - start) : -1.0;
    };
    std::vector<double> tool, plain, qt;
    for (int i = 0; i < 40; ++i) {
        qt.push_back(timed(dir + QStringLiteral("/bare_qtcore"), {}));
        tool.push_back(
            timed(QStringLiteral(CORVANE_CLI),
                  {QStringLiteral("-H"), QString::fromLatin1(kHost), QStringLiteral("cut")}));
        plain.push_back(timed(dir + QStringLiteral("/plain_client"),
                              {QString::fromLatin1(kHost), QString::number(kPort), hex}));
        if (tool.back() < 0 || plain.back() < 0 || qt.back() < 0)
            return 2;
    }
    if (!Rig::waitFor([&] { return sink.total() >= 80 * 4; }, 5000))
        return 3;
    report("cli_cut_median_ms", median(tool));
    report("cli_cut_plain_median_ms", median(plain));
    report("cli_cut_qtcore_median_ms", median(qt));
    return 0;
}

// 200 printers, a quarter silent and a quarter refusing, against the sequential bound and
// against one printer at a time.
int caseFleet()
{
    constexpr int kPrinters = 200;
    constexpr int kTimeoutMs = 500;
    constexpr std::uint16_t kFleetPort = 9400;
    QTemporaryDir folder;
    QFile list(folder.filePath(QStringLiteral("hosts.txt")));
    if (!list.open(QIODevice::WriteOnly))
        return 1;
    std::vector<std::string> answering;
    std::vector<std::unique_ptr<SilentListener>> silent;
    for (int i = 0; i < kPrinters; ++i) {
        const std::string host = "127.0.1." + std::to_string(i + 1);
        list.write(host.c_str());
        list.write("\n");
        if (i % 4 == 0) {
            silent.push_back(std::make_unique<SilentListener>());
            if (!silent.back()->listen(QHostAddress(QString::fromStdString(host)), kFleetPort))
                return 2;
        } else if (i % 4 != 1) {
            answering.push_back(host);
        }
    }
    list.close();
    SinkServer sink(answering, kFleetPort, false);
    if (!sink.listening())
        return 3;
    auto wall = [&](int jobs) {
        QProcess process;
        const Clock::time_point start = Clock::now();
        process.start(QStringLiteral(CORVANE_CLI),
                      {QStringLiteral("--hosts"), list.fileName(), QStringLiteral("-p"),
                       QString::number(kFleetPort), QStringLiteral("-t"),
                       QString::number(kTimeoutMs), QStringLiteral("-j"), QString::number(jobs),
                       QStringLiteral("-q"), QStringLiteral("cut")});
        const bool ok = process.waitForFinished(600000) && process.exitCode() == 1;
        return ok ? ms(Clock::now() - start) : -1.0;
    };
    const double parallel = wall(64);
    const std::uint64_t afterParallel = sink.total();
    const double sequential = wall(1);
    if (parallel < 0 || sequential < 0 || afterParallel != answering.size() * 4)
        return 4;
    report("fleet_ms", parallel);
    report("fleet_jobs1_ms", sequential);
    report("fleet_bound_ms", double(kPrinters) * kTimeoutMs);
    report("fleet_timeout_ms", kTimeoutMs);
    return 0;
}

// Sends the bytes, shuts the sending side and reads until the peer closes. A client that reads
// nothing till then has a small receive buffer, so that what it is sent piles up at the sender.
bool sendThenDrain(const char* ipv4, std::uint16_t port, const QByteArray& bytes, bool small)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    inet_pton(AF_INET, ipv4, &where.sin_addr);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int buffer = 4096;
    if (small)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    for (qsizetype at = 0; ok && at < bytes.size();) {
        const ssize_t sent =
            ::send(fd, bytes.constData() + at, std::size_t(bytes.size() - at), MSG_NOSIGNAL);
        ok = sent > 0;
        at += ok ? sent : 0;
    }
    ok = ok && ::shutdown(fd, SHUT_WR) == 0;
    char sink[65536];
    ssize_t got = 1;
    while (ok && got > 0)
        got = ::recv(fd, sink, sizeof sink, 0);
    ::close(fd);
    return ok && got == 0;
}

// corvane-cli listen's peak resident memory in KiB after one client has sent the bytes and it
// has closed the connection; -1 when that failed.
double listenPeakKiB(std::uint16_t port, const QByteArray& bytes, bool small,
                     const QStringList& options = {})
{
    QProcess listen;
    listen.setStandardOutputFile(QProcess::nullDevice());
    listen.setReadChannel(QProcess::StandardError);
    listen.start(
        QStringLiteral(CORVANE_CLI),
        QStringList{QStringLiteral("listen"), QStringLiteral("-p"), QString::number(port)} +
            options);
    double peak = -1;
    if (listen.waitForReadyRead(10000) && sendThenDrain(kHost, port, bytes, small)) {
        QFile status(QStringLiteral("/proc/%1/status").arg(listen.processId()));
        for (const QByteArray& line :
             (status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray()).split('\n')) {
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toDouble();
        }
    }
    listen.kill();
    listen.waitForFinished(10000);
    return peak;
}

// corvane-cli listen taking one connection of these bytes, its output going to a pipe the bench
// reads: ms from the connection to the line that tells its end, its last byte read; -1 when that
// failed.
double listenMs(std::uint16_t port, const QByteArray& data, const QStringList& options = {})
{
    QProcess listen;
    listen.start(QStringLiteral(CORVANE_CLI),
                 QStringList{QStringLiteral("listen"), QStringLiteral("-p"), QString::number(port),
                             QStringLiteral("--count"), QStringLiteral("1")} +
                     options);
    // It tells its port on standard error once it listens.
    listen.setReadChannel(QProcess::StandardError);
    if (!listen.waitForReadyRead(10000))
        return -1;
    listen.setReadChannel(QProcess::StandardOutput);
    const Clock::time_point start = Clock::now();
    if (!plainSend(kHost, port, data.constData(), std::size_t(data.size())))
        return -1;
    const QByteArray closed = "closed after " + QByteArray::number(data.size()) + " bytes";
    QByteArray out;
    while (!out.contains(closed) && listen.waitForReadyRead(60000))
        out += listen.readAllStandardOutput();
    const Clock::time_point end = Clock::now();
    if (!out.contains(closed) || !listen.waitForFinished(10000) || listen.exitCode() != 0)
        return -1;
    return ms(end - start);
}

// corvane-cli listen taking a 64 MiB NV download against the plain reader (from the connection
// to the last byte read), then with --render; the same with a stream of 2,000 receipts.
int caseListen()
{
    constexpr std::uint16_t kListenPort = 9500;
    QByteArray data;
    const QByteArray image = QByteArray::fromHex("1c7101ff030800") + QByteArray(65472, '\x55');
    while (data.size() < 64 << 20)
        data += image;
    QTemporaryDir drawings;
    const QStringList render{QStringLiteral("--render"), drawings.path()};
    std::vector<double> tool, plain, rendered;
    for (int i = 0; i < 5; ++i) {
        tool.push_back(listenMs(kListenPort, data));
        rendered.push_back(listenMs(kListenPort, data, render));
        if (tool.back() < 0 || rendered.back() < 0)
            return 3;

        SinkServer sink(kHost, kListenPort + 1, false);
        QObject waker; // the sink's thread wakes the wait below on each read
        sink.setOnData([&waker] {
            QMetaObject::invokeMethod(
                &waker, [] {}, Qt::QueuedConnection);
        });
        const Clock::time_point plainStart = Clock::now();
        if (!sink.listening() ||
            !plainSend(kHost, kListenPort + 1, data.constData(), std::size_t(data.size())) ||
            !Rig::waitFor([&] { return sink.total() >= std::uint64_t(data.size()); }, 60000))
            return 4;
        plain.push_back(ms(sink.lastByteAt() - plainStart));
    }
    const double mib = double(data.size()) / double(1 << 20);
    report("listen_mib_per_s", mib / (median(tool) / 1000.0));
    report("listen_plain_mib_per_s", mib / (median(plain) / 1000.0));
    report("listen_render_mib_per_s", mib / (median(rendered) / 1000.0));

    // Short receipts, each a logo, ten lines and a cut, as a till sends them: each drawn and
    // written as it ends.
    QByteArray receipts;
    const QByteArray logo = QByteArray::fromHex("1d76300020004000") + QByteArray(2048, '\x5a');
    for (int i = 0; i < 2000; ++i)
        receipts += logo + QByteArray("Item of the day                     2.40\n").repeated(10) +
                    QByteArray::fromHex("1d564100");
    std::vector<double> receiptsTool, receiptsRendered;
    for (int i = 0; i < 3; ++i) {
        QTemporaryDir each;
        receiptsTool.push_back(listenMs(kListenPort, receipts));
        receiptsRendered.push_back(
            listenMs(kListenPort, receipts, {QStringLiteral("--render"), each.path()}));
        if (receiptsTool.back() < 0 || receiptsRendered.back() < 0)
            return 6;
    }
    report("listen_receipts_ms", median(receiptsTool));
    report("listen_render_receipts_ms", median(receiptsRendered));

    // Its peak memory when a client sends a million status requests and reads none of the
    // answers until it has sent them all, against its peak taking the download; and that peak
    // with --render.
    const QByteArray requests = QByteArray::fromHex("100401").repeated(1000000);
    const double unreadPeak = listenPeakKiB(kListenPort + 2, requests, true);
    const double downloadPeak = listenPeakKiB(kListenPort + 2, data, false);
    const double renderPeak = listenPeakKiB(kListenPort + 2, data, false, render);
    if (unreadPeak < 0 || downloadPeak < 0 || renderPeak < 0)
        return 5;
    report("listen_unread_peak_kib", unreadPeak);
    report("listen_download_peak_kib", downloadPeak);
    report("listen_render_peak_kib", renderPeak);
    return 0;
}

int runCase(const QString& name)
{
    static const std::map<QString, int (*)()> cases = {
        {QStringLiteral("waits"), caseWaits},    {QStringLiteral("cut"), caseCut},
        {QStringLiteral("nv"), caseNv},          {QStringLiteral("print"), casePrint},
        {QStringLiteral("soak"), caseSoak},      {QStringLiteral("flood"), caseFlood},
        {QStringLiteral("cli-cut"), caseCliCut}, {QStringLiteral("fleet"), caseFleet},
        {QStringLiteral("listen"), caseListen},
    };
    const auto found = cases.find(name);
    if (found == cases.end())
        return 64;
    // Clicks arrive from the running event loop, as in the program.
    int status = 0;
    QTimer::singleShot(0, qApp, [&] { QCoreApplication::exit(status = found->second()); });
    QCoreApplication::exec();
    return status;
}

// ----- the driver -----

using Figures = std::map<std::string, double>;

Figures runChild(const QStringList& arguments, const QProcessEnvironment& environment, bool* ok)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    *ok = child.waitForFinished(600000) && child.exitStatus() == QProcess::NormalExit &&
          child.exitCode() == 0;
    Figures figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2)
            figures[parts[0].toStdString()] = parts[1].toDouble();
    }
    if (!*ok)
        std::fprintf(stderr, "case %s failed (exit %d)\n", qPrintable(arguments.join(u' ')),
                     child.exitCode());
    return figures;
}

struct Startup {
    double ms;
    double rssMiB;
};

Startup startOnce(const QString& program, const QProcessEnvironment& environment)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    timespec t0{};
    clock_gettime(CLOCK_MONOTONIC, &t0);
    child.start(program, {});
    child.waitForFinished(60000);
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 2)
        return {-1, -1};
    const double idleNs = parts[0].toDouble();
    const double startNs = double(t0.tv_sec) * 1e9 + double(t0.tv_nsec);
    return {(idleNs - startNs) / 1e6, parts[1].toDouble() / 1024.0};
}

void row(const char* what, const QString& figure, const QString& baseline, const QString& ratio,
         const QString& goal, bool met)
{
    std::printf("| %-34s | %-22s | %-22s | %-9s | %-26s | %-4s |\n", what, qPrintable(figure),
                qPrintable(baseline), qPrintable(ratio), qPrintable(goal), met ? "met" : "MISS");
}

QString num(double v, int decimals = 2)
{
    return QString::number(v, 'f', decimals);
}

int drive()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QString dir = QCoreApplication::applicationDirPath();

    std::vector<double> realMs, bareMs, realRss, bareRss;
    for (int i = 0; i < 21; ++i) {
        const Startup real = startOnce(dir + QStringLiteral("/startup_corvane"), environment);
        const Startup bare = startOnce(dir + QStringLiteral("/startup_bare"), environment);
        if (real.ms < 0 || bare.ms < 0) {
            std::fprintf(stderr, "start-up case failed\n");
            return 1;
        }
        realMs.push_back(real.ms);
        bareMs.push_back(bare.ms);
        realRss.push_back(real.rssMiB);
        bareRss.push_back(bare.rssMiB);
    }

    bool allOk = true;
    bool ok = false;
    const Figures waits =
        runChild({QStringLiteral("--case"), QStringLiteral("waits")}, environment, &ok);
    allOk &= ok;
    const Figures cut =
        runChild({QStringLiteral("--case"), QStringLiteral("cut")}, environment, &ok);
    allOk &= ok;
    const Figures nv = runChild({QStringLiteral("--case"), QStringLiteral("nv")}, environment, &ok);
    allOk &= ok;
    QProcessEnvironment chinese = environment;
    chinese.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    const Figures print =
        runChild({QStringLiteral("--case"), QStringLiteral("print")}, chinese, &ok);
    allOk &= ok;
    const Figures soak =
        runChild({QStringLiteral("--case"), QStringLiteral("soak")}, environment, &ok);
    allOk &= ok;
    const Figures flood =
        runChild({QStringLiteral("--case"), QStringLiteral("flood")}, environment, &ok);
    allOk &= ok;
    const Figures cliCut =
        runChild({QStringLiteral("--case"), QStringLiteral("cli-cut")}, environment, &ok);
    allOk &= ok;
    const Figures fleet =
        runChild({QStringLiteral("--case"), QStringLiteral("fleet")}, environment, &ok);
    allOk &= ok;
    const Figures listen =
        runChild({QStringLiteral("--case"), QStringLiteral("listen")}, environment, &ok);
    allOk &= ok;

    auto at = [](const Figures& f, const char* key) {
        const auto found = f.find(key);
        return found == f.end() ? 0.0 : found->second;
    };
    const double startRatio = median(realMs) / median(bareMs);
    const double rssDelta = median(realRss) - median(bareRss);
    std::printf("| %-34s | %-22s | %-22s | %-9s | %-26s | %-4s |\n", "what", "Corvane", "baseline",
                "ratio", "goal", "");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(24, '-').c_str(),
                std::string(24, '-').c_str(), std::string(11, '-').c_str(),
                std::string(28, '-').c_str(), std::string(6, '-').c_str());
    row("1 start-up to idle, ms (median)",
        num(median(realMs)) + " [" + num(percentile(realMs, 0)) + "-" + num(percentile(realMs, 1)) +
            "]",
        num(median(bareMs)) + " [" + num(percentile(bareMs, 0)) + "-" + num(percentile(bareMs, 1)) +
            "]",
        num(startRatio), "<= 1.2 x", startRatio <= 1.2);
    row("1 start-up peak RSS, MiB", num(median(realRss)), num(median(bareRss)), "+" + num(rssDelta),
        "<= baseline + 5 MiB", rssDelta <= 5);
    const double connectCpu = at(waits, "connect_cpu_share") * 100;
    const double delayCpu = at(waits, "delay_cpu_share") * 100;
    row("2 CPU in connect timeout, % wall",
        num(connectCpu, 3) + " (max " + num(at(waits, "connect_cpu_share_max") * 100, 3) + ")",
        "3000 ms wall", "-", "<= 1 %", connectCpu <= 1);
    row("2 CPU in Delay_ms(3000), % wall",
        num(delayCpu, 3) + " (max " + num(at(waits, "delay_cpu_share_max") * 100, 3) + ")",
        "3000 ms wall", "-", "<= 1 %", delayCpu <= 1);
    const double cutRatio = at(cut, "cut_median_ms") / at(cut, "cut_plain_median_ms");
    row("3 Cut Paper click to last byte, ms",
        num(at(cut, "cut_median_ms"), 3) + " p99 " + num(at(cut, "cut_p99_ms"), 3),
        num(at(cut, "cut_plain_median_ms"), 3) + " p99 " + num(at(cut, "cut_plain_p99_ms"), 3),
        num(cutRatio), "median <= 1.5 x", cutRatio <= 1.5);
    const double nvRatio = at(nv, "nv_mib_per_s") / at(nv, "nv_plain_mib_per_s");
    row("4 NV 64 MiB read+send, MiB/s", num(at(nv, "nv_mib_per_s"), 1),
        num(at(nv, "nv_plain_mib_per_s"), 1), num(nvRatio), ">= 0.5 x", nvRatio >= 0.5);
    row("4 NV click to last byte, ms",
        num(at(nv, "nv_tool_ms"), 1) + " (read " + num(at(nv, "nv_read_ms"), 1) + ")",
        num(at(nv, "nv_plain_ms"), 1) + " (send " + num(at(nv, "nv_plain_send_ms"), 1) + ")", "-",
        "(detail of row 4)", true);
    row("4 NV peak RSS growth / file size", num(at(nv, "nv_rss_growth_ratio")), "-", "-", "<= 2.5",
        at(nv, "nv_rss_growth_ratio") <= 2.5);
    const double printRatio = at(print, "print_median_ms") / at(print, "print_plain_median_ms");
    row("5 Print 1 MiB zh_CN, ms", num(at(print, "print_median_ms"), 2),
        num(at(print, "print_plain_median_ms"), 2) + " (iconv " +
            num(at(print, "print_iconv_median_ms"), 2) + ")",
        num(printRatio), "<= 1.5 x iconv + send", printRatio <= 1.5);
    const bool exact =
        at(soak, "soak_connections") == 2000 && at(soak, "soak_exact_frames") == 2000;
    row("6 soak: connections / exact frames",
        num(at(soak, "soak_connections"), 0) + " / " + num(at(soak, "soak_exact_frames"), 0),
        "2000 / 2000", "-", "all, in order", exact);
    row("6 soak: RSS KiB at 100 -> 2000",
        num(at(soak, "soak_rss_kib_at_100"), 0) + " -> " + num(at(soak, "soak_rss_kib_at_end"), 0),
        "-", num(at(soak, "soak_rss_kib_at_end") / std::max(1.0, at(soak, "soak_rss_kib_at_100"))),
        "flat", at(soak, "soak_rss_kib_at_end") <= at(soak, "soak_rss_kib_at_100") * 1.05);
    row("6 soak: open files at 100 -> 2000",
        num(at(soak, "soak_files_at_100"), 0) + " -> " + num(at(soak, "soak_files_at_end"), 0), "-",
        "-", "flat", at(soak, "soak_files_at_end") <= at(soak, "soak_files_at_100"));
    row("6 soak: median ms first/last 100",
        num(at(soak, "soak_median_ms_first_100"), 3) + " / " +
            num(at(soak, "soak_median_ms_last_100"), 3),
        "-",
        num(at(soak, "soak_median_ms_last_100") /
            std::max(1e-9, at(soak, "soak_median_ms_first_100"))),
        "flat", true);
    const double floodGrowthMiB =
        (at(flood, "flood_rss_after_kib") - at(flood, "flood_rss_before_kib")) / 1024.0;
    row("7 RSS with 1 GiB sent back, MiB",
        num(at(flood, "flood_rss_after_kib") / 1024.0, 1) + " (" +
            num(at(flood, "flood_mib_per_s"), 0) + " MiB/s read)",
        num(at(flood, "flood_rss_before_kib") / 1024.0, 1) + " before",
        "+" + num(floodGrowthMiB, 1), "flat: <= + 2 MiB", floodGrowthMiB <= 2);
    const double cliRatio = at(cliCut, "cli_cut_median_ms") / at(cliCut, "cli_cut_plain_median_ms");
    row("8 corvane-cli cut, start to exit, ms", num(at(cliCut, "cli_cut_median_ms"), 2),
        num(at(cliCut, "cli_cut_plain_median_ms"), 2) + " plain client", num(cliRatio), "<= 2 x",
        cliRatio <= 2);
    row("8 a QtCore program doing nothing, ms", num(at(cliCut, "cli_cut_qtcore_median_ms"), 2),
        num(at(cliCut, "cli_cut_plain_median_ms"), 2) + " plain client",
        num(at(cliCut, "cli_cut_qtcore_median_ms") / at(cliCut, "cli_cut_plain_median_ms")),
        "(floor of row 8)", true);
    const double fleetMs = at(fleet, "fleet_ms");
    row("8 fleet of 200 (50 silent), ms", num(fleetMs, 0),
        num(at(fleet, "fleet_jobs1_ms"), 0) + " at -j 1",
        num(fleetMs / at(fleet, "fleet_jobs1_ms"), 3), "<= timeout + 500 ms",
        fleetMs <= at(fleet, "fleet_timeout_ms") + 500);
    row("8 fleet against 200 x timeout, ms", num(fleetMs, 0), num(at(fleet, "fleet_bound_ms"), 0),
        num(fleetMs / at(fleet, "fleet_bound_ms"), 3), "(detail of row 8)", true);
    const double listenRatio =
        at(listen, "listen_mib_per_s") / at(listen, "listen_plain_mib_per_s");
    row("9 listen, 64 MiB NV download, MiB/s", num(at(listen, "listen_mib_per_s"), 0),
        num(at(listen, "listen_plain_mib_per_s"), 0) + " plain reader", num(listenRatio),
        ">= 0.5 x", listenRatio >= 0.5);
    const double unreadRatio =
        at(listen, "listen_unread_peak_kib") / at(listen, "listen_download_peak_kib");
    row("9 listen, 1 M unread status requests, peak MiB",
        num(at(listen, "listen_unread_peak_kib") / 1024.0, 1),
        num(at(listen, "listen_download_peak_kib") / 1024.0, 1) + " taking the download",
        num(unreadRatio), "<= 2 x", unreadRatio <= 2);
    const double renderRatio =
        at(listen, "listen_render_mib_per_s") / at(listen, "listen_mib_per_s");
    row("9 listen --render, the download, MiB/s", num(at(listen, "listen_render_mib_per_s"), 0),
        num(at(listen, "listen_mib_per_s"), 0) + " not drawn", num(renderRatio), ">= 0.5 x",
        renderRatio >= 0.5);
    const double receiptsRatio =
        at(listen, "listen_render_receipts_ms") / at(listen, "listen_receipts_ms");
    row("9 listen --render, 2,000 receipts, ms", num(at(listen, "listen_render_receipts_ms"), 0),
        num(at(listen, "listen_receipts_ms"), 0) + " not drawn", num(receiptsRatio), "(detail)",
        true);
    const double renderGrowthMiB =
        (at(listen, "listen_render_peak_kib") - at(listen, "listen_download_peak_kib")) / 1024.0;
    row("9 listen --render, the download, peak MiB",
        num(at(listen, "listen_render_peak_kib") / 1024.0, 1),
        num(at(listen, "listen_download_peak_kib") / 1024.0, 1) + " not drawn",
        "+" + num(renderGrowthMiB, 1), "<= + 32 MiB", renderGrowthMiB <= 32);
    return allOk ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--case"));
    if (at >= 0 && at + 1 < arguments.size())
        return runCase(arguments[at + 1]);
    return drive();
}

#include "core/Catalogue.h"
#include "core/DefaultPrintText.h"
#include "support/CliRun.h"
#include "support/FakePrinter.h"
#include "support/Rows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace Catalogue;
using Behaviour = FakePrinter::Behaviour;

namespace {

Behaviour answering(const char* hex, int delayMs = 0)
{
    return {.statusReplies = QByteArray::fromHex(hex), .statusDelayMs = delayMs};
}

struct SendRow {
    QStringList arguments;
    Id command;
    Input input;
    const char* outcome = "delivered";
};
struct StatusRow {
    const char* name;
    Behaviour printer;
    const char* line;
    int status;
    int requests = 4; // the printer got these, one at a time
    int timeout = 1000;
};

} // namespace

Q_DECLARE_METATYPE(SendRow)
Q_DECLARE_METATYPE(StatusRow)

// corvane-cli end to end: the real process against fake printers on loopback.
class TestCli : public QObject {
    Q_OBJECT
    // Every test has a printer on loopback, reached through at().
    std::unique_ptr<FakePrinter> m_printer;
    QStringList at(const QStringList& arguments) const
    {
        return onLoopback(QString::number(m_printer->port()), arguments);
    }

private slots:
    void init()
    {
        m_printer = std::make_unique<FakePrinter>();
        QVERIFY(m_printer->listen(QHostAddress::LocalHost, 0));
    }
    void cleanup() { m_printer.reset(); }

    void everyCommandSendsItsCatalogueBytes_data()
    {
        addRows<SendRow>(
            {{{"test"}, Id::Test, NoInput{}, "connected"},
             {{"cut"}, Id::Cut, NoInput{}},
             {{"drawer"}, Id::Drawer, NoInput{}},
             {{"--yes", "set-ip", "010.1.0.9"}, Id::SetIp, IPv4{{10, 1, 0, 9}}},
             {{"-y", "set-id", "1-2-3-4-255"}, Id::SetId, EthernetId{{1, 2, 3, 4, 255}}},
             {{"language", "zh-hant"}, Id::Language, Language{1}},
             {{"black-mark", "off"}, Id::BlackMark, BlackMark{false}},
             {{"code-page", "255"}, Id::CodePage, CodePage{255}},
             {{"arm", "ostrik"}, Id::Arm, Arm{ArmBoard::Ostrik}},
             {{"nv-print"}, Id::NvPrint, NoInput{}},
             {{"raw", "1b40", "10 04 01"}, Id::Raw, Bytes{QByteArray::fromHex("1b40100401")}},
             {{"--encoding", "936", "print", "-"}, Id::Print, Text{"中文\r\nb\r\n", 936}}},
            [](const SendRow& row) { return row.arguments.join(u' '); });
    }
    void everyCommandSendsItsCatalogueBytes()
    {
        QFETCH(SendRow, row);
        const CliRun r = runCli(at(QStringList{"--json"} + row.arguments), "中文\nb\n");
        QCOMPARE(r.status, 0);
        const QJsonObject line = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(line.value("outcome").toString(), QString::fromLatin1(row.outcome));
        QCOMPARE(line.value("ok").toBool(), true);
        QCOMPARE(line.value("host").toString(), QStringLiteral("127.0.0.1"));
        const QByteArray expected = wire(sends(row.command, row.input));
        QCOMPARE(line.value("bytes").toInteger(), expected.size());
        QTRY_VERIFY_WITH_TIMEOUT(m_printer->closedByClient(0), kBound);
        QCOMPARE(m_printer->bytes(0).toHex(' '), expected.toHex(' '));
    }

    // Files the tool reads: an NV data file, the default test page, a print file of any size.
    void filesAreSentWhole()
    {
        QTemporaryDir folder;
        QFile nv(folder.filePath("image.bin"));
        const QByteArray image = pattern(4 << 20);
        QVERIFY(nv.open(QIODevice::WriteOnly) && nv.write(image) == image.size());
        nv.close();
        QCOMPARE(runCli(at({"nv-download", nv.fileName()})).status, 0);
        QCOMPARE(runCli(at({"print"})).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_printer->closedByClient(1), kBound);
        QVERIFY(m_printer->bytes(0) == image);
        QCOMPARE(m_printer->bytes(1), defaultPrintText().toLatin1());
    }

    // A refusal says why on standard error; a dry run shows the bytes on standard output.
    void nothingIsSent_data()
    {
        addRows<RefusalRow>({
            {"dry run", "-n -H 127.0.0.2 code-page 20", 0,
             "127.0.0.1\t1F 1B 1F FF 14 0A\n127.0.0.2\t1F 1B 1F FF 14 0A\n"},
            {"dry run asks nothing", "-n set-ip 192.168.1.20", 0,
             "127.0.0.1\t1F 1B 1F 91 00 49 50 C0 A8 01 14\n"},
            {"dry run of status", "-n status", 0,
             "127.0.0.1\t10 04 01 10 04 02 10 04 03 10 04 04\n"},
            {"no command", "", 2, "no command given"},
            {"unknown command", "cutt", 2, "no command \"cutt\""},
            {"unknown option", "--cut cut", 2, "Unknown option 'cut'"},
            {"a name is never looked up", "-H localhost cut", 2, "\"localhost\" is not an IPv4"},
            {"address part above 255", "--yes set-ip 1.2.3.256", 2, "set-ip: \"1.2.3.256\""},
            {"Ethernet ID of six parts", "--yes set-id 0-1-2-3-4-5", 2, "set-id: \"0-1-2-3-4-5\""},
            {"language unknown", "language fr", 2, "zh-hans|zh-hant|ko|ja"},
            {"code page 256", "code-page 256", 2, "0 to 255"},
            {"odd hex", "raw 1b4", 2, "raw: \"1b4\""},
            {"not hex", "raw zz", 2, "\"z\""},
            {"cut takes nothing", "cut now", 2, "cut: takes no arguments"},
            {"missing NV file", "nv-download /nonexistent/TavoNV.bin", 2, "cannot open"},
            {"NV file a folder", "nv-download /", 2, "not a regular file"},
            {"print not UTF-8", "print -", 2, "not UTF-8", "\xff\xfe\xfd"},
            {"bad timeout", "-t 0 cut", 2, "--timeout"},
            {"render to a GIF", "decode --render out.gif", 2, "neither .png nor .pdf"},
            {"paper of 60 mm", "decode --render out.png --paper 60", 2, "neither 80 nor 58"},
            {"bad line in --hosts", "--hosts - cut", 2, "stdin:3: \"10.0.0\"",
             "127.0.0.1\n# a comment\n10.0.0\n127.0.0.1\n"},
            {"set-ip for two printers", "-H 127.0.0.1 -H 127.0.0.2 --yes set-ip 10.0.0.1", 2,
             "exactly one"},
            {"set-ip without a terminal", "set-ip 10.0.0.1", 3, "give --yes"},
        });
    }
    void nothingIsSent()
    {
        QFETCH(RefusalRow, row);
        const CliRun r =
            runCli(at(QProcess::splitCommand(QString::fromUtf8(row.arguments))), row.input);
        QCOMPARE(r.status, row.status);
        QVERIFY2(r.err.contains(QString::fromUtf8(row.says)) || row.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, row.status == 0 ? QByteArray(row.says) : QByteArray());
        QCoreApplication::processEvents(); // a connection made would be accepted by now
        QCOMPARE(m_printer->connectionCount(), 0);
    }

    // What the bytes mean is tst_printerstatus's table; here, how the tool waits and reads.
    void statusReadsEveryAnswerAsItIs_data()
    {
        const char* const ready = "online, paper ok; drawer signal low";
        const char* const silent = "no status: no answer to 10 04 01";
        const Behaviour closes{.onAccept = FakePrinter::Accept::Close, .statusReplies = "\x12"};
        addRows<StatusRow>({
            {"ready", answering("12121212"), ready, 0},
            {"paper end", answering("1A32127E"),
             "offline: printing stopped by paper end, paper end; drawer signal low", 1},
            {"answers nothing", answering(""), silent, 1, 1},
            {"answers garbage", answering("12FF1212"),
             "no status: 10 04 02 was answered FF, which is no status byte", 1, 2},
            {"answers late, within the timeout", answering("12121212", 300), ready, 0, 4, 2000},
            {"answers late, after the timeout", answering("12121212", 1500), silent, 1, 1, 300},
            {"closes at once", closes, silent, 1, 0},
        });
    }
    void statusReadsEveryAnswerAsItIs()
    {
        QFETCH(StatusRow, row);
        m_printer->setBehaviour(row.printer);
        const CliRun r = runCli(at({"-t", QString::number(row.timeout), "status"}));
        QCOMPARE(r.status, row.status);
        QCOMPARE(r.out, "127.0.0.1\t" + QByteArray(row.line) + '\n');
        // Each answer is awaited at most the timeout, and nothing after a missing one.
        QVERIFY2(r.ms < row.timeout * qMax(1, row.requests) + 1000,
                 qPrintable(QString::number(r.ms)));
        if (row.printer.onAccept != FakePrinter::Accept::Close)
            QTRY_VERIFY_WITH_TIMEOUT(m_printer->closedByClient(0), kBound);
        QCOMPARE(m_printer->bytes(0).toHex(' '),
                 QByteArray::fromHex("100401100402100403100404").left(3 * row.requests).toHex(' '));
    }

    void statusJsonHasEveryConditionAndTheBytes()
    {
        m_printer->setBehaviour(answering("1A521A1E"));
        const CliRun r = runCli(at({"--json", "status"}));
        QCOMPARE(r.status, 1);
        QJsonObject line = QJsonDocument::fromJson(r.out).object();
        QVERIFY(line.take("ms").toInteger() >= 0);
        const char* expected = R"({"host": "127.0.0.1",
            "command": "status", "outcome": "delivered", "ok": false, "hex": "1A 52 1A 1E",
            "summary": "offline: error, autocutter error, paper near end; drawer signal low",
            "offline": true, "drawer_signal_high": false, "cover_open": false,
            "feed_button": false, "paper_end_stop": false, "error": true, "autocutter_error": true,
            "unrecoverable_error": false, "recoverable_error": false, "paper_near_end": true,
            "paper_end": false})";
        QCOMPARE(line, QJsonDocument::fromJson(expected).object());
    }

    // Exit status 0 only when every printer did as told, and for status could print too; one
    // unreachable is told on standard error, in the window's words.
    void failuresAreToldAndCounted()
    {
        FakePrinter noPaper;
        m_printer->setBehaviour(answering("12121212"));
        noPaper.setBehaviour(answering("12121272"));
        QVERIFY(noPaper.listen(QHostAddress(QStringLiteral("127.0.0.2")), m_printer->port()));
        QCOMPARE(runCli(at({"-H", "127.0.0.1", "status"})).status, 0);
        const QStringList three = {"-H", "127.0.0.2", "-H", "127.0.0.3"};
        const CliRun cut = runCli(at(three + QStringList{"cut"}));
        const CliRun status = runCli(at(three + QStringList{"status"}));
        QCOMPARE(cut.status, 1);
        QCOMPARE(status.status, 1);
        QVERIFY2(cut.out.startsWith("127.0.0.1\tdelivered\t"), cut.out.constData());
        QVERIFY2(status.out.contains("127.0.0.2\tonline, paper end; drawer signal low\n"),
                 status.out.constData());
        for (const CliRun& r : {cut, status})
            QVERIFY2(r.err.contains("127.0.0.3\trefused\t") &&
                         r.err.contains("Connect printer failed!"),
                     qPrintable(r.err));
        QVERIFY2(cut.err.contains("3 printers: 2 succeeded, 1 failed"), qPrintable(cut.err));
        QVERIFY2(status.err.contains("3 printers: 1 online with paper, 2 not"),
                 qPrintable(status.err));
    }

    // The question of the window, asked on a terminal.
    void setIpAsksOnATerminal_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("status");
        QTest::newRow("yes") << QByteArray("y\n") << 0;
        QTest::newRow("no") << QByteArray("n\n") << 3;
        QTest::newRow("nothing") << QByteArray("\n") << 3;
    }
    void setIpAsksOnATerminal()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, status);
        int master = -1, slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        QProcess process;
        process.setChildProcessModifier([slave] {
            ::setsid();
            ::dup2(slave, STDIN_FILENO);
            ::ioctl(STDIN_FILENO, TIOCSCTTY, 0);
        });
        process.start(QStringLiteral(CORVANE_CLI), at({"set-ip", "10.1.2.3"}));
        ::close(slave);
        QString shown;
        QTRY_VERIFY_WITH_TIMEOUT(
            (shown += QString::fromUtf8(process.readAllStandardError())).endsWith("[y/N] "),
            kBound);
        QCOMPARE(shown, QStringLiteral("The printer IP address will be modified as 10.1.2.3\n"
                                       "Are you sure? [y/N] "));
        QCOMPARE(::write(master, answer.constData(), size_t(answer.size())), answer.size());
        QVERIFY(process.waitForFinished(kBound));
        ::close(master);
        QCOMPARE(process.exitCode(), status);
        if (status == 0)
            QTRY_COMPARE_WITH_TIMEOUT(m_printer->bytes(0),
                                      wire(sends(Id::SetIp, IPv4{{10, 1, 2, 3}})), kBound);
        else
            QCOMPARE(m_printer->connectionCount(), 0);
    }

    // A fleet with silent and refusing printers takes about one timeout, not one per printer,
    // and never holds more connections open than --jobs allows.
    void fleetTakesAboutOneTimeout()
    {
        QTemporaryDir folder;
        QFile list(folder.filePath("hosts.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        std::vector<std::unique_ptr<FakePrinter>> printers;
        std::vector<std::unique_ptr<SilentListener>> silent;
        for (int i = 0; i < 200; ++i) {
            const QString host = QStringLiteral("127.0.1.%1").arg(i + 1);
            list.write(host.toLatin1() + "\n");
            if (i % 4 == 0) {
                silent.push_back(std::make_unique<SilentListener>());
                QVERIFY(silent.back()->listen(QHostAddress(host), 9300));
            } else if (i % 4 != 1) { // every fourth refuses
                printers.push_back(std::make_unique<FakePrinter>());
                QVERIFY(printers.back()->listen(QHostAddress(host), 9300));
            }
        }
        list.close();

        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(CORVANE_CLI), {"--hosts", list.fileName(), "-p", "9300", "-t",
                                                    "2000", "-j", "64", "--json", "cut"});
        QVERIFY(process.waitForStarted(kBound));
        const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
        qsizetype most = 0;
        while (process.state() != QProcess::NotRunning && clock.elapsed() < kBound) {
            most = qMax(most, QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot).size());
            QTest::qWait(10); // the fake printers read meanwhile
        }
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(elapsed >= 2000 && elapsed < 3500, qPrintable(QString::number(elapsed)));
        QVERIFY2(most <= 64 + 16, qPrintable(QString::number(most)));
        QMap<QString, int> outcomes;
        for (const QJsonObject& line : jsonLines(process.readAllStandardOutput()))
            ++outcomes[line.value("outcome").toString()];
        QCOMPARE(outcomes,
                 (QMap<QString, int>{{"delivered", 100}, {"refused", 50}, {"timed-out", 50}}));
        for (const auto& printer : printers)
            QTRY_COMPARE_WITH_TIMEOUT(printer->bytes(0), wire(sends(Id::Cut)), kBound);
    }

    void interruptEndsAtOnceWithTheResultsSoFar()
    {
        SilentListener silent;
        QVERIFY(silent.listen(QHostAddress("127.0.2.1"), m_printer->port()));
        QProcess process;
        process.start(QStringLiteral(CORVANE_CLI),
                      {"-p", QString::number(m_printer->port()), "-H", "127.0.0.1", "-H",
                       "127.0.2.1", "-t", "10000", "cut"});
        QTRY_VERIFY_WITH_TIMEOUT(
            process.bytesAvailable() > 0 || process.state() == QProcess::NotRunning, kBound);
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(kBound));
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QVERIFY(process.readAllStandardOutput().startsWith("127.0.0.1\tdelivered"));
    }

    // The manual and --help must not fall behind the program.
    void helpAndManualNameEveryCommandAndOption()
    {
        QFile file(QStringLiteral(CORVANE_CLI_MAN));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString manual = QString::fromUtf8(file.readAll()).remove(u'\\');
        const CliRun help = runCli({"--help"});
        QCOMPARE(help.status, 0);
        QStringList names;
        for (const Command& command : all())
            names << QString::fromLatin1(command.name);
        for (const QByteArray& line : help.out.split('\n')) {
            if (line.startsWith("  -"))
                names << QString::fromLatin1(line.mid(line.indexOf("--")).split(' ').first());
            else if (line.startsWith("  ") && !line.startsWith("   "))
                names << QString::fromLatin1(line.trimmed().split(' ').first());
        }
        for (const QString& name : std::as_const(names)) {
            QVERIFY2(help.out.contains(name.toLatin1()), qPrintable(name));
            QVERIFY2(manual.contains(name), qPrintable(name));
        }
    }

    void closedOutputIsNoCrash()
    {
        QTemporaryDir folder;
        QFile list(folder.filePath("hosts.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20000; ++i)
            list.write("127.0.0.1\n");
        list.close();
        QProcess process;
        process.start(QStringLiteral(CORVANE_CLI), {"-n", "--hosts", list.fileName(), "cut"});
        QVERIFY(process.waitForReadyRead(kBound));
        process.closeReadChannel(QProcess::StandardOutput);
        QVERIFY(process.waitForFinished(kBound));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

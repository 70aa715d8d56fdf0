#include "core/Catalogue.h"
#include "core/DefaultPrintText.h"
#include "support/CliRun.h"
#include "support/FakePrinter.h"
#include "support/Listen.h"
#include "support/Rows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <optional>
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

// An online printer that answers GS r 1 so much later, with paper present, after what comes
// first.
Behaviour confirming(int lateMs, const QByteArray& first = {})
{
    return {.statusReplies = "\x12\x12",
            .replies = {{QByteArray::fromHex("1D7201"), first + '\0', lateMs}}};
}

struct SendRow {
    QStringList arguments;
    Id command;
    Input input;
    const char* outcome = "delivered";
};
struct ConfirmRow {
    const char* name;
    const char* listen; // listen's options, as a shell splits them; nullptr: the fake printer
    Behaviour printer;  // for what listen cannot do
    QStringList command;
    const char* outcome;
    int status;
    const char* message = nullptr;
    const char* asked = ""; // after the job and GS r 1, to say why
    int signal = 0;         // sent once DLE EOT 2 has been asked
    int confirmMs = 300;
    QByteArray input = "Total\n";
};
struct StatusRow {
    const char* name;
    Behaviour printer;
    const char* line;
    int status;
    int requests = 4; // the printer got these, one at a time
    int timeout = 1000;
    bool desk = false; // asks the desk printer instead, with --identify; PORT is its port
};

struct CompletionRow {
    const char* name;
    const char* typed;
    const char* offered;
};

} // namespace

Q_DECLARE_METATYPE(CompletionRow)
Q_DECLARE_METATYPE(SendRow)
Q_DECLARE_METATYPE(StatusRow)
Q_DECLARE_METATYPE(ConfirmRow)

// corvane-cli end to end: the real process against fake printers on loopback.
class TestCli : public QObject {
    Q_OBJECT
    // Every test has a printer on loopback, reached through at().
    std::unique_ptr<FakePrinter> m_printer;
    QStringList at(const QStringList& arguments) const
    {
        return onLoopback(QString::number(m_printer->port()), arguments);
    }

    // What bash offers for what was typed after corvane-cli, the last word being typed: the
    // completion script as bash-completion loads it, asking this build's corvane-cli, in a
    // folder that holds "a file" and "folder". "=" is a word of its own, as bash splits it.
    static QStringList completed(const QString& typed)
    {
        QTemporaryDir dir;
        QFile(dir.filePath("a file")).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("folder");
        QProcess bash;
        bash.setWorkingDirectory(dir.path());
        bash.start("bash", QStringList{"-c",
                                       "source /usr/share/bash-completion/bash_completion; "
                                       "source \"$0\"; cli=$1 COMP_LINE=\"corvane-cli $2\"; "
                                       "shift 2; COMP_WORDS=(corvane-cli \"$@\") COMP_CWORD=$# "
                                       "COMP_POINT=${#COMP_LINE}; _comp_corvane_cli \"$cli\"; "
                                       "printf '%s\\n' \"${COMPREPLY[@]}\"",
                                       CORVANE_COMPLETION, CORVANE_CLI,
                                       QString(typed).replace(QStringLiteral(" = "), "=")} +
                               typed.split(u' '));
        bash.closeWriteChannel();
        if (!bash.waitForFinished(kBound) || bash.exitCode() != 0)
            return {"bash failed:", QString::fromUtf8(bash.readAllStandardError())};
        QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n');
        offered.removeAll(QString());
        offered.sort();
        return offered;
    }

private slots:
    void init()
    {
        m_printer = std::make_unique<FakePrinter>();
        QVERIFY(m_printer->listen(QHostAddress::LocalHost, 0));
    }
    void cleanup() { m_printer.reset(); }

    // How words become bytes is tst_catalogue's table; here, a few go the whole way.
    void commandsSendTheirCatalogueBytes_data()
    {
        addRows<SendRow>(
            {{{"test"}, Id::Test, NoInput{}, "connected"},
             {{"--yes", "set-ip", "010.1.0.9"}, Id::SetIp, IPv4{{10, 1, 0, 9}}},
             {{"raw", "1b40", "10 04 01"}, Id::Raw, Bytes{QByteArray::fromHex("1b40100401")}},
             {{"--encoding", "shift_jis", "print", "-"}, Id::Print, Text{"中文\r\nb\r\n", 932}},
             {{"print"}, Id::Print, Text{defaultPrintText(), 1252}}},
            [](const SendRow& row) { return row.arguments.join(u' '); });
    }
    void commandsSendTheirCatalogueBytes()
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

    // A refusal says why on standard error; a dry run shows the bytes on standard output.
    void nothingIsSent_data()
    {
        addRows<RefusalRow>({
            {"dry run", "-n -H 127.0.0.2 code-page 20", 0,
             "127.0.0.1\t1F 1B 1F FF 14 0A\n127.0.0.2\t1F 1B 1F FF 14 0A\n"},
            {"dry run asks nothing", "-n set-ip 192.168.1.20", 0,
             "127.0.0.1\t1F 1B 1F 91 00 49 50 C0 A8 01 14\n"},
            {"dry run of status", "-n status --identify", 0,
             "127.0.0.1\t10 04 01 10 04 02 10 04 03 10 04 04 1D 49 42 1D 49 43 1D 49 41 1D 49 "
             "44\n"},
            {"dry run with --confirm", "-n --confirm cut", 0, "127.0.0.1\t1D 56 42 00 1D 72 01\n"},
            {"--confirm for a command that prints nothing", "--confirm language ja", 2,
             "language does not take --confirm"},
            {"--confirm-timeout alone", "--confirm-timeout 50 cut", 2, "is for --confirm"},
            {"the same printer named twice is worked on once",
             "-n -H 127.000.000.001 -H 127.0.0.2 --hosts - cut", 0,
             "127.0.0.1\t1D 56 42 00\n127.0.0.2\t1D 56 42 00\n", "127.0.0.2\n"},
            {"no command", "", 2, "Usage: corvane-cli [options] COMMAND"},
            {"unknown command", "cutt", 2, "no command \"cutt\""},
            {"unknown option", "--cut cut", 2, "there is no option --cut"},
            {"an option the command does not take", "drawer --count 3 --save X --bind 1.2.3.4", 2,
             "drawer does not take --count"},
            {"a name is never looked up", "-H localhost cut", 2, "\"localhost\" is not an IPv4"},
            {"a refused input", "--confirm --confirm-timeout 0 cut", 2, "\"0\" is not a number"},
            {"bad timeout", "-t 0 cut", 2, "--timeout"},
            {"timeout with a blank", "-t \" 5\" cut", 2, "--timeout: \" 5\" is not a number"},
            {"timeout with a plus", "-t +5 cut", 2, "--timeout: \"+5\" is not a number"},
            {"code page the system does not convert", "--encoding 12345 print", 2,
             "--encoding: code page 12345"},
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

    // Printed, or why not: GS r 1 behind the job, then DLE EOT 2 and 1 when it is not answered;
    // from the desk printer in every state it can be put in, and a fake one for the rest.
    void confirmTellsWhatBecameOfTheJob_data()
    {
        const QByteArray garbled = QByteArray::fromHex("FF10");
        const Behaviour half{.replies = {{QByteArray::fromHex("100402"), "\x12"}}};
        const char* const paperEnd = "10 04 02 was answered 32: printing stopped by paper end";
        // clang-format off
        addRows<ConfirmRow>({
            {"online", "", {}, {"cut"}, "printed", 0},
            {"paper near end", "--status-reply paper-near-end", {}, {"drawer"}, "printed", 0, "1D 72 01 was answered 03: paper near end"},
            {"paper out", "--fault paper-out", {}, {"print", "-"}, "paper-out", 1, paperEnd, "10 04 02"},
            {"paper out mid-receipt", "--fault paper-out-after=4", {}, {"print", "-"}, "paper-out", 1, paperEnd, "10 04 02"},
            {"cover open", "--fault cover-open", {}, {"nv-print"}, "cover-open", 1, "10 04 02 was answered 16: cover open", "10 04 02"},
            {"offline", "--fault offline", {}, {"raw", "1b40"}, "offline", 1, "10 04 02 was answered 12: no cause told; 10 04 01 was answered 1A: offline", "10 04 02 10 04 01"},
            {"answers nothing", "--fault no-reply", {}, {"cut"}, "no-confirmation", 1, "no answer to 10 04 02 within 1000 ms", "10 04 02"},
            {"takes the job, then resets", "--fault drop-after=3", {}, {"cut"}, "disconnected", 1, "the connection ended before 1D 72 01 was answered"},
            // GS r 1 answered late, within the time its buffer takes to print: 2 s of bytes.
            {"slow", "--fault slow=3000", {}, {"print", "-"}, "printed", 0, nullptr, "", 0, 3000, QByteArray(6000, 'x')},
            // Regressions: a printer that stopped reading for longer than --confirm-timeout was
            // given up as send-failed; Ctrl+C counted the requests asked to say why as bytes of
            // the job ("10 of 7").
            {"a printer that pauses while taking the job is not given up", nullptr, {.onAccept = FakePrinter::Accept::Hold, .replies = confirming(0).replies}, {"print", "-"}, "printed", 0, nullptr, "", 0, 300, QByteArray(1 << 20, 'x')},
            {"Ctrl+C while waiting tells the job's bytes alone", "--fault no-reply", {}, {"cut"}, "interrupted", 130, "interrupted after 7 of 7 bytes", "10 04 02", SIGINT},
            {"answers only after the bound", nullptr, confirming(5000), {"cut"}, "no-confirmation", 1, "10 04 02 was answered 12: no cause told; 10 04 01 was answered 12: online", "10 04 02 10 04 01"},
            // A byte whose fixed bits are wrong is no answer, here none of paper end.
            {"garbage before the answer", nullptr, confirming(0, garbled), {"cut"}, "printed", 0},
            {"answers half of what it is asked", nullptr, half, {"cut"}, "no-confirmation", 1, "10 04 02 was answered 12: no cause told; no answer to 10 04 01 within 1000 ms", "10 04 02 10 04 01"},
            {"floods garbage back", nullptr, {.floodBack = qint64(64) << 20}, {"cut"}, "no-confirmation", 1, "no answer to 10 04 02 within 1000 ms", "10 04 02"},
        });
        // clang-format on
    }
    void confirmTellsWhatBecameOfTheJob()
    {
        QFETCH(ConfirmRow, row);
        QTemporaryDir dir;
        std::optional<Listen> listen;
        if (row.listen)
            listen.emplace(QStringList{"--count", "1", "--save", dir.path()} +
                           QProcess::splitCommand(QString::fromLatin1(row.listen)));
        QString port = listen ? listen->port() : QString::number(m_printer->port());
        QVERIFY(!port.isEmpty());
        m_printer->setBehaviour(row.printer);
        const CliRun r =
            runCli(onLoopback(port, QStringList{"--json", "--confirm", "--confirm-timeout",
                                                QString::number(row.confirmMs), "-t", "1000"} +
                                        row.command),
                   row.input, [&](QProcess& cli) {
                       if (row.signal && listen->shows("DLE EOT 2"))
                           ::kill(pid_t(cli.processId()), row.signal);
                       // The tool goes on waiting while the printer does not read for a second.
                       const auto ended = [&] { return cli.state() == QProcess::NotRunning; };
                       if (row.printer.onAccept == FakePrinter::Accept::Hold) {
                           QVERIFY(!QTest::qWaitFor(ended, 1000));
                           m_printer->startReading();
                       }
                   });
        QCOMPARE(r.status, row.status);
        const QJsonObject line = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(line["outcome"].toString(), QString::fromLatin1(row.outcome));
        QCOMPARE(line["ok"].toBool(), row.status == 0);
        // What was asked to say why follows the silence after GS r 1.
        const QString why =
            *row.asked && !row.signal ? "no answer to 1D 72 01 within 300 ms; " : QString();
        QCOMPARE(line["message"].toString(), row.message ? why + row.message : QString());
        // The wait is bounded: GS r 1's, then each of DLE EOT 2 and 1.
        QVERIFY2(r.ms < row.confirmMs + 2 * 1000 + 1000, qPrintable(QString::number(r.ms)));
        // Exactly what the dry run shows, then what was asked to say why; listen's capture of a
        // connection it reset holds what it read before.
        const CliRun shown =
            runCli(onLoopback(port, QStringList{"-n", "--confirm"} + row.command), row.input);
        const QByteArray sent =
            (shown.out.split('\t').value(1).trimmed() + ' ' + row.asked).trimmed();
        QByteArray got;
        if (listen) {
            QCOMPARE(listen->finish(), 0);
            QFile capture(QDir(dir.path()).filePath("connection-0001.bin"));
            QVERIFY(capture.open(QIODevice::ReadOnly));
            got = capture.readAll().toHex(' ').toUpper();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(m_printer->closedByClient(0), kBound);
            got = m_printer->bytes(0).toHex(' ').toUpper();
        }
        const bool reset = row.outcome == QLatin1String("disconnected");
        QCOMPARE(got, reset ? sent.left(qMax<qsizetype>(got.size(), 1)) : sent);
    }

    // What the bytes mean is tst_printerstatus's table; here, how the tool waits and reads.
    void statusReadsEveryAnswerAsItIs_data()
    {
        const char* const ready = "online, paper ok; drawer signal low";
        const char* const silent = "no status: no answer to 10 04 01";
        const char* const desk = "online, paper near end; drawer signal low\tmaker Corvane, model "
                                 "desk printer, firmware " CORVANE_VERSION ", serial CVDPORT";
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
            {"the desk printer names itself", {}, desk, 0, 8, 1000, true},
        });
    }
    void statusReadsEveryAnswerAsItIs()
    {
        QFETCH(StatusRow, row);
        m_printer->setBehaviour(row.printer);
        std::optional<Listen> desk;
        if (row.desk)
            desk.emplace(QStringList{"--status-reply", "paper-near-end"});
        const QString port = desk ? desk->port() : QString::number(m_printer->port());
        const CliRun r = runCli(onLoopback(port, {"-t", QString::number(row.timeout), "status"}) +
                                QStringList(row.desk ? 1 : 0, "--identify"));
        QCOMPARE(r.status, row.status);
        QCOMPARE(QString::fromUtf8(r.out),
                 "127.0.0.1\t" +
                     QString::fromLatin1(row.line).replace("PORT", port.rightJustified(5, u'0')) +
                     u'\n');
        // Each answer is awaited at most the timeout, and nothing after a missing one.
        QVERIFY2(r.ms < row.timeout * qMax(1, row.requests) + 1000,
                 qPrintable(QString::number(r.ms)));
        if (row.desk)
            return; // what identifying asks is the dry run's row
        if (row.printer.onAccept != FakePrinter::Accept::Close)
            QTRY_VERIFY_WITH_TIMEOUT(m_printer->closedByClient(0), kBound);
        QCOMPARE(m_printer->bytes(0).toHex(' '),
                 QByteArray::fromHex("100401100402100403100404").left(3 * row.requests).toHex(' '));
    }

    // Every line has every key; what a printer that was not reached cannot tell is null, and
    // so is what a printer left half said: it was asked nothing more.
    void statusJsonHasEveryConditionAndTheBytes()
    {
        Behaviour printer = answering("1A521A1E");
        const auto info = [](char n) { return QByteArray("\x1dI") + n; };
        // The model comes late, behind stray status bytes; the firmware never ends.
        printer.replies = {{info(66), QByteArray("_Corvane", 9)},
                           {info(67), QByteArray("\x12\x12_Desk\x1b", 9), 100},
                           {info(65), "_1.0"}};
        m_printer->setBehaviour(printer);
        const CliRun r =
            runCli(at({"--json", "-H", "127.0.0.3", "-t", "500", "status", "--identify"}));
        QCOMPARE(r.status, 1);
        QList<QJsonObject> lines = jsonLines(r.out);
        QCOMPARE(lines.size(), 2);
        std::sort(lines.begin(), lines.end(), [](const QJsonObject& a, const QJsonObject& b) {
            return a["host"].toString() < b["host"].toString();
        });
        const char* expected = R"({"host": "127.0.0.1",
            "command": "status", "outcome": "answered", "ok": false, "hex": "1A 52 1A 1E",
            "message": null,
            "summary": "offline: error, autocutter error, paper near end; drawer signal low",
            "offline": true, "drawer_signal_high": false, "cover_open": false,
            "feed_button": false, "paper_end_stop": false, "error": true, "autocutter_error": true,
            "unrecoverable_error": false, "recoverable_error": false, "paper_near_end": true,
            "paper_end": false, "maker": "Corvane", "model": "Desk\\x1b", "firmware": null,
            "serial": null})";
        const QJsonObject answered = QJsonDocument::fromJson(expected).object();
        // Time and acknowledged bytes are as the system tells them.
        for (QJsonObject& line : lines)
            QVERIFY(line.take("ms").toInteger() >= 0 && line.take("bytes").toInteger() >= 0);
        QCOMPARE(lines[0], answered);
        QCOMPARE(lines[1].keys(), answered.keys());
        for (const QString& key : answered.keys())
            QVERIFY2(!answered[key].isBool() || key == u"ok" || lines[1][key].isNull(),
                     qPrintable(key));
        QVERIFY(lines[1]["summary"].isNull() && lines[1]["hex"] == "" &&
                lines[1]["maker"].isNull());
        QCOMPARE(lines[1]["outcome"], "refused");
        QCOMPARE(m_printer->bytes(0).toHex(' '),
                 "10 04 01 10 04 02 10 04 03 10 04 04 1d 49 42 1d 49 43 1d 49 41");
        const CliRun line = runCli(at({"-t", "500", "status", "--identify"}));
        QCOMPARE(line.out, "127.0.0.1\toffline: error, autocutter error, paper near end; drawer "
                           "signal low\tmaker Corvane, model Desk\\x1b\n");
    }

    // Exit status 0 only when every printer did as told, for status could print too, and with
    // --confirm printed; one unreachable is told on standard error, in the window's words. A
    // fleet confirms in parallel: the slowest sets the time, not their sum.
    void failuresAreToldAndCounted()
    {
        const Listen online({"--bind", "127.0.0.1"});
        const QString port = online.port();
        const Listen noPaper({"--bind", "127.0.0.2", "-p", port, "--fault", "paper-out"});
        const Listen coverOpen({"--bind", "127.0.0.4", "-p", port, "--fault", "cover-open"});
        QVERIFY(!noPaper.port().isEmpty() && !coverOpen.port().isEmpty());
        const QStringList three = {"-H", "127.0.0.2", "-H", "127.0.0.3"};
        const CliRun cut = runCli(onLoopback(port, three + QStringList{"cut"}));
        const CliRun status = runCli(onLoopback(port, three + QStringList{"status"}));
        const CliRun confirm =
            runCli(onLoopback(port, three + QStringList{"-H", "127.0.0.4", "--confirm",
                                                        "--confirm-timeout", "1000", "cut"}));
        QCOMPARE(cut.status, 1);
        QCOMPARE(status.status, 1);
        QCOMPARE(confirm.status, 1);
        QVERIFY2(confirm.ms < 2 * 1000, qPrintable(QString::number(confirm.ms)));
        QVERIFY2(cut.out.startsWith("127.0.0.1\tdelivered\t"), cut.out.constData());
        QVERIFY2(confirm.out.startsWith("127.0.0.1\tprinted\t"), confirm.out.constData());
        QVERIFY2(status.out.contains("127.0.0.2\toffline: printing stopped by paper end, paper "
                                     "end; drawer signal low\n"),
                 status.out.constData());
        for (const CliRun& r : {cut, status, confirm})
            QVERIFY2(r.err.contains("127.0.0.3\trefused\t") &&
                         r.err.contains("Connect printer failed!"),
                     qPrintable(r.err));
        QVERIFY2(cut.err.contains("3 printers: 2 succeeded, 1 failed"), qPrintable(cut.err));
        QVERIFY2(status.err.contains("3 printers: 1 online with paper, 2 not"),
                 qPrintable(status.err));
        for (const char* told : {"127.0.0.2\tpaper-out\t", "127.0.0.4\tcover-open\t",
                                 "4 printers: 1 printed, 3 did not"})
            QVERIFY2(confirm.err.contains(QLatin1String(told)), qPrintable(confirm.err));
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
        QCOMPARE(shown, QStringLiteral("Change 127.0.0.1 to 10.1.2.3?\n"
                                       "The printer IP address will be modified as 10.1.2.3\n"
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

    // Regression: a signal mid-fleet listed only the printers done, exited 130 for Ctrl+C
    // alone, and left SIGTERM and SIGHUP unhandled.
    void signalMidFleetReportsEveryPrinter_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalMidFleetReportsEveryPrinter()
    {
        QFETCH(int, signal);
        SilentListener silent;
        FakePrinter holding;
        holding.setBehaviour({.onAccept = FakePrinter::Accept::Hold});
        QVERIFY(silent.listen(QHostAddress("127.0.2.1"), m_printer->port()));
        QVERIFY(holding.listen(QHostAddress("127.0.2.2"), m_printer->port()));
        // Two at once: the last printer is never begun while the others hold their places.
        QProcess process;
        process.start(QStringLiteral(CORVANE_CLI),
                      at({"-H", "127.0.2.1", "-H", "127.0.2.2", "-H", "127.0.2.3", "-j", "2", "-t",
                          "10000", "--json", "print", "-"}));
        process.write(QByteArray(1 << 20, 'x'));
        process.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(process.bytesAvailable() > 0 && holding.connectionCount() == 1,
                                 kBound);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(kBound));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QMap<QString, QJsonObject> lines;
        for (const QJsonObject& line : jsonLines(process.readAllStandardOutput()))
            lines.insert(line["host"].toString(), line);
        QCOMPARE(lines.keys(), QStringList({"127.0.0.1", "127.0.2.1", "127.0.2.2", "127.0.2.3"}));
        QCOMPARE(lines["127.0.0.1"]["outcome"].toString(), QStringLiteral("delivered"));
        for (const char* host : {"127.0.2.1", "127.0.2.2", "127.0.2.3"}) {
            QCOMPARE(lines[host]["outcome"].toString(), QStringLiteral("interrupted"));
            QCOMPARE(lines[host]["ok"].toBool(true), false);
        }
        // The held printer's system took some of the file before it stopped reading.
        QVERIFY(lines["127.0.2.2"]["bytes"].toInteger() > 0);
        QCOMPARE(lines["127.0.2.3"]["bytes"].toInteger(), 0);
    }

    // The manual, each command's help and the shell's completion must not fall behind the
    // program, and a command's help tells what that command takes (regression: decode listed
    // -H, --jobs and --yes, and find said 1000 in its text and 3000 in its list).
    void helpManualAndCompletionNameEveryCommandAndOption()
    {
        QFile file(QStringLiteral(CORVANE_CLI_MAN));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString manual = QString::fromUtf8(file.readAll()).remove(u'\\');
        const CliRun general = runCli({"help"});
        QCOMPARE(general.status, 0);
        QMap<QString, QByteArray> helps;
        for (const QByteArray& line : general.out.split('\n')) {
            if (line.startsWith("  ") && !line.startsWith("  -") && !line.startsWith("   "))
                helps.insert(QString::fromLatin1(line.trimmed().split(' ').first()), {});
        }
        QCOMPARE(helps.size(), qsizetype(all().size()) + 5);
        QCOMPARE(completed(""), helps.keys());
        for (auto help = helps.begin(); help != helps.end(); ++help) {
            const CliRun r = runCli({help.key(), "--help"});
            QCOMPARE(r.status, 0);
            help.value() = r.out;
            QVERIFY2(manual.contains(help.key()), qPrintable(help.key()));
            QStringList options;
            for (const QByteArray& line : r.out.split('\n')) {
                const QString option =
                    QString::fromLatin1(line.mid(line.indexOf("--")).split(' ')[0]);
                QVERIFY2(!line.startsWith("  -") || manual.contains(option), qPrintable(option));
                if (line.startsWith("  -"))
                    options << option;
            }
            options.sort();
            if (help.key() != u"help")
                QCOMPARE(completed(help.key() + " --"), options);
        }
        QVERIFY(helps["find"].contains("(default 1000)") &&
                helps["find"].contains("(default 256)"));
        QVERIFY(!helps["find"].contains("3000") && !helps["cut"].contains("--yes"));
        for (const char* option : {"--host", "--jobs", "--yes"})
            QVERIFY2(!helps["decode"].contains(option), option);
        for (const char* told : {"--yes", "1F 1B 1F 91 00 49 50 C0 A8 7B C8", "exactly one",
                                 "Change 192.168.123.100 to 192.168.123.200?"})
            QVERIFY2(helps["set-ip"].contains(told), told);
    }

    // Values are offered where the program has a fixed list, and paths for a file or folder.
    void completionOffersValuesAndPaths_data()
    {
        // What was typed after corvane-cli, words split as bash splits them, and what is
        // offered, sorted and joined by commas.
        addRows<CompletionRow>({
            {"language", "language ", "ja,ko,zh-hans,zh-hant"},
            {"arm after options", "-nH 10.0.0.1 arm ", "ostrik,velmar"},
            {"one argument only", "black-mark on ", ""},
            {"--status-reply=", "listen --status-reply = p", "paper-near-end,paper-out"},
            {"--paper", "decode --render r.png --paper ", "58,80"},
            {"a file", "print ", "a file,folder"},
            {"a folder", "listen --save ", "folder"},
            {"a number", "-t ", ""},
        });
    }
    void completionOffersValuesAndPaths()
    {
        QFETCH(CompletionRow, row);
        QCOMPARE(completed(QString::fromUtf8(row.typed)).join(u','),
                 QString::fromUtf8(row.offered));
    }

    // Output that is lost is no success: a reader that went away is told by the exit status
    // alone, a failed write on standard error too (regression: both exited 0).
    void lostOutputIsNoSuccess_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("reader gone") << false;
        QTest::newRow("/dev/full") << true;
    }
    void lostOutputIsNoSuccess()
    {
        QFETCH(bool, full);
        QProcess process, head; // | head -c 100
        if (full)
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        else
            process.setStandardOutputProcess(&head);
        process.start(QStringLiteral(CORVANE_CLI), {"decode", "-"});
        if (!full)
            head.start(QStringLiteral("head"), {"-c", "100"});
        process.write(QByteArray(1 << 21, '\0')); // a line for each 1024 bytes
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(kBound) && (full || head.waitForFinished(kBound)));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), full ? 1 : 141);
        QCOMPARE(process.readAllStandardError(),
                 full ? "corvane-cli: writing to standard output failed: No space left on device\n"
                      : "");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

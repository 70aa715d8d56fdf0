#include "support/CliRun.h"
#include "support/FakePrinter.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kBound = 20000;
const QByteArray kAllRequests = QByteArray::fromHex("100401100402100403100404");

using Behaviour = FakePrinter::Behaviour;

Behaviour answering(const char* hex, int delayMs = 0)
{
    return {.statusReplies = QByteArray::fromHex(hex), .statusDelayMs = delayMs};
}

} // namespace

Q_DECLARE_METATYPE(FakePrinter::Behaviour)

// corvane-cli status against printers that answer every way a printer can, or not at all.
class TestStatus : public QObject {
    Q_OBJECT
private slots:
    // What the bytes mean is tst_printerstatus's table; here, how the tool waits and reads.
    void everyAnswerIsReadAsItIs_data()
    {
        QTest::addColumn<Behaviour>("printer");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("requests"); // the printer got these, one at a time
        auto row = [](const char* name, const Behaviour& printer, const char* line, int status,
                      int requests = 4, const char* timeout = "1000") {
            QTest::newRow(name) << printer << QString::fromLatin1(timeout)
                                << QString::fromUtf8(line) << status << requests;
        };
        row("ready", answering("12121212"), "online, paper ok; drawer signal low", 0);
        row("paper end", answering("1A32127E"),
            "offline: printing stopped by paper end, paper end; drawer signal low", 1);
        row("answers nothing", answering(""), "no status: no answer to 10 04 01", 1, 1);
        row("answers garbage", answering("12FF1212"),
            "no status: 10 04 02 was answered FF, which is no status byte", 1, 2);
        row("answers late, within the timeout", answering("12121212", 300),
            "online, paper ok; drawer signal low", 0, 4, "2000");
        row("answers late, after the timeout", answering("12121212", 1500),
            "no status: no answer to 10 04 01", 1, 1, "300");
        row("closes at once", {.onAccept = FakePrinter::Accept::Close, .statusReplies = "\x12"},
            "no status: no answer to 10 04 01", 1, 0);
    }
    void everyAnswerIsReadAsItIs()
    {
        QFETCH(Behaviour, printer);
        QFETCH(QString, timeout);
        QFETCH(QString, line);
        QFETCH(int, status);
        QFETCH(int, requests);
        FakePrinter fake;
        fake.setBehaviour(printer);
        QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
        const CliRun r = runCli(
            {"-H", "127.0.0.1", "-p", QString::number(fake.port()), "-t", timeout, "status"});
        QCOMPARE(r.status, status);
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("127.0.0.1\t") + line + u'\n');
        // Each answer is awaited at most the timeout, and nothing after a missing one.
        QVERIFY2(r.ms < timeout.toInt() * qMax(1, requests) + 1000,
                 qPrintable(QString::number(r.ms)));
        if (printer.onAccept != FakePrinter::Accept::Close)
            QTRY_VERIFY_WITH_TIMEOUT(fake.closedByClient(0), kBound);
        QCOMPARE(fake.bytes(0).toHex(' '), kAllRequests.left(3 * requests).toHex(' '));
    }

    void jsonHasEveryConditionAndTheBytes()
    {
        FakePrinter fake;
        fake.setBehaviour(answering("1A521A1E"));
        QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
        const CliRun r =
            runCli({"--json", "-H", "127.0.0.1", "-p", QString::number(fake.port()), "status"});
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

    // Exit status 0 only when every printer answered and can print; one unreachable is told
    // on standard error, with the other commands' words.
    void okOnlyWhenEveryPrinterIsReady()
    {
        FakePrinter ready, noPaper;
        ready.setBehaviour(answering("12121212"));
        noPaper.setBehaviour(answering("12121272"));
        QVERIFY(ready.listen(QHostAddress(QStringLiteral("127.0.0.1")), 9100));
        QVERIFY(noPaper.listen(QHostAddress(QStringLiteral("127.0.0.2")), 9100));
        const QStringList two = {"-H", "127.0.0.1", "-H", "127.0.0.1", "status"};
        QCOMPARE(runCli(two).status, 0);
        const CliRun r =
            runCli({"-H", "127.0.0.1", "-H", "127.0.0.2", "-H", "127.0.0.3", "status"});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains("127.0.0.2\tonline, paper end; drawer signal low\n"), r.out);
        QVERIFY2(r.err.contains("127.0.0.3\trefused\t") &&
                     r.err.contains("Connect printer failed!") &&
                     r.err.contains("3 printers: 1 online with paper, 2 not"),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestStatus)
#include "tst_status.moc"

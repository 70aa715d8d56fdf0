#include "support/WindowRig.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

const QString kTransmit = msg(LinkMessages::kTransmitFailed);
const QString kNvDone = QString::fromUtf8(CommandMessages::kNvDownloadComplete);
const QByteArray kCut = QByteArray::fromHex("1d564200");
constexpr int kWaitMs = PrinterCommands::kNvDownloadWaitMs;
constexpr qsizetype kBig = 32 * 1024 * 1024; // more than the socket buffers take at once

// The first 256 bytes hold every value from 00 to FF.
QByteArray image(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

} // namespace

// Closes the connection as the next command would, so nothing can follow the bytes compared.
#define CLOSE_AND_WAIT(bench, connection)                                                          \
    do {                                                                                           \
        (bench).form.link().Winsock1.Close();                                                      \
        QTRY_VERIFY_WITH_TIMEOUT((bench).printer.closedByClient(connection), kWireMs);             \
    } while (false)

class TestPrinterCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("LC_ALL", "zh_CN.UTF-8"); } // typed text goes out in GBK
    void init()
    {
        REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
        m_bench = std::make_unique<WindowRig>();
    }
    void cleanup() { m_bench.reset(); }

    void eachButtonSendsExactlyItsFrame_data()
    {
        QTest::addColumn<QString>("button");
        // Language index, code page or print text by button; null leaves the window as it opens.
        // The print text is typed while the click awaits its connection: it is read once there.
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("hex");
        auto row = [](const char* name, const char* button, const QString& input, const char* hex) {
            QTest::newRow(name) << QString(button) << input << QByteArray(hex);
        };
        row("CASH DRAWER", "cmdCash", {}, "1b 70 00 50 50");
        row("Cut Paper", "cmdCut", {}, "1d 56 42 00");
        row("OstrikARM", "Command1", {}, "1f1b1f 09 09 06 06 88");
        row("VelmarARM", "Command2", {}, "1f1b1f 09 09 06 06 44");
        row("black mark on", "Command4", {}, "1f1b1f 80 04 05 06 44");
        row("black mark off", "Command5", {}, "1f1b1f 80 04 05 06 66");
        row("print NV image", "Command7", {}, "1b 40 1b 61 01 1c 70 01 00 0a 1b 40");
        row("language as the window opens", "Command3", {}, "1f1b1f ee 11 0a");
        row("language 中文繁体", "Command3", "1", "1f1b1f ee 22 0a");
        row("language 韩文", "Command3", "2", "1f1b1f ee 33 0a");
        row("language 日文", "Command3", "3", "1f1b1f ee 44 0a");
        row("language none selected", "Command3", "-1", "1f1b1f ee 00 0a");
        row("code page as the window opens", "Command8", {}, "1f1b1f ff 0a 0a");
        row("code page 255", "Command8", "255", "1f1b1f ff ff 0a");
        row("Print  empty text still connects", "cmdSend", "", "");
        row("Print  中文", "cmdSend", "中文", "d6d0 cec4");
    }
    void eachButtonSendsExactlyItsFrame()
    {
        QFETCH(QString, button);
        QFETCH(QString, input);
        QFETCH(QByteArray, hex);
        WindowRig& b = *m_bench;
        QVERIFY(b.listen());
        auto enter = [&] {
            if (button == u"Command3")
                b.child<QComboBox>("comLanguage")->setCurrentIndex(input.toInt());
            else if (button == u"Command8")
                b.child("txtcodepage")->setText(input);
            else
                b.child<QPlainTextEdit>("txtChar")->setPlainText(input);
            return !b.form.state().blnConnected;
        };
        const bool whileConnecting = !input.isNull() && button == u"cmdSend";
        bool entered = input.isNull() || (!whileConnecting && enter());
        if (whileConnecting)
            QTimer::singleShot(0, &b.form, [&] { entered = enter(); });
        b.click(button);
        QVERIFY(entered);
        QTRY_COMPARE_WITH_TIMEOUT(b.printer.connectionCount(), 1, kWireMs);
        CLOSE_AND_WAIT(b, 0);
        QCOMPARE(b.printer.bytes(0).toHex(' '), QByteArray::fromHex(hex).toHex(' '));
        QCOMPARE(b.printer.connectionCount(), 1);
        QCOMPARE(b.boxes.messages, QStringList());
    }

    void defaultTextThenCutMakeTwoConnections()
    {
        WindowRig& b = *m_bench;
        QVERIFY(b.listen());
        b.click("cmdSend");
        b.click("cmdCut");
        QTRY_COMPARE_WITH_TIMEOUT(b.printer.connectionCount(), 2, kWireMs);
        QTRY_VERIFY_WITH_TIMEOUT(b.printer.closedByClient(0), kWireMs); // by the second click
        CLOSE_AND_WAIT(b, 1);
        QCOMPARE(b.printer.bytes(0).size(), 925);
        QCOMPARE(b.printer.bytes(0).count("\r\n"), 39);
        QCOMPARE(b.printer.bytes(0).count('\r') + b.printer.bytes(0).count('\n'), 78);
        QVERIFY(b.printer.bytes(0).startsWith("\r\nPrinter Ethernet Interface Test:\r\n"));
        QCOMPARE(b.printer.bytes(1), kCut);
        QCOMPARE(b.boxes.messages, QStringList());
    }

    void refusedBeforeConnecting_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("codePage"); // null: the current address is marked invalid
        for (const char* name : {"cmdSend", "cmdCut", "cmdCash", "Command1", "Command2", "Command3",
                                 "Command4", "Command5", "Command8", "Command6", "Command7"})
            QTest::newRow(name) << QString(name) << QString();
        for (const char* codePage : {"256", "-1", "255.5", "&H100", "9e999999999999"})
            QTest::newRow(codePage) << QStringLiteral("Command8") << QString(codePage);
    }
    void refusedBeforeConnecting()
    {
        QFETCH(QString, button);
        QFETCH(QString, codePage);
        WindowRig& b = *m_bench;
        b.form.state().blnCurIPValid = !codePage.isNull();
        b.child("txtcodepage")->setText(codePage);
        b.click(button);
        QCOMPARE(b.boxes.messages, QStringList{QString::fromLatin1(
                                       codePage.isNull() ? LinkMessages::kInvalidCurrentIP
                                                         : CommandMessages::kCodePageOutOfRange)});
        QVERIFY(!b.form.link().Winsock1.delivery()); // no connection was ever asked for
        QCOMPARE(b.child("txtcodepage")->selectedText(), codePage);
    }

    // Its data file is missing, so any step past the failed connection would add a message.
    void unreachablePrinterShowsOnlyTheLinksMessage()
    {
        m_bench->click("Command6"); // nothing listens: the connection is refused
        QCOMPARE(m_bench->boxes.messages, QStringList{msg(LinkMessages::kConnectFailed)});
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: none
        QTest::addColumn<FakePrinter::Behaviour>("printer");
        QTest::addColumn<bool>("cutDuringWait");
        QTest::addColumn<QString>("message");
        using enum FakePrinter::Behaviour;
        QTest::newRow("one byte") << image(1) << Record << false << kNvDone;
        QTest::newRow("every byte value 00 to FF") << image(256) << Record << false << kNvDone;
        QTest::newRow("missing file") << QByteArray() << Record << false << kTransmit;
        QTest::newRow("empty file") << QByteArray("") << Record << false << kTransmit;
        QTest::newRow("reset by the printer")
            << image(kBig) << ResetAfterData << false << kTransmit;
        // The failure is told, but the cut's connection is not the download's to close.
        QTest::newRow("reset after a cut replaced the connection")
            << image(kBig) << ResetAfterData << true << kTransmit;
        // The cut comes with most of the file still queued; the printer reads after the wait.
        QTest::newRow("cut while the printer does not read")
            << image(kBig) << NeverRead << true << kNvDone;
    }
    void download()
    {
        QFETCH(QByteArray, file);
        QFETCH(FakePrinter::Behaviour, printer);
        QFETCH(bool, cutDuringWait);
        QFETCH(QString, message);
        WindowRig& bench = *m_bench;
        bench.printer.setBehaviour(printer, 64 * 1024);
        QVERIFY(bench.listen());
        QFile data(bench.folder.filePath(QString::fromLatin1(PrinterCommands::kNvDataFileName)));
        if (!file.isNull())
            QVERIFY(data.open(QIODevice::WriteOnly) && data.write(file) == file.size());
        data.close();

        QElapsedTimer clock;
        qint64 shownAt = -1;
        bench.boxes.onMessage = [&](const QString&) { shownAt = clock.elapsed(); };
        if (cutDuringWait)
            QTimer::singleShot(1000, &bench.form, [&] { bench.click("cmdCut"); });
        if (printer == FakePrinter::Behaviour::NeverRead) {
            QTimer::singleShot(kWaitMs + 500, &bench.printer, [&] {
                QCOMPARE(bench.boxes.messages, QStringList()); // not before the bytes leave
                bench.printer.startReading();
            });
        }
        clock.start();
        bench.click("Command6");

        QCOMPARE(bench.boxes.messages, QStringList{message});
        const bool done = message == kNvDone;
        QVERIFY2(!done || (shownAt >= kWaitMs - 10 && (cutDuringWait || shownAt < kWaitMs + 1500)),
                 qPrintable(QString::number(shownAt)));
        QCOMPARE(bench.form.state().blnConnected, done || cutDuringWait); // left open when done
        QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), cutDuringWait ? 2 : 1, kWireMs);
        CLOSE_AND_WAIT(bench, cutDuringWait ? 1 : 0);
        QTRY_VERIFY_WITH_TIMEOUT(bench.printer.closedByClient(0), kWireMs);
        if (printer != FakePrinter::Behaviour::ResetAfterData)
            QVERIFY(bench.printer.bytes(0) == file);
        if (cutDuringWait)
            QCOMPARE(bench.printer.bytes(1), kCut);
        QCOMPARE(bench.printer.connectionCount(), cutDuringWait ? 2 : 1);
    }

private:
    std::unique_ptr<WindowRig> m_bench;
};

QTEST_MAIN(TestPrinterCommands)
#include "tst_printercommands.moc"

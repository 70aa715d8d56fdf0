#include "app/DefaultPrintText.h"
#include "app/Form1.h"
#include "commands/PrinterCommands.h"
#include "link/PrinterLink.h"
#include "support/FakePrinter.h"
#include "support/RecordingBoxes.h"
#include "support/TestAddresses.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace LinkMessages;

namespace {

const QString kTransmit = QString::fromLatin1(kTransmitFailed);
const QString kNvDone = QString::fromUtf8(CommandMessages::kNvDownloadComplete);
const QByteArray kCut = QByteArray::fromHex("1d564200");
constexpr int kWireMs = 5000; // bound for bytes to cross the loopback
constexpr int kWaitMs = PrinterCommands::kNvDownloadWaitMs;

// Large enough that the system's socket buffers cannot take it all at once.
QByteArray bigImage()
{
    QByteArray bytes(32 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

// The window with a fake printer at its default address and every box recorded.
struct Bench {
    FakePrinter printer;
    RecordingBoxes boxes;
    Form1 form;
    QTemporaryDir programFolder;

    Bench()
    {
        form.setMessageBoxes(&boxes);
        form.commands().setProgramFolder(programFolder.path());
        form.show();
    }
    ~Bench() { form.setMessageBoxes(nullptr); }

    bool listen() { return printer.listen(QHostAddress(TestAddresses::kPrinter)); }

    bool writeImage(const QByteArray& bytes)
    {
        QFile file(programFolder.filePath(QString::fromLatin1(PrinterCommands::kNvDataFileName)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    // The hidden group is shown only here, with the window made tall enough to hold it.
    void click(const char* name)
    {
        auto* button = form.findChild<QPushButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        if (!button->isVisible()) {
            form.setFixedSize(519, 470);
            for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                child->show();
        }
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

// Closes the current connection as the next command would, so the printer sees its end and
// nothing can follow the bytes compared.
#define CLOSE_AND_WAIT(bench, connection)                                                          \
    do {                                                                                           \
        (bench).form.link().Winsock1.Close();                                                      \
        QTRY_VERIFY_WITH_TIMEOUT((bench).printer.closedByClient(connection), kWireMs);             \
    } while (false)

// Sets LC_ALL for one test and gives it back afterwards.
class LocaleOverride {
public:
    explicit LocaleOverride(const QByteArray& locale)
        : m_saved(qgetenv("LC_ALL"))
        , m_active(!locale.isEmpty())
    {
        if (m_active)
            qputenv("LC_ALL", locale);
    }
    ~LocaleOverride()
    {
        if (m_active && m_saved.isNull())
            qunsetenv("LC_ALL");
        else if (m_active)
            qputenv("LC_ALL", m_saved);
    }

private:
    QByteArray m_saved;
    bool m_active;
};

} // namespace

class TestPrinterCommands : public QObject {
    Q_OBJECT
private slots:
    void eachButtonSendsExactlyItsFrame_data();
    void eachButtonSendsExactlyItsFrame();
    void defaultTextIsPrintedUnframed();
    void twoClicksMakeTwoConnections();
    void inputsAreReadBeforeOrAfterConnecting_data();
    void inputsAreReadBeforeOrAfterConnecting();
    void codePageOutOfRangeIsRefusedBeforeConnecting_data();
    void codePageOutOfRangeIsRefusedBeforeConnecting();
    void invalidCurrentAddressShowsOnlyTheLinksMessage_data();
    void invalidCurrentAddressShowsOnlyTheLinksMessage();
    void unreachablePrinterShowsOnlyTheLinksMessage();

    void downloadSendsTheFileThenReportsSuccess_data();
    void downloadSendsTheFileThenReportsSuccess();
    void unusableDataFileEndsOnSendFailure_data();
    void unusableDataFileEndsOnSendFailure();
    void downloadResetByPrinterIsNotReportedAsSuccess();
    void cutDuringDownloadWaitLosesNoByte();
    void failedDownloadLeavesALaterClicksConnectionOpen();
};

void TestPrinterCommands::eachButtonSendsExactlyItsFrame_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<int>("language");     // index to select; -2 leaves the list as it opens
    QTest::addColumn<QString>("codePage"); // null leaves txtcodepage as it opens
    QTest::addColumn<QString>("text");     // null leaves txtChar as it opens
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("hex");

    const QString keep;
    auto row = [&](const char* name, const char* button, const char* hex) -> QTestData& {
        return QTest::newRow(name)
               << QByteArray(button) << -2 << keep << keep << QByteArray() << QByteArray(hex);
    };
    row("CASH DRAWER", "cmdCash", "1b 70 00 50 50");
    row("Cut Paper", "cmdCut", "1d 56 42 00");
    row("OstrikARM", "Command1", "1f1b1f 09 09 06 06 88");
    row("VelmarARM", "Command2", "1f1b1f 09 09 06 06 44");
    row("language as the window opens", "Command3", "1f1b1f ee 11 0a");
    row("black mark on", "Command4", "1f1b1f 80 04 05 06 44");
    row("black mark off", "Command5", "1f1b1f 80 04 05 06 66");
    row("code page as the window opens", "Command8", "1f1b1f ff 0a 0a");
    row("print NV image", "Command7", "1b 40 1b 61 01 1c 70 01 00 0a 1b 40");

    QTest::newRow("language 中文繁体") << QByteArray("Command3") << 1 << keep << keep
                                       << QByteArray() << QByteArray("1f1b1f ee 22 0a");
    QTest::newRow("language 韩文") << QByteArray("Command3") << 2 << keep << keep << QByteArray()
                                   << QByteArray("1f1b1f ee 33 0a");
    QTest::newRow("language 日文") << QByteArray("Command3") << 3 << keep << keep << QByteArray()
                                   << QByteArray("1f1b1f ee 44 0a");
    QTest::newRow("language none selected") << QByteArray("Command3") << -1 << keep << keep
                                            << QByteArray() << QByteArray("1f1b1f ee 00 0a");
    QTest::newRow("code page 255") << QByteArray("Command8") << -2 << QString("255") << keep
                                   << QByteArray() << QByteArray("1f1b1f ff ff 0a");
    QTest::newRow("code page abc") << QByteArray("Command8") << -2 << QString("abc") << keep
                                   << QByteArray() << QByteArray("1f1b1f ff 00 0a");
    QTest::newRow("code page ' 2 5 '") << QByteArray("Command8") << -2 << QString(" 2 5 ") << keep
                                       << QByteArray() << QByteArray("1f1b1f ff 19 0a");
    QTest::newRow("Print  empty text still connects")
        << QByteArray("cmdSend") << -2 << keep << QString("") << QByteArray() << QByteArray();
    QTest::newRow("Print  line break goes out as CR LF")
        << QByteArray("cmdSend") << -2 << keep << QString("ab\ncd") << QByteArray("C.UTF-8")
        << QByteArray("61 62 0d 0a 63 64");
    QTest::newRow("Print  中文 under zh_CN")
        << QByteArray("cmdSend") << -2 << keep << QString("中文") << QByteArray("zh_CN.UTF-8")
        << QByteArray("d6d0 cec4");
    QTest::newRow("Print  é€ under en_US") << QByteArray("cmdSend") << -2 << keep << QString("é€")
                                           << QByteArray("en_US.UTF-8") << QByteArray("e9 80");
}

void TestPrinterCommands::eachButtonSendsExactlyItsFrame()
{
    QFETCH(QByteArray, button);
    QFETCH(int, language);
    QFETCH(QString, codePage);
    QFETCH(QString, text);
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, hex);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);

    Bench bench;
    QVERIFY(bench.listen());
    const LocaleOverride localeOverride(locale);
    if (language != -2)
        bench.form.findChild<QComboBox*>(QStringLiteral("comLanguage"))->setCurrentIndex(language);
    if (!codePage.isNull())
        bench.form.findChild<QLineEdit*>(QStringLiteral("txtcodepage"))->setText(codePage);
    if (!text.isNull())
        bench.form.findChild<QPlainTextEdit*>(QStringLiteral("txtChar"))->setPlainText(text);

    bench.click(button.constData());
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 1, kWireMs);
    CLOSE_AND_WAIT(bench, 0);
    QCOMPARE(bench.printer.bytes(0).toHex(' '), QByteArray::fromHex(hex).toHex(' '));
    QCOMPARE(bench.printer.connectionCount(), 1);
    QCOMPARE(bench.boxes.messages, QStringList());
}

void TestPrinterCommands::defaultTextIsPrintedUnframed()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());

    bench.click("cmdSend");
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 1, kWireMs);
    CLOSE_AND_WAIT(bench, 0);
    const QByteArray bytes = bench.printer.bytes(0);
    QCOMPARE(bytes.size(), 925);
    QCOMPARE(bytes.count("\r\n"), 39);
    QCOMPARE(bytes.count('\r'), 39);
    QCOMPARE(bytes.count('\n'), 39);
    QVERIFY(bytes.startsWith("\r\nPrinter Ethernet Interface Test:\r\n"));
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes, defaultPrintText().toLatin1());
    QCOMPARE(bench.boxes.messages, QStringList());
}

void TestPrinterCommands::twoClicksMakeTwoConnections()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());

    bench.click("cmdCash");
    bench.click("cmdCut");
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 2, kWireMs);
    QTRY_VERIFY_WITH_TIMEOUT(bench.printer.closedByClient(0), kWireMs); // closed by the second
    CLOSE_AND_WAIT(bench, 1);
    QCOMPARE(bench.printer.bytes(0), QByteArray::fromHex("1b70005050"));
    QCOMPARE(bench.printer.bytes(1), kCut);
    QCOMPARE(bench.boxes.messages, QStringList());
}

void TestPrinterCommands::inputsAreReadBeforeOrAfterConnecting_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("hex");
    // Each input is changed while the click waits for its connection.
    QTest::newRow("Print  reads the text once connected")
        << QByteArray("cmdSend") << QByteArray("6e6577"); // "new"
    QTest::newRow("language read before connecting")
        << QByteArray("Command3") << QByteArray("1f1b1f ee 11 0a");
    QTest::newRow("code page read before connecting")
        << QByteArray("Command8") << QByteArray("1f1b1f ff 0a 0a");
}

void TestPrinterCommands::inputsAreReadBeforeOrAfterConnecting()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, hex);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());
    auto* txtChar = bench.form.findChild<QPlainTextEdit*>(QStringLiteral("txtChar"));
    txtChar->setPlainText(QStringLiteral("old"));

    bool changed = false;
    QTimer::singleShot(0, &bench.form, [&] {
        QVERIFY(!bench.form.state().blnConnected); // still waiting for the connection
        txtChar->setPlainText(QStringLiteral("new"));
        bench.form.findChild<QComboBox*>(QStringLiteral("comLanguage"))->setCurrentIndex(3);
        bench.form.findChild<QLineEdit*>(QStringLiteral("txtcodepage"))->setText("99");
        changed = true;
    });
    bench.click(button.constData());
    QVERIFY(changed);
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 1, kWireMs);
    CLOSE_AND_WAIT(bench, 0);
    QCOMPARE(bench.printer.bytes(0).toHex(' '), QByteArray::fromHex(hex).toHex(' '));
}

void TestPrinterCommands::codePageOutOfRangeIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::newRow("256") << "256";
    QTest::newRow("-1") << "-1";
    QTest::newRow("255.5") << "255.5";
    QTest::newRow("&H100") << "&H100";
    QTest::newRow("huge") << "9e999999999999";
}

void TestPrinterCommands::codePageOutOfRangeIsRefusedBeforeConnecting()
{
    QFETCH(QString, codePage);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());
    auto* txtcodepage = bench.form.findChild<QLineEdit*>(QStringLiteral("txtcodepage"));
    txtcodepage->setText(codePage);

    bench.click("Command8");
    QCOMPARE(bench.boxes.messages,
             QStringList{QString::fromLatin1(CommandMessages::kCodePageOutOfRange)});
    QCOMPARE(txtcodepage->selectedText(), codePage);
    // The next command's connection is the first the printer sees.
    bench.click("cmdCut");
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 1, kWireMs);
    CLOSE_AND_WAIT(bench, 0);
    QCOMPARE(bench.printer.bytes(0), kCut);
}

void TestPrinterCommands::invalidCurrentAddressShowsOnlyTheLinksMessage_data()
{
    QTest::addColumn<QByteArray>("button");
    for (const char* name : {"cmdSend", "cmdCut", "cmdCash", "Command1", "Command2", "Command3",
                             "Command4", "Command5", "Command8", "Command6", "Command7"})
        QTest::newRow(name) << QByteArray(name);
}

void TestPrinterCommands::invalidCurrentAddressShowsOnlyTheLinksMessage()
{
    QFETCH(QByteArray, button);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());
    bench.form.state().blnCurIPValid = false;

    bench.click(button.constData());
    QCOMPARE(bench.boxes.messages, QStringList{QString::fromLatin1(kInvalidCurrentIP)});
    QCOMPARE(bench.form.link().Winsock1.State(), int(SocketService::Closed));
    QVERIFY(!bench.form.link().Winsock1.delivery()); // no connection was ever asked for
    QCOMPARE(bench.printer.connectionCount(), 0);
}

// The download stands for every button here: its data file is missing, so any step past the
// failed connection would add "Transmit data failed!".
void TestPrinterCommands::unreachablePrinterShowsOnlyTheLinksMessage()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench; // nothing listens: the connection is refused

    bench.click("Command6");
    QCOMPARE(bench.boxes.messages, QStringList{QString::fromLatin1(kConnectFailed)});
    QVERIFY(!bench.form.state().blnConnected);
}

void TestPrinterCommands::downloadSendsTheFileThenReportsSuccess_data()
{
    QTest::addColumn<QByteArray>("image");
    QByteArray everyValue;
    for (int i = 0; i < 256; ++i)
        everyValue.append(char(i));
    QTest::newRow("one byte") << QByteArray("\x1b", 1);
    QTest::newRow("every byte value 00 to FF") << everyValue;
}

void TestPrinterCommands::downloadSendsTheFileThenReportsSuccess()
{
    QFETCH(QByteArray, image);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());
    QVERIFY(bench.writeImage(image));

    QElapsedTimer clock;
    qint64 shownAt = -1;
    bench.boxes.onMessage = [&](const QString&) { shownAt = clock.elapsed(); };
    clock.start();
    bench.click("Command6");

    QCOMPARE(bench.boxes.messages, QStringList{kNvDone});
    QVERIFY2(shownAt >= kWaitMs - 10 && shownAt < kWaitMs + 1500,
             qPrintable(QString::number(shownAt)));
    QVERIFY(bench.form.state().blnConnected); // the connection is left open
    CLOSE_AND_WAIT(bench, 0);
    QCOMPARE(bench.printer.bytes(0).toHex(' '), image.toHex(' '));
    QCOMPARE(bench.printer.connectionCount(), 1);
}

void TestPrinterCommands::unusableDataFileEndsOnSendFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("empty") << "empty";
    QTest::newRow("a folder of that name") << "folder";
}

void TestPrinterCommands::unusableDataFileEndsOnSendFailure()
{
    QFETCH(QString, kind);
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    QVERIFY(bench.listen());
    if (kind == u"empty")
        QVERIFY(bench.writeImage({}));
    if (kind == u"folder")
        QVERIFY(QDir(bench.programFolder.path())
                    .mkdir(QString::fromLatin1(PrinterCommands::kNvDataFileName)));

    bench.click("Command6");
    QCOMPARE(bench.boxes.messages, QStringList{kTransmit});
    QVERIFY(!bench.form.state().blnConnected);
    QTRY_COMPARE_WITH_TIMEOUT(bench.printer.connectionCount(), 1, kWireMs);
    QTRY_VERIFY_WITH_TIMEOUT(bench.printer.closedByClient(0), kWireMs);
    QCOMPARE(bench.printer.bytes(0), QByteArray());
}

void TestPrinterCommands::downloadResetByPrinterIsNotReportedAsSuccess()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    bench.printer.setBehaviour(FakePrinter::Behaviour::ResetAfterData, 64 * 1024);
    QVERIFY(bench.listen());
    const QByteArray image = bigImage();
    QVERIFY(bench.writeImage(image));

    bench.click("Command6");
    QCOMPARE(bench.boxes.messages, QStringList{kTransmit});
    QVERIFY(!bench.form.state().blnConnected);
    QCOMPARE(bench.form.link().Winsock1.State(), int(SocketService::Closed));
    QVERIFY(bench.printer.bytes(0).size() < image.size());
}

// The cut replaces the download's connection while most of the file is still queued; the
// printer only starts reading after the 3 s wait is over.
void TestPrinterCommands::cutDuringDownloadWaitLosesNoByte()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    bench.printer.setBehaviour(FakePrinter::Behaviour::NeverRead);
    QVERIFY(bench.listen());
    const QByteArray image = bigImage();
    QVERIFY(bench.writeImage(image));

    QElapsedTimer clock;
    qint64 cutAt = -1;
    qint64 readingFrom = -1;
    qint64 shownAt = -1;
    bench.boxes.onMessage = [&](const QString&) { shownAt = clock.elapsed(); };
    QTimer::singleShot(1000, &bench.form, [&] {
        cutAt = clock.elapsed();
        bench.click("cmdCut");
    });
    QTimer::singleShot(kWaitMs + 500, &bench.printer, [&] {
        readingFrom = clock.elapsed();
        bench.printer.startReading();
    });
    clock.start();
    bench.click("Command6");

    QCOMPARE(bench.boxes.messages, QStringList{kNvDone});
    QVERIFY(cutAt > 0 && cutAt < kWaitMs);
    QVERIFY2(
        readingFrom > 0 && shownAt >= readingFrom,
        qPrintable(
            QStringLiteral("reading from %1 ms, success at %2 ms").arg(readingFrom).arg(shownAt)));
    QCOMPARE(bench.printer.connectionCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(bench.printer.closedByClient(0), kWireMs);
    CLOSE_AND_WAIT(bench, 1);
    QVERIFY(bench.printer.bytes(0) == image);
    QCOMPARE(bench.printer.bytes(1), kCut);
}

// The download's connection fails after a cut replaced it: the failure is told, but the cut's
// connection is not the download's to close.
void TestPrinterCommands::failedDownloadLeavesALaterClicksConnectionOpen()
{
    REQUIRE_LOCAL_ADDRESS(TestAddresses::kPrinter);
    Bench bench;
    bench.printer.setBehaviour(FakePrinter::Behaviour::ResetAfterData, 64 * 1024);
    QVERIFY(bench.listen());
    QVERIFY(bench.writeImage(bigImage()));

    QTimer::singleShot(1000, &bench.form, [&] { bench.click("cmdCut"); });
    bench.click("Command6");

    QCOMPARE(bench.boxes.messages, QStringList{kTransmit});
    QVERIFY(bench.form.state().blnConnected);
    QCOMPARE(bench.form.link().Winsock1.State(), int(SocketService::Connected));
    QCOMPARE(bench.printer.connectionCount(), 2);
    CLOSE_AND_WAIT(bench, 1);
    QCOMPARE(bench.printer.bytes(1), kCut);
}

QTEST_MAIN(TestPrinterCommands)
#include "tst_printercommands.moc"

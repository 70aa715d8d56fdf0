#include "link/Connection.h"
#include "support/WindowRig.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using TestAddresses::kPrinter;

// Waits of the connection test and the other commands, and the end of the program, driven through
// the real window at the printer's default address.
class ConnectTestTest : public QObject {
    Q_OBJECT

private slots:
    void init() { REQUIRE_LOCAL_ADDRESS(kPrinter); }

    // Regression: with the attempt refused at once, each nested click replaced its socket and
    // restarted the timer, stretching the outer wait.
    void clicksDuringTheWaitAreRefusedAndTheOuterTestReportsItsOwnResult()
    {
        WindowRig w; // nothing listens: refused at once
        const char* const reachable[] = {"cmdConnect", "cmdSetIP", "cmdID",
                                         "cmdSend",    "cmdCut",   "cmdCash"};
        QTimer::singleShot(2000, this, [&] {
            for (int i = 0; i < 50; ++i) {
                for (const char* name : reachable)
                    QTest::mouseClick(w.button(name), Qt::LeftButton);
            }
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.button("cmdConnect"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 3600, qPrintable(QString::number(clock.elapsed())));
        QStringList expected(50 * std::size(reachable), "Connect printer error");
        expected << "Connect printer failed!";
        QCOMPARE(w.boxes.messages, expected);
        QCOMPARE(w.boxes.questions.size(), 100); // the two network commands ask first
        QVERIFY(!w.form.state().blnConnected);
        QCOMPARE(w.form.link().socket().State(), int(SocketService::Closed));
        QCOMPARE(w.form.text(Field::CurIP), kPrinter);
    }

    // END and the close box take the same way out (closeEvent), so END stands for both.
    void endingDuringAWaitReturnsAtOnceWithoutAWord_data()
    {
        QTest::addColumn<QString>("wait");
        for (const char* wait : {"connect", "delay", "download"})
            QTest::newRow(qPrintable(QStringLiteral("END in %1").arg(wait))) << wait;
    }
    void endingDuringAWaitReturnsAtOnceWithoutAWord()
    {
        QFETCH(QString, wait);
        SilentListener silent;
        FakePrinter slow; // takes the download's first bytes, then reads no more
        slow.setBehaviour({.onAccept = FakePrinter::Accept::Hold});
        QVERIFY(wait == "download" ? slow.listen(QHostAddress(kPrinter))
                                   : silent.listen(QHostAddress(kPrinter)));
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("TavoNV.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(16 << 20, 'n')) > 0);
        file.close();

        auto* w = new WindowRig;
        w->form.commands().setProgramFolder(folder.path());
        QTimer::singleShot(100, this,
                           [&] { QTest::mouseClick(w->button("cmdEnd"), Qt::LeftButton); });
        QElapsedTimer clock;
        clock.start();
        if (wait == "delay")
            QVERIFY(!w->form.link().Delay_ms(3000));
        else
            w->button(wait == "connect" ? "cmdConnect" : "Command6")->click();
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(!w->form.isVisible());
        QVERIFY(w->boxes.messages.isEmpty());
        // What the program does after its event loop: the window goes, and the process stays
        // until the download's bytes are all there, though its handler has returned.
        delete w;
        slow.startReading();
        Connection::awaitRetired();
        if (wait == "download")
            QTRY_COMPARE_WITH_TIMEOUT(slow.bytes(0).size(), 16 << 20, 5000);
    }

    // Misbehaving printers and the strangest input the fields take: the window goes on, says
    // what failed, and the next command after the trouble goes out whole.
    void misbehavingPrinterGetsOneConnectionPerCommand_data()
    {
        QTest::addColumn<FakePrinter::Accept>("trouble");
        QTest::newRow("closes right after accepting") << FakePrinter::Accept::Close;
        QTest::newRow("resets right after accepting") << FakePrinter::Accept::Reset;
    }
    void misbehavingPrinterGetsOneConnectionPerCommand()
    {
        QFETCH(FakePrinter::Accept, trouble);
        WindowRig w;
        FakePrinter& printer = w.printer;
        QVERIFY(w.listen());
        // Every other connection goes wrong, as with a printer that takes only every other one.
        for (int i = 0; i < 4; ++i) {
            printer.setBehaviour({.onAccept = i % 2 ? trouble : FakePrinter::Accept::Read});
            QTest::mouseClick(w.button(i % 2 ? "cmdCash" : "cmdCut"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(printer.connectionCount(), i + 1, 5000);
        }
        for (int i = 0; i < 4; i += 2)
            QTRY_COMPARE_WITH_TIMEOUT(printer.bytes(i), QByteArray("\x1D\x56\x42\x00", 4), 5000);
        // One attempt is one connection: a reset never makes the socket try again by itself.
        QCOMPARE(printer.connectionCount(), 4);
        const QStringList failures = {"Connect printer failed!", "Transmit data failed!"};
        for (const QString& message : std::as_const(w.boxes.messages))
            QVERIFY2(failures.contains(message), qPrintable(message));
    }

    void strangestTextInEveryField()
    {
        WindowRig w;
        FakePrinter& printer = w.printer;
        QVERIFY(w.listen());
        // Right-to-left, combining, control and wide characters, far past every limit.
        const QString strange =
            QString::fromUtf8("\u05D0\u0301\x01\x1B\u202E1.2.3.4\uFF11\t") + QString(200, u'9');
        QGuiApplication::clipboard()->setText(strange);
        for (const char* name : {"txtCurIP", "txtSetIP", "txtID"}) {
            auto* field = w.form.findChild<QLineEdit*>(QLatin1String(name));
            QTest::mouseClick(field, Qt::LeftButton);
            QTest::keySequence(field, QKeySequence::Paste);
            QCOMPARE(field->text(), strange.left(field->maxLength()));
        }
        QTest::mouseClick(w.button("cmdConnect"), Qt::LeftButton);
        QCOMPARE(w.boxes.messages,
                 (QStringList{"The current IP address isn't correct.",
                              "The set new IP address isn't correct.",
                              "The set new Ethernet ID isn't correct.",
                              "Please input correct printer current IP address"}));
        QCOMPARE(printer.connectionCount(), 0);
    }
};

QTEST_MAIN(ConnectTestTest)
#include "tst_connecttest.moc"

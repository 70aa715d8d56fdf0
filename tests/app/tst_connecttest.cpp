#include "link/Connection.h"
#include "support/WindowRig.h"

#include <QElapsedTimer>
#include <QFile>
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

    void clicksDuringTheWaitAreRefusedAndTheOuterTestReportsItsOwnResult()
    {
        SilentListener silent;
        QVERIFY(silent.listen(QHostAddress(kPrinter)));
        WindowRig w;
        const char* const reachable[] = {"cmdConnect", "cmdSetIP", "cmdID",
                                         "cmdSend",    "cmdCut",   "cmdCash"};
        QTimer::singleShot(200, this, [&] {
            for (int i = 0; i < 50; ++i) {
                for (const char* name : reachable)
                    QTest::mouseClick(w.button(name), Qt::LeftButton);
            }
        });
        QTest::mouseClick(w.button("cmdConnect"), Qt::LeftButton);
        QStringList expected(50 * std::size(reachable), "Connect printer error");
        expected << "Connect printer failed!";
        QCOMPARE(w.boxes.messages, expected);
        QCOMPARE(w.boxes.questions.size(), 100); // the two network commands ask first
        QVERIFY(!w.form.state().blnConnected);
        QCOMPARE(w.form.text(Field::CurIP), kPrinter);
    }

    void endingDuringAWaitReturnsAtOnceWithoutAWord_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<QString>("wait");
        for (const char* wait : {"connect", "delay", "download"}) {
            QTest::newRow(qPrintable(QStringLiteral("END in %1").arg(wait))) << false << wait;
            QTest::newRow(qPrintable(QStringLiteral("close box in %1").arg(wait))) << true << wait;
        }
    }
    void endingDuringAWaitReturnsAtOnceWithoutAWord()
    {
        QFETCH(bool, closeBox);
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
        QTimer::singleShot(100, this, [&] {
            if (closeBox)
                w->form.close(); // what the window system does for the close box
            else
                QTest::mouseClick(w->button("cmdEnd"), Qt::LeftButton);
        });
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
};

QTEST_MAIN(ConnectTestTest)
#include "tst_connecttest.moc"

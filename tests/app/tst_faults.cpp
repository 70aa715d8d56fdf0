#include "support/WindowRig.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using TestAddresses::kPrinter;

// Misbehaving printers and the strangest input the fields take: the window goes on, says what
// failed, and the next command after the trouble goes out whole.
class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { REQUIRE_LOCAL_ADDRESS(kPrinter); }

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

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"

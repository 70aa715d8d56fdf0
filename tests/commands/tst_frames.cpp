#include "commands/Frames.h"

#include <QTest>

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void exactBytes_data();
    void exactBytes();
};

void TestFrames::exactBytes_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("cash drawer") << Frames::cashDrawer() << QByteArray("1b 70 00 50 50");
    QTest::newRow("cut paper") << Frames::cutPaper() << QByteArray("1d 56 42 00");
    QTest::newRow("OstrikARM") << Frames::ostrikArm() << QByteArray("1f 1b 1f 09 09 06 06 88");
    QTest::newRow("VelmarARM") << Frames::velmarArm() << QByteArray("1f 1b 1f 09 09 06 06 44");
    QTest::newRow("language none selected")
        << Frames::setLanguage(-1) << QByteArray("1f1b1f ee 00 0a");
    QTest::newRow("language 0") << Frames::setLanguage(0) << QByteArray("1f1b1f ee 11 0a");
    QTest::newRow("language 1") << Frames::setLanguage(1) << QByteArray("1f1b1f ee 22 0a");
    QTest::newRow("language 2") << Frames::setLanguage(2) << QByteArray("1f1b1f ee 33 0a");
    QTest::newRow("language 3") << Frames::setLanguage(3) << QByteArray("1f1b1f ee 44 0a");
    QTest::newRow("language past the list")
        << Frames::setLanguage(4) << QByteArray("1f1b1f ee 00 0a");
    QTest::newRow("black mark on") << Frames::blackMarkOn() << QByteArray("1f1b1f 80 04 05 06 44");
    QTest::newRow("black mark off")
        << Frames::blackMarkOff() << QByteArray("1f1b1f 80 04 05 06 66");
    QTest::newRow("code page 0") << Frames::setDefaultCodePage(0) << QByteArray("1f1b1f ff 00 0a");
    QTest::newRow("code page 10") << Frames::setDefaultCodePage(10)
                                  << QByteArray("1f1b1f ff 0a 0a");
    QTest::newRow("code page 255")
        << Frames::setDefaultCodePage(255) << QByteArray("1f1b1f ff ff 0a");
    QTest::newRow("print NV image")
        << Frames::printNvImage() << QByteArray("1b 40 1b 61 01 1c 70 01 00 0a 1b 40");
}

void TestFrames::exactBytes()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, hex);
    QCOMPARE(frame.toHex(' '), QByteArray::fromHex(hex).toHex(' '));
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"

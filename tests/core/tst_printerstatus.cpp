#include "core/PrinterStatus.h"

#include <QTest>

using namespace PrinterStatus;

Q_DECLARE_METATYPE(PrinterStatus::Condition)
Q_DECLARE_METATYPE(PrinterStatus::ReplyCheck)

// The four status bytes: which are status bytes at all, what every bit means, how it reads.
class TestPrinterStatus : public QObject {
    Q_OBJECT
private slots:
    void everyBitItsCondition_data()
    {
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("bit");
        QTest::addColumn<Condition>("condition");
        auto row = [](int request, int bit, Condition condition) {
            QTest::addRow("DLE EOT %d bit %d", request, bit) << request << bit << condition;
        };
        row(1, 2, Condition::DrawerSignalHigh);
        row(1, 3, Condition::Offline);
        row(2, 2, Condition::CoverOpen);
        row(2, 3, Condition::FeedButton);
        row(2, 5, Condition::PaperEndStop);
        row(2, 6, Condition::Error);
        row(3, 3, Condition::AutocutterError);
        row(3, 5, Condition::UnrecoverableError);
        row(3, 6, Condition::RecoverableError);
        row(4, 2, Condition::PaperNearEnd);
        row(4, 3, Condition::PaperNearEnd);
        row(4, 5, Condition::PaperEnd);
        row(4, 6, Condition::PaperEnd);
    }
    void everyBitItsCondition()
    {
        QFETCH(int, request);
        QFETCH(int, bit);
        QFETCH(Condition, condition);
        Status s;
        s.bytes[std::size_t(request - 1)] |= std::uint8_t(1 << bit);
        for (const ConditionRow& row : conditions())
            QCOMPARE(s.has(row.condition), row.condition == condition);
    }

    void summary_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("ready");
        auto row = [](const char* hex, const char* summary, bool ready) {
            QTest::newRow(hex) << QString::fromLatin1(hex) << QString::fromLatin1(summary) << ready;
        };
        row("12121212", "online, paper ok; drawer signal low", true);
        row("16121212", "online, paper ok; drawer signal high", true);
        row("1212121E", "online, paper near end; drawer signal low", true);
        row("1A161212", "offline: cover open; drawer signal low", false);
        row("1A1A1212", "offline: paper being fed by the FEED button; drawer signal low", false);
        row("1A32127E", "offline: printing stopped by paper end, paper end; drawer signal low",
            false);
        row("1A521A12", "offline: error, autocutter error; drawer signal low", false);
        row("1A527212",
            "offline: error, unrecoverable error, automatically recoverable error; "
            "drawer signal low",
            false);
        row("1A121212", "offline; drawer signal low", false);
        row("12121272", "online, paper end; drawer signal low", false);
        row("12321212", "online, printing stopped by paper end; drawer signal low", false);
    }
    void summary()
    {
        QFETCH(QString, hex);
        QFETCH(QString, summary);
        QFETCH(bool, ready);
        const Status s = read(QByteArray::fromHex(hex.toLatin1())).status;
        QCOMPARE(s.summary(), summary);
        QCOMPARE(s.ready(), ready);
    }

    void reply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ReplyCheck>("check");
        QTest::addColumn<int>("request");
        QTest::newRow("nothing") << QByteArray() << ReplyCheck::Missing << 1;
        QTest::newRow("three of four") << QByteArray::fromHex("121212") << ReplyCheck::Missing << 4;
        QTest::newRow("all four") << QByteArray::fromHex("16121212") << ReplyCheck::Complete << 0;
        QTest::newRow("garbage first") << QByteArray::fromHex("FF") << ReplyCheck::Invalid << 1;
        QTest::newRow("bit 0 set in the last")
            << QByteArray::fromHex("12121213") << ReplyCheck::Invalid << 4;
        // A status byte has bit 0 and 7 clear, bit 1 and 4 set: each broken alone.
        QTest::newRow("a zero") << QByteArray::fromHex("1200") << ReplyCheck::Invalid << 2;
        QTest::newRow("bit 7 set") << QByteArray::fromHex("92") << ReplyCheck::Invalid << 1;
        QTest::newRow("bit 1 clear") << QByteArray::fromHex("1210") << ReplyCheck::Invalid << 2;
        QTest::newRow("bit 4 clear") << QByteArray::fromHex("121202") << ReplyCheck::Invalid << 3;
        QTest::newRow("free bits all set")
            << QByteArray::fromHex("7E7E7E7E") << ReplyCheck::Complete << 0;
    }
    void reply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ReplyCheck, check);
        QFETCH(int, request);
        const Reply r = read(bytes);
        QCOMPARE(r.check, check);
        QCOMPARE(r.request, request);
    }
};

QTEST_GUILESS_MAIN(TestPrinterStatus)
#include "tst_printerstatus.moc"

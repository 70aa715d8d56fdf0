#include "core/PrinterStatus.h"

#include <QTest>

using namespace PrinterStatus;

Q_DECLARE_METATYPE(PrinterStatus::Condition)
Q_DECLARE_METATYPE(PrinterStatus::ReplyCheck)

namespace {

Status status(const char* hex)
{
    const Reply reply = read(QByteArray::fromHex(hex));
    return reply.status;
}

} // namespace

// The four status bytes: which are status bytes at all, what every bit means, how it reads.
class TestPrinterStatus : public QObject {
    Q_OBJECT
private slots:
    void fixedBitsTellAStatusByte()
    {
        int valid = 0;
        for (int b = 0; b < 256; ++b) {
            const bool fixed = !(b & 0x01) && (b & 0x02) && (b & 0x10) && !(b & 0x80);
            QCOMPARE(isStatusByte(std::uint8_t(b)), fixed);
            valid += fixed ? 1 : 0;
        }
        QCOMPARE(valid, 16); // four free bits
    }

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
        const Status s = status(hex.toLatin1());
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
        QTest::newRow("a zero") << QByteArray::fromHex("1200") << ReplyCheck::Invalid << 2;
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

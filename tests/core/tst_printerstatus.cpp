#include "core/PrinterStatus.h"

#include "support/Rows.h"

using namespace PrinterStatus;

struct Bit {
    int request, bit;
    Condition condition; // the only one it sets
};
struct Summary {
    const char* name; // the four bytes in hex
    const char* summary;
    bool ready;
};
struct ReplyRow {
    const char* name;
    const char* hex;
    ReplyCheck check;
    int request; // the first request left without its byte; 0: none
};
struct Answers {
    const char* name;
    const char* status; // DLE EOT 1 to 4
    const char* paper;  // GS r 1
    const char* drawer; // GS r 2
    const char* automatic;
};
Q_DECLARE_METATYPE(Answers)
Q_DECLARE_METATYPE(Bit)
Q_DECLARE_METATYPE(Summary)
Q_DECLARE_METATYPE(ReplyRow)

// The four status bytes: which are status bytes at all, what every bit means, how it reads.
class TestPrinterStatus : public QObject {
    Q_OBJECT
private slots:
    void everyBitItsCondition_data()
    {
        addRows<Bit>({{1, 2, Condition::DrawerSignalHigh},
                      {1, 3, Condition::Offline},
                      {2, 2, Condition::CoverOpen},
                      {2, 3, Condition::FeedButton},
                      {2, 5, Condition::PaperEndStop},
                      {2, 6, Condition::Error},
                      {3, 3, Condition::AutocutterError},
                      {3, 5, Condition::UnrecoverableError},
                      {3, 6, Condition::RecoverableError},
                      {4, 2, Condition::PaperNearEnd},
                      {4, 3, Condition::PaperNearEnd},
                      {4, 5, Condition::PaperEnd},
                      {4, 6, Condition::PaperEnd}},
                     [](const Bit& row) {
                         return QStringLiteral("DLE EOT %1 bit %2").arg(row.request).arg(row.bit);
                     });
    }
    void everyBitItsCondition()
    {
        QFETCH(Bit, row);
        Status s;
        s.bytes[std::size_t(row.request - 1)] |= std::uint8_t(1 << row.bit);
        for (const ConditionRow& c : conditions())
            QCOMPARE(s.has(c.condition), c.condition == row.condition);
    }

    void summary_data()
    {
        addRows<Summary>({
            {"12121212", "online, paper ok; drawer signal low", true},
            {"16121212", "online, paper ok; drawer signal high", true},
            {"1212121E", "online, paper near end; drawer signal low", true},
            {"1A161212", "offline: cover open; drawer signal low", false},
            {"1A1A1212", "offline: paper being fed by the FEED button; drawer signal low", false},
            {"1A32127E", "offline: printing stopped by paper end, paper end; drawer signal low",
             false},
            {"1A521A12", "offline: error, autocutter error; drawer signal low", false},
            {"1A527212",
             "offline: error, unrecoverable error, automatically recoverable error; "
             "drawer signal low",
             false},
            {"1A121212", "offline; drawer signal low", false},
            {"12121272", "online, paper end; drawer signal low", false},
            {"12321212", "online, printing stopped by paper end; drawer signal low", false},
        });
    }
    void summary()
    {
        QFETCH(Summary, row);
        const Status s = read(QByteArray::fromHex(row.name)).status;
        QCOMPARE(s.summary(), QString::fromLatin1(row.summary));
        QCOMPARE(s.ready(), row.ready);
    }

    void reply_data()
    {
        addRows<ReplyRow>({
            {"nothing", "", ReplyCheck::Missing, 1},
            {"three of four", "121212", ReplyCheck::Missing, 4},
            {"all four", "16121212", ReplyCheck::Complete, 0},
            {"garbage first", "FF", ReplyCheck::Invalid, 1},
            {"bit 0 set in the last", "12121213", ReplyCheck::Invalid, 4},
            // A status byte has bit 0 and 7 clear, bit 1 and 4 set: each broken alone.
            {"a zero", "1200", ReplyCheck::Invalid, 2},
            {"bit 7 set", "92", ReplyCheck::Invalid, 1},
            {"bit 1 clear", "1210", ReplyCheck::Invalid, 2},
            {"bit 4 clear", "121202", ReplyCheck::Invalid, 3},
            {"free bits all set", "7E7E7E7E", ReplyCheck::Complete, 0},
        });
    }
    void reply()
    {
        QFETCH(ReplyRow, row);
        const Reply r = read(QByteArray::fromHex(row.hex));
        QCOMPARE(r.check, row.check);
        QCOMPARE(r.request, row.request);
    }

    // The other answers a printer gives from the same status, each byte with its fixed bits.
    void otherAnswers_data()
    {
        addRows<Answers>({
            {"online", "12121212", "00", "00", "10000000"},
            {"drawer signal high", "16121212", "00", "01", "14000000"},
            {"cover open, paper fed by the button", "1A1E1212", "00", "00", "78000000"},
            {"every error", "1A527A12", "00", "00", "18680000"},
            {"paper near end", "1212121E", "03", "00", "10000300"},
            {"paper end", "1A32127E", "0F", "00", "18000F00"},
        });
    }
    void otherAnswers()
    {
        QFETCH(Answers, row);
        const Status s = read(QByteArray::fromHex(row.status)).status;
        QCOMPARE(QByteArray(1, char(*transmitted(s, 1))).toHex().toUpper(), row.paper);
        QCOMPARE(QByteArray(1, char(*transmitted(s, 50))).toHex().toUpper(), row.drawer);
        const auto four = automatic(s);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(four.data()), 4).toHex().toUpper(),
                 row.automatic);
        QCOMPARE(four[0] & kAutomaticFirstMask, kAutomaticFirstBits);
        for (std::size_t i = 1; i < four.size(); ++i)
            QCOMPARE(four[i] & kAutomaticRestMask, 0);
        QVERIFY(!transmitted(s, 3));
    }
};

QTEST_GUILESS_MAIN(TestPrinterStatus)
#include "tst_printerstatus.moc"

#include "core/Address.h"

#include <QTest>

#include <vector>

namespace {

const QByteArray kNewIP = QByteArray::fromHex("C0A87BC8");   // 192.168.123.200
const QByteArray kNewID = QByteArray::fromHex("8080808080"); // 128-128-128-128-128

void row(const char* name, const QString& text, CheckOutcome outcome, const char* after = nullptr)
{
    const bool ip = QByteArrayView(name).startsWith("ip ");
    const QByteArray& before = ip ? kNewIP : kNewID;
    QTest::newRow(name) << ip << text << outcome << (after ? QByteArray::fromHex(after) : before);
}

} // namespace

// The outcome, and the bytes left in a store that held the default new address or ID.
class TestAddressCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data()
    {
        QTest::addColumn<bool>("ip");
        QTest::addColumn<QString>("text");
        QTest::addColumn<CheckOutcome>("outcome");
        QTest::addColumn<QByteArray>("after");

        using enum CheckOutcome;
        const QString twentyNines(20, u'9');
        row("ip 7 characters, the shortest", "0.0.0.0", Valid, "00000000");
        row("ip 6 characters", "1.2.3.", Wrong);
        row("ip 255 everywhere", "255.255.255.255", Valid, "FFFFFFFF");
        row("ip leading zeros read as decimal", "010.001.000.009", Valid, "0A010009");
        row("ip 256 in the last part stores the first three", "1.2.3.256", Wrong, "010203C8");
        row("ip 256 in the first part stores nothing", "256.1.1.1", Wrong);
        row("ip twenty nines store the parts before", "1.2.3." + twentyNines, Wrong, "010203C8");
        row("ip twenty leading zeros", "1.2.3.00000000000000000255", Valid, "010203FF");
        row("ip three parts", "10.20.300", Wrong);
        row("ip five parts", "1.2.3.4.5", Wrong);
        row("ip letter in a part stores nothing", "1.2.x.4", Wrong);
        row("ip plus sign", "+1.2.3.4", Wrong);
        row("ip full-width digit", QStringLiteral("1.2.3.\uFF14"), Wrong);
        row("ip empty", "", Empty);

        row("id default", "128-128-128-128-128", Valid);
        row("id 9 characters, the shortest", "0-0-0-0-0", Valid, "0000000000");
        row("id 8 characters", "0-0-0-0-", Wrong);
        row("id four parts", "10-20-30-40", Wrong);
        row("id six parts", "1-2-3-4-5-6", Wrong);
        row("id letter stores nothing", "10-20-30-40-x", Wrong);
        row("id 255 in the last part", "10-20-30-40-255", Valid, "0A141E28FF");
        row("id 256 stores the parts before", "10-20-30-40-256", Wrong, "0A141E2880");
        row("id twenty nines in the third part", "1-2-" + twentyNines + "-4-5", Wrong,
            "0102808080");
        row("id empty", "", Empty);
    }

    void check()
    {
        QFETCH(bool, ip);
        QFETCH(QString, text);
        QFETCH(CheckOutcome, outcome);
        QFETCH(QByteArray, after);

        const AddressRule& rule = ip ? kIPv4Rule : kEthernetIdRule;
        // Exactly as many bytes as parts, so a store past the end shows under the sanitizers.
        const QByteArray& before = ip ? kNewIP : kNewID;
        std::vector<std::uint8_t> store(before.begin(), before.end());
        QCOMPARE(checkAddress(text, rule, store), outcome);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(store.data()), qsizetype(store.size())),
                 after);
        QCOMPARE(checkAddress(text, rule), outcome); // the same verdict without a store
    }
};

QTEST_APPLESS_MAIN(TestAddressCheck)
#include "tst_address.moc"

#include "entry/AddressCheck.h"

#include <QTest>

#include <vector>

// The pure check, row by row: its outcome and the bytes it leaves in a store that held
// `before`. The IPv4 rows also hold parseIPv4 to the same verdict.
class TestAddressCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
};

namespace {

enum class Rule { IPv4, EthernetId };

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kNewIP = hex("C0A87BC8");   // 192.168.123.200, the default new address
const QByteArray kNewID = hex("8080808080"); // 128-128-128-128-128

void ip(const char* name, const QString& text, CheckOutcome outcome, const QByteArray& after)
{
    QTest::newRow(name) << Rule::IPv4 << text << kNewIP << outcome << after;
}

void id(const char* name, const QString& text, CheckOutcome outcome, const QByteArray& after)
{
    QTest::newRow(name) << Rule::EthernetId << text << kNewID << outcome << after;
}

} // namespace

void TestAddressCheck::check_data()
{
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<CheckOutcome>("outcome");
    QTest::addColumn<QByteArray>("after");

    using enum CheckOutcome;
    const QString twentyNines(20, u'9');

    ip("ip default current address", "192.168.123.100", Valid, hex("C0A87B64"));
    ip("ip 7 characters, the shortest", "0.0.0.0", Valid, hex("00000000"));
    ip("ip 6 characters", "1.2.3.", Wrong, kNewIP);
    ip("ip 15 characters, the longest", "255.255.255.255", Valid, hex("FFFFFFFF"));
    ip("ip leading zeros read as decimal", "010.001.000.009", Valid, hex("0A010009"));
    ip("ip 255 in the last part", "1.2.3.255", Valid, hex("010203FF"));
    ip("ip 256 in the last part stores the first three", "1.2.3.256", Wrong, hex("010203C8"));
    ip("ip 256 in the first part stores nothing", "256.1.1.1", Wrong, kNewIP);
    ip("ip 300 after the default new address", "10.0.0.300", Wrong, hex("0A0000C8"));
    ip("ip five nines", "1.2.3.99999", Wrong, hex("010203C8"));
    ip("ip twenty nines", "1.2.3." + twentyNines, Wrong, hex("010203C8"));
    ip("ip twenty nines first", twentyNines + ".2.3.4", Wrong, kNewIP);
    ip("ip twenty leading zeros", "1.2.3.00000000000000000255", Valid, hex("010203FF"));
    ip("ip three parts", "10.20.300", Wrong, kNewIP);
    ip("ip three parts, 6 characters", "1.2.34", Wrong, kNewIP);
    ip("ip five parts", "1.2.3.4.5", Wrong, kNewIP);
    ip("ip trailing point", "1.2.3.4.", Wrong, kNewIP);
    ip("ip leading point", ".1.2.3.4", Wrong, kNewIP);
    ip("ip empty part", "10..20.30", Wrong, kNewIP);
    ip("ip letter in a part stores nothing", "1.2.x.4", Wrong, kNewIP);
    ip("ip blank before", " 1.2.3.4", Wrong, kNewIP);
    ip("ip blank after", "1.2.3.4 ", Wrong, kNewIP);
    ip("ip blank inside a part", "1.2. 3.4", Wrong, kNewIP);
    ip("ip plus sign", "+1.2.3.4", Wrong, kNewIP);
    ip("ip full-width digit", QStringLiteral("1.2.3.\uFF14"), Wrong, kNewIP);
    ip("ip arabic-indic digit", QStringLiteral("1.2.3.\u0664"), Wrong, kNewIP);
    ip("ip one blank", " ", Wrong, kNewIP);
    ip("ip empty", "", Empty, kNewIP);

    id("id default", "128-128-128-128-128", Valid, kNewID);
    id("id 9 characters, the shortest", "0-0-0-0-0", Valid, hex("0000000000"));
    id("id 8 characters", "0-0-0-0-", Wrong, kNewID);
    id("id 19 characters, the longest", "255-255-255-255-255", Valid, hex("FFFFFFFFFF"));
    id("id leading zeros", "001-2-3-4-005", Valid, hex("0102030405"));
    id("id four parts, 7 characters", "1-2-3-4", Wrong, kNewID);
    id("id four parts", "10-20-30-40", Wrong, kNewID);
    id("id six parts", "1-2-3-4-5-6", Wrong, kNewID);
    id("id letter stores nothing", "10-20-30-40-x", Wrong, kNewID);
    id("id trailing dash", "10-20-30-40-", Wrong, kNewID);
    id("id 255 in the last part", "10-20-30-40-255", Valid, hex("0A141E28FF"));
    id("id 256 after the default", "10-20-30-40-256", Wrong, hex("0A141E2880"));
    id("id twenty nines in the third part", "1-2-" + twentyNines + "-4-5", Wrong,
       hex("0102808080"));
    id("id hex digit", "1A-2-3-4-5", Wrong, kNewID);
    id("id hex pairs", "A0-B1-C2-D3-E4", Wrong, kNewID);
    id("id points", "1.2.3.4.5", Wrong, kNewID);
    id("id full-width digit", QStringLiteral("\uFF11-2-3-4-5"), Wrong, kNewID);
    id("id empty", "", Empty, kNewID);
}

void TestAddressCheck::check()
{
    QFETCH(Rule, rule);
    QFETCH(QString, text);
    QFETCH(QByteArray, before);
    QFETCH(CheckOutcome, outcome);
    QFETCH(QByteArray, after);

    const AddressRule& addressRule = rule == Rule::IPv4 ? kIPv4Rule : kEthernetIdRule;
    // Exactly as many bytes as parts, so a store past the end shows under the sanitizers.
    std::vector<std::uint8_t> store(before.begin(), before.end());
    QCOMPARE(store.size(), std::size_t(addressRule.parts));

    QCOMPARE(checkAddress(text, addressRule, store), outcome);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(store.data()), qsizetype(store.size())),
             after);

    if (rule == Rule::IPv4) {
        const auto octets = parseIPv4(text);
        QCOMPARE(octets.has_value(), outcome == CheckOutcome::Valid);
        if (octets)
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(octets->data()), 4), after);
    }
    // Without a store the verdict is the same.
    QCOMPARE(checkAddress(text, addressRule), outcome);
}

QTEST_APPLESS_MAIN(TestAddressCheck)
#include "tst_addresscheck.moc"

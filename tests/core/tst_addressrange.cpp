#include "core/Address.h"
#include "core/AddressRange.h"

#include <QTest>

using namespace AddressRange;

Q_DECLARE_METATYPE(AddressRange::Check)
Q_DECLARE_METATYPE(AddressRange::Range)

namespace {

std::uint32_t ip(const char* text)
{
    return number(*parseIPv4(QString::fromLatin1(text)));
}

Range range(const char* first, const char* last)
{
    return {ip(first), ip(last)};
}

} // namespace

// What a search covers, from what a user wrote and from this machine's own networks.
class TestAddressRange : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Check>("check");
        QTest::addColumn<Range>("range");
        auto good = [](const char* text, Range r) {
            QTest::newRow(text) << QString::fromLatin1(text) << Check::Valid << r;
        };
        auto bad = [](const char* name, const char* text, Check check) {
            QTest::newRow(name) << QString::fromLatin1(text) << check << Range{};
        };
        good("192.168.1.0/24", range("192.168.1.1", "192.168.1.254"));
        good("192.168.1.77/24", range("192.168.1.1", "192.168.1.254")); // host bits ignored
        good("10.0.0.0/16", range("10.0.0.1", "10.0.255.254"));
        good("10.0.0.4/30", range("10.0.0.5", "10.0.0.6"));
        good("10.0.0.4/31", range("10.0.0.4", "10.0.0.5"));
        good("10.0.0.4/32", range("10.0.0.4", "10.0.0.4"));
        good("0.0.0.0/0", range("0.0.0.1", "255.255.255.254"));
        good("010.0.0.0/024", range("10.0.0.1", "10.0.0.254")); // leading zeros count for nothing
        good("10.0.0.20-10.0.0.60", range("10.0.0.20", "10.0.0.60"));
        good("10.0.0.20-60", range("10.0.0.20", "10.0.0.60"));
        good("10.0.0.0-10.0.1.255", range("10.0.0.0", "10.0.1.255")); // taken as written
        good("10.0.0.7-10.0.0.7", range("10.0.0.7", "10.0.0.7"));
        good("0.0.0.0-255.255.255.255", range("0.0.0.0", "255.255.255.255"));
        good("10.0.0.9", range("10.0.0.9", "10.0.0.9"));

        // A bad address itself is tst_address's to show; here, what the range adds around it.
        bad("empty", "", Check::Empty);
        bad("block of a bad address", "10.0.0/24", Check::BadAddress);
        bad("prefix 33", "10.0.0.0/33", Check::BadPrefix);
        bad("no prefix", "10.0.0.0/", Check::BadPrefix);
        bad("two slashes", "10.0.0.0/24/8", Check::BadPrefix);
        bad("prefix a word", "10.0.0.0/x", Check::BadPrefix);
        bad("no address before the slash", "/24", Check::BadAddress);
        bad("dash with nothing after", "10.0.0.1-", Check::BadAddress);
        bad("dash with nothing before", "-10.0.0.1", Check::BadAddress);
        bad("short end above 255", "10.0.0.1-256", Check::BadAddress);
        bad("two dashes", "10.0.0.1--5", Check::BadAddress);
        bad("end a bad address", "10.0.0.1-10.0.0", Check::BadAddress);
        bad("spaces", " 10.0.0.1", Check::BadAddress);
        bad("backwards", "10.0.0.60-10.0.0.20", Check::Backwards);
        bad("backwards short", "10.0.0.60-20", Check::Backwards);
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(Check, check);
        QFETCH(Range, range);
        const Parsed parsed = AddressRange::parse(text);
        QCOMPARE(parsed.check, check);
        if (check == Check::Valid)
            QCOMPARE(parsed.range, range);
    }

    // A network of this machine's is searched around its address, at most a /22 of it, and
    // never at its own network or broadcast address.
    void ownNetworkHosts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<Range>("hosts");
        auto row = [](const char* address, int prefix, Range hosts) {
            QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(address).arg(prefix)))
                << QString::fromLatin1(address) << prefix << hosts;
        };
        row("192.168.1.77", 24, range("192.168.1.1", "192.168.1.254"));
        row("192.168.1.77", 22, range("192.168.0.1", "192.168.3.254"));
        row("10.20.30.40", 16, range("10.20.28.0", "10.20.31.255"));
        row("10.0.1.9", 8, range("10.0.0.1", "10.0.3.255"));
        row("10.255.254.9", 8, range("10.255.252.0", "10.255.255.254"));
        row("10.0.0.5", 30, range("10.0.0.5", "10.0.0.6"));
        row("10.0.0.5", 32, range("10.0.0.5", "10.0.0.5"));
    }
    void ownNetworkHosts()
    {
        QFETCH(QString, address);
        QFETCH(int, prefix);
        QFETCH(Range, hosts);
        QCOMPARE(hostsOf(number(*parseIPv4(address)), prefix, kWidestOwnPrefix), hosts);
    }

    void everyAddressOnce()
    {
        const QList<Range> joined =
            merged({range("10.0.0.50", "10.0.0.60"), range("10.0.0.1", "10.0.0.9"),
                    range("10.0.0.55", "10.0.0.70"), range("10.0.0.10", "10.0.0.10"),
                    range("255.255.255.255", "255.255.255.255")});
        QCOMPARE(joined,
                 (QList<Range>{range("10.0.0.1", "10.0.0.10"), range("10.0.0.50", "10.0.0.70"),
                               range("255.255.255.255", "255.255.255.255")}));
        QCOMPARE(count(joined), 10u + 21u + 1u);
    }
};

QTEST_GUILESS_MAIN(TestAddressRange)
#include "tst_addressrange.moc"

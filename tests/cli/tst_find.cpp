#include "support/CliRun.h"
#include "support/FakePrinter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QRegularExpression>

#include <memory>
#include <vector>

namespace {

constexpr int kBound = 20000;
const QStringList kListening = {"127.0.0.10", "127.0.0.20", "127.0.0.30"};
const QString kSilent = QStringLiteral("127.0.0.40");

// Printers on three addresses of 127.0.0.0/24 and one that never answers; every other
// address refuses. Only the private namespace's loopback is searched.
struct Network {
    std::vector<std::unique_ptr<FakePrinter>> printers;
    SilentListener silent;
    bool up = true;

    explicit Network(const FakePrinter::Behaviour& behaviour = {})
    {
        for (const QString& host : kListening) {
            printers.push_back(std::make_unique<FakePrinter>());
            printers.back()->setBehaviour(behaviour);
            up = up && printers.back()->listen(QHostAddress(host), 9100);
        }
        up = up && silent.listen(QHostAddress(kSilent), 9100);
    }
};

// The seconds the tool says its search took.
double searchSeconds(const QString& err)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral(" in ([0-9.]+) s")).match(err);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

bool onlyLoopback()
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (interface.flags().testFlag(QNetworkInterface::IsUp) &&
            !interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            return false;
    }
    return true;
}

} // namespace

// corvane-cli find over loopback ranges inside the private namespace.
class TestFind : public QObject {
    Q_OBJECT
private slots:
    // In about one timeout, and far less once the others have answered: the silent address is
    // given up after ten times the slowest answer.
    void findsExactlyTheListeningAddresses()
    {
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli({"find", "127.0.0.0/24"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, kListening.join(u'\n').toLatin1() + '\n');
        QVERIFY2(r.err.contains("3 printers found among 254 addresses"), qPrintable(r.err));
        const double seconds = searchSeconds(r.err);
        QVERIFY2(seconds >= 0.09 && seconds < 0.9, qPrintable(r.err));
        QVERIFY2(r.ms < 1000 + 1000, qPrintable(QString::number(r.ms)));
        for (const auto& printer : network.printers) {
            QTRY_VERIFY_WITH_TIMEOUT(printer->closedByClient(0), kBound);
            QCOMPARE(printer->connectionCount(), 1);
            QCOMPARE(printer->bytes(0), QByteArray()); // a plain find sends nothing
        }
    }

    void explicitTimeoutIsWaitedOutForSilentAddresses()
    {
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli({"find", "-t", "1500", "127.0.0.35-45"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("no printer found among 11 addresses"), qPrintable(r.err));
        QVERIFY2(r.ms >= 1500 && r.ms < 1500 + 1000, qPrintable(QString::number(r.ms)));
    }

    void jsonOneObjectPerPrinterFound()
    {
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli({"--json", "find", "127.0.0.20", "127.0.0.1-127.0.0.15"});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QJsonObject line = QJsonDocument::fromJson(lines[i]).object();
            QVERIFY(line.take("ms").toInteger() >= 0);
            QCOMPARE(line, (QJsonObject{{"host", kListening[i]}, {"port", 9100}}));
        }
    }

    void statusIsShownBesideTheAddress()
    {
        Network network({.statusReplies = QByteArray::fromHex("1212121E")});
        QVERIFY(network.up);
        const CliRun r = runCli({"find", "--status", "127.0.0.10", "127.0.0.40-41"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("127.0.0.10\tonline, paper near end; drawer signal low\n"));
        QTRY_VERIFY_WITH_TIMEOUT(network.printers[0]->closedByClient(0), kBound);
        QCOMPARE(network.printers[0]->bytes(0), QByteArray::fromHex("100401100402100403100404"));
    }

    void dryRunListsTheRanges_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("a /16 needs no --force")
            << QStringList{"127.0.0.0/16"} << QByteArray("127.0.0.1-127.0.255.254\t65534\n");
        QTest::newRow("a /15 with --force") << QStringList{"--force", "127.0.0.0/15"}
                                            << QByteArray("127.0.0.1-127.1.255.254\t131070\n");
        QTest::newRow("every address once, in order")
            << QStringList{"127.0.0.9", "127.0.0.1-10", "127.0.0.20"}
            << QByteArray("127.0.0.1-127.0.0.10\t10\n127.0.0.20\t1\n");
    }
    void dryRunListsTheRanges()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli(QStringList{"-n", "find"} + arguments);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, out);
        QCoreApplication::processEvents(); // a connection made would be accepted by now
        QCOMPARE(network.printers[0]->connectionCount(), 0);
    }

    void badRangesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        auto row = [](const char* name, const QStringList& arguments, const char* says) {
            QTest::newRow(name) << arguments << QString::fromUtf8(says);
        };
        row("prefix 33", {"127.0.0.0/33"}, "\"127.0.0.0/33\" has no prefix length from 0 to 32");
        row("part above 255", {"127.0.0.10", "127.0.0.300"},
            "\"127.0.0.300\" is not an address range");
        row("a name", {"localhost"}, "\"localhost\" is not an address range");
        row("backwards", {"127.0.0.30-127.0.0.10"}, "\"127.0.0.30-127.0.0.10\" ends before");
        row("more than a /16", {"127.0.0.0/15"},
            "\"127.0.0.0/15\" holds 131070 addresses, "
            "more than a /16; give --force");
        row("more than a /12 even with --force", {"--force", "0.0.0.0/0"},
            "4294967294 addresses are more than one search takes");
        row("printers named as for the other commands", {"-H", "127.0.0.10"},
            "find searches the RANGE arguments");
    }
    void badRangesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli(QStringList{"find"} + arguments);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCoreApplication::processEvents(); // a connection made would be accepted by now
        QCOMPARE(network.printers[0]->connectionCount(), 0);
    }

    // Without a range the machine's own networks are searched; inside the private namespace
    // there is none but loopback, which is never searched so.
    void withoutRangeLoopbackIsNotSearched()
    {
        if (!onlyLoopback())
            QSKIP("this machine has a real network, which a test must never search");
        Network network;
        QVERIFY(network.up);
        const CliRun r = runCli({"find"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("no IPv4 network but loopback"), qPrintable(r.err));
        QCoreApplication::processEvents(); // a connection made would be accepted by now
        QCOMPARE(network.printers[0]->connectionCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "tst_find.moc"

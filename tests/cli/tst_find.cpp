#include "support/CliRun.h"
#include "support/FakePrinter.h"
#include "support/Rows.h"

#include <QNetworkInterface>
#include <QRegularExpression>

#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace {

const QStringList kListening = {"127.0.0.10", "127.0.0.20", "127.0.0.30"};
const QString kSilent = QStringLiteral("127.0.0.40");

// Printers on three addresses of 127.0.0.0/24 and one that never answers; every other
// address refuses. Only the private namespace's loopback is searched.
struct Network {
    std::vector<std::unique_ptr<FakePrinter>> printers;
    SilentListener silent;
    bool up = true;

    Network()
    {
        for (const QString& host : kListening) {
            printers.push_back(std::make_unique<FakePrinter>());
            // They answer a status request; a plain find sends none.
            printers.back()->setBehaviour({.statusReplies = QByteArray::fromHex("1212121E")});
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
    std::unique_ptr<Network> m_network;

private slots:
    void init()
    {
        m_network = std::make_unique<Network>();
        QVERIFY(m_network->up);
    }
    void cleanup() { m_network.reset(); }

    // In about one timeout, and far less once the others have answered: the silent address is
    // given up after ten times the slowest answer.
    void findsExactlyTheListeningAddresses()
    {
        const CliRun r = runCli({"find", "127.0.0.0/24"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, kListening.join(u'\n').toLatin1() + '\n');
        QVERIFY2(r.err.contains("3 printers found among 254 addresses"), qPrintable(r.err));
        const double seconds = searchSeconds(r.err);
        QVERIFY2(seconds >= 0.09 && seconds < 0.9, qPrintable(r.err));
        QVERIFY2(r.ms < 1000 + 1000, qPrintable(QString::number(r.ms)));
        for (const auto& printer : m_network->printers) {
            QTRY_VERIFY_WITH_TIMEOUT(printer->closedByClient(0), kBound);
            QCOMPARE(printer->connectionCount(), 1);
            QCOMPARE(printer->bytes(0), QByteArray()); // a plain find sends nothing
        }
    }

    void explicitTimeoutIsWaitedOutForSilentAddresses()
    {
        const CliRun r = runCli({"find", "-t", "1500", "127.0.0.35-45"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("no printer found among 11 addresses"), qPrintable(r.err));
        QVERIFY2(r.ms >= 1500 && r.ms < 1500 + 1000, qPrintable(QString::number(r.ms)));
    }

    void jsonOneObjectPerPrinterFound()
    {
        const CliRun r = runCli({"--json", "find", "127.0.0.20", "127.0.0.1-127.0.0.15"});
        QCOMPARE(r.status, 0);
        QList<QJsonObject> lines = jsonLines(r.out);
        QCOMPARE(lines.size(), 2);
        QJsonObject found = QJsonDocument::fromJson(R"({"command": "find", "ok": true,
            "outcome": "connected", "bytes": 0, "message": null, "port": 9100})")
                                .object();
        for (int i = 0; i < 2; ++i) {
            QVERIFY(lines[i].take("ms").toInteger() >= 0);
            found.insert("host", kListening[i]);
            QCOMPARE(lines[i], found);
        }
    }

    // Regression: a /16 wrote 1.6 MB of progress to the terminal. Progress is shown on a
    // terminal only, not a dumb one, at most ten times a second.
    void progressIsBoundedAndOnlyOnATerminal_data()
    {
        QTest::addColumn<QString>("term");
        QTest::newRow("terminal") << "xterm";
        QTest::newRow("dumb terminal") << "dumb";
    }
    void progressIsBoundedAndOnlyOnATerminal()
    {
        QFETCH(QString, term);
        int master = -1, slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        QProcess process;
        process.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("TERM=") + term);
        process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        QElapsedTimer clock;
        clock.start();
        // The silent address holds the search for its timeout.
        process.start(QStringLiteral(CORVANE_CLI), {"find", "-t", "1000", "127.0.0.0/22"});
        ::close(slave);
        QVERIFY(process.waitForFinished(kBound));
        const qint64 ms = clock.elapsed();
        QByteArray shown;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, got);
        ::close(master);
        QVERIFY2(shown.contains("3 printers found among 1022 addresses"), shown.constData());
        const qsizetype updates = shown.count("\033[K[");
        QVERIFY2(term == u"dumb" ? updates == 0 : updates >= 1 && updates <= 2 + ms / 100,
                 qPrintable(QString::number(updates)));
    }

    void statusIsShownBesideTheAddress()
    {
        const CliRun r = runCli({"find", "--status", "127.0.0.10", "127.0.0.40-41"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("127.0.0.10\tonline, paper near end; drawer signal low\n"));
        QTRY_VERIFY_WITH_TIMEOUT(m_network->printers[0]->closedByClient(0), kBound);
        QCOMPARE(m_network->printers[0]->bytes(0), QByteArray::fromHex("100401100402100403100404"));
    }

    // A dry run lists the ranges on standard output; a refusal says why on standard error.
    void nothingIsSent_data()
    {
        addRows<RefusalRow>({
            {"a /16 needs no --force", "-n 127.0.0.0/16", 0, "127.0.0.1-127.0.255.254\t65534\n"},
            {"a /15 with --force", "-n --force 127.0.0.0/15", 0,
             "127.0.0.1-127.1.255.254\t131070\n"},
            {"every address once, in order", "-n 127.0.0.9 127.0.0.1-10 127.0.0.20", 0,
             "127.0.0.1-127.0.0.10\t10\n127.0.0.20\t1\n"},
            {"prefix 33", "127.0.0.0/33", 2, "\"127.0.0.0/33\" has no prefix length from 0 to 32"},
            {"part above 255", "127.0.0.10 127.0.0.300", 2,
             "\"127.0.0.300\" is not an address range"},
            {"a name", "localhost", 2, "\"localhost\" is not an address range"},
            {"backwards", "127.0.0.30-127.0.0.10", 2, "\"127.0.0.30-127.0.0.10\" ends before"},
            {"more than a /16", "127.0.0.0/15", 2,
             "\"127.0.0.0/15\" holds 131070 addresses, more than a /16; give --force"},
            {"more than a /12 even with --force", "--force 0.0.0.0/0", 2,
             "4294967294 addresses are more than one search takes"},
            {"a range without its first address", "-10.0.0.5", 2,
             "\"-10.0.0.5\" has no first address before its \"-\""},
            // Without a range the machine's own networks are searched; inside the private
            // namespace there is none but loopback, which is never searched so.
            {"no range, no network but loopback", "", 2, "no IPv4 network but loopback"},
        });
    }
    void nothingIsSent()
    {
        QFETCH(RefusalRow, row);
        const QStringList arguments = QProcess::splitCommand(QString::fromUtf8(row.arguments));
        if (arguments.isEmpty() && !onlyLoopback())
            QSKIP("this machine has a real network, which a test must never search");
        const CliRun r = runCli(QStringList{"find"} + arguments);
        QCOMPARE(r.status, row.status);
        QVERIFY2(r.err.contains(QString::fromUtf8(row.says)) || row.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, row.status == 0 ? QByteArray(row.says) : QByteArray());
        QCoreApplication::processEvents(); // a connection made would be accepted by now
        QCOMPARE(m_network->printers[0]->connectionCount(), 0);
    }

    // Without a range, each network this machine is on, at most the /22 around its own address;
    // never loopback, a link that is down or IPv6. The links are made in a namespace of their own
    // and lead nowhere: the dry run only lists them.
    void ownNetworksAreListed()
    {
        // The link is up once its peer is: waited for, within a bound.
        const QString links = QStringLiteral(
            "ip link set lo up && ip link add v0 type veth peer name v1 && "
            "ip link add v2 type veth peer name v3 && ip addr add 10.9.8.7/30 dev v0 && "
            "ip addr add 172.20.0.5/16 dev v0 && ip addr add 10.1.1.1/24 dev v2 && "
            "ip link set v0 up && ip link set v1 up || exit 99; "
            "for i in $(seq 100); do ip -o link show v0 | grep -q 'state UP' && break; "
            "sleep 0.05; done; exec \"$0\" find -n");
        if (QProcess::execute("unshare", {"-rn", "true"}) != 0)
            QSKIP("no network namespace of its own can be made here");
        QProcess process;
        process.start("unshare", {"-rn", "sh", "-c", links, QStringLiteral(CORVANE_CLI)});
        QVERIFY(process.waitForFinished(kBound));
        if (process.exitCode() == 99)
            QSKIP("no virtual links can be made here");
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(),
                 QByteArray("10.9.8.5-10.9.8.6\t2\n172.20.0.1-172.20.3.255\t1023\n"));
        QCOMPARE(process.readAllStandardError(),
                 QByteArray(
                     "searching 10.9.8.5-10.9.8.6 (v0)\nsearching 172.20.0.1-172.20.3.255 (v0)\n"));
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "tst_find.moc"

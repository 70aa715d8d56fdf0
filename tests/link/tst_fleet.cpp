#include "core/Address.h"
#include "link/Fleet.h"
#include "support/FakePrinter.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr int kBound = 10000; // every wait below ends well within this
constexpr quint16 kPort = 9100;

Fleet::Target target(const char* host)
{
    return {QString::fromLatin1(host), *parseIPv4(QString::fromLatin1(host))};
}

void noWork(Connection* connection, const Fleet::Finish& finish)
{
    connection->abort();
    finish(Outcome::Connected, {});
}

} // namespace

// How long a fleet waits for addresses that never answer: a bound the caller moves, or one
// drawn from the answers of the others.
class TestFleet : public QObject {
    Q_OBJECT
private slots:
    void adaptiveBound_data()
    {
        QTest::addColumn<qint64>("slowest");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("bound");
        QTest::newRow("an answer at once") << qint64(0) << 1000 << 100;
        QTest::newRow("10 ms, the floor") << qint64(10) << 1000 << 100;
        QTest::newRow("11 ms") << qint64(11) << 1000 << 110;
        QTest::newRow("99 ms") << qint64(99) << 1000 << 990;
        QTest::newRow("100 ms, the timeout") << qint64(100) << 1000 << 1000;
        QTest::newRow("slower than the timeout") << qint64(900) << 1000 << 1000;
        QTest::newRow("the floor is above the timeout") << qint64(0) << 50 << 50;
    }
    void adaptiveBound()
    {
        QFETCH(qint64, slowest);
        QFETCH(int, timeout);
        QFETCH(int, bound);
        QCOMPARE(Fleet::adaptiveBound(slowest, timeout), bound);
    }

    void silentAddressIsGivenUpSoonAfterTheOthersAnswer()
    {
        FakePrinter printer;
        QVERIFY(printer.listen(QHostAddress(QStringLiteral("127.0.3.1")), kPort));
        SilentListener silent;
        QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.3.2")), kPort));
        Fleet fleet({target("127.0.3.1"), target("127.0.3.2"), target("127.0.3.3")}, kPort, 5000, 8,
                    noWork);
        fleet.adaptToAnswers();
        QSignalSpy results(&fleet, &Fleet::finished);
        QSignalSpy done(&fleet, &Fleet::allDone);
        QElapsedTimer clock;
        clock.start();
        fleet.start();
        QVERIFY(done.wait(kBound));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QMap<qsizetype, Fleet::Result> byIndex;
        for (const QList<QVariant>& signal : std::as_const(results)) {
            const auto result = signal.first().value<Fleet::Result>();
            byIndex[result.index] = result;
        }
        QCOMPARE(byIndex[0].outcome, Outcome::Connected);
        QVERIFY(byIndex[0].answerMs >= 0);
        QCOMPARE(byIndex[1].outcome, Outcome::TimedOut);
        QCOMPARE(byIndex[1].answerMs, -1);
        QVERIFY(byIndex[1].ms >= Fleet::kAnswerFloorMs);
        QCOMPARE(byIndex[2].outcome, Outcome::Refused);
        QVERIFY(byIndex[2].answerMs >= 0);
    }

    // Regression: the result waited for the graceful close, so a printer that took every byte
    // but never closed its side was told 2 s late, one that vanished 30 s late.
    void deliveredIsToldBeforeTheCloseEnds()
    {
        FakePrinter printer; // its system acknowledges what it never reads, nor closes
        printer.setBehaviour({.onAccept = FakePrinter::Accept::Hold});
        QVERIFY(printer.listen(QHostAddress(QStringLiteral("127.0.3.1")), kPort));
        Fleet fleet({target("127.0.3.1")}, kPort, 1000, 1, Fleet::sendAll({pattern(1000)}));
        QSignalSpy results(&fleet, &Fleet::finished);
        QElapsedTimer clock;
        clock.start();
        fleet.start();
        QVERIFY(results.wait(kBound));
        QVERIFY2(clock.elapsed() < Connection::kPeerCloseMs / 2,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(results.first().first().value<Fleet::Result>().outcome, Outcome::Delivered);
        QCOMPARE(Connection::retiredCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(Connection::retiredCount(), 0, kBound);
    }

    // The bound reaches attempts already under way, both ways.
    void attemptBoundMovesPendingAttempts_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("expected");
        QTest::newRow("lengthened") << 200 << 700 << 700;
        QTest::newRow("shortened") << 5000 << 400 << 400;
        QTest::newRow("shortened below the time waited") << 5000 << 50 << 150;
        QTest::newRow("never past the timeout") << 200 << 9000 << 1200;
    }
    void attemptBoundMovesPendingAttempts()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(int, expected);
        SilentListener silent;
        QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.3.2")), kPort));
        Fleet fleet({target("127.0.3.2")}, kPort, 1200, 1, noWork);
        fleet.setAttemptBound(first);
        QSignalSpy done(&fleet, &Fleet::allDone);
        QElapsedTimer clock;
        clock.start();
        fleet.start();
        QTimer::singleShot(150, &fleet, [&fleet, second] { fleet.setAttemptBound(second); });
        QVERIFY(done.wait(kBound));
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= expected - 5 && took < expected + 150, qPrintable(QString::number(took)));
    }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "tst_fleet.moc"

#include "window/Module1.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

class Module1Test : public QObject {
    Q_OBJECT
private slots:
    void delayRunsItsTimeWithEventsFlowing_data()
    {
        QTest::addColumn<double>("ms");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -5.0;
        QTest::newRow("fraction") << 0.4;
        QTest::newRow("300") << 300.0;
    }
    void delayRunsItsTimeWithEventsFlowing()
    {
        QFETCH(double, ms);
        bool handled = false;
        QTimer::singleShot(0, this, [&] { handled = true; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(Module1::Delay_ms(ms));
        QVERIFY(handled); // even a delay of nothing processes pending events once
        QVERIFY(clock.elapsed() >= qint64(std::ceil(ms)));
        QVERIFY(clock.elapsed() < qint64(ms) + 500);
    }
};

QTEST_GUILESS_MAIN(Module1Test)
#include "tst_module1.moc"

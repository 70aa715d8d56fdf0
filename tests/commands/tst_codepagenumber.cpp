#include "commands/CodePageNumber.h"
#include "fuzz/CodePageProperties.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestCodePageNumber : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void fuzzSeedsKeepTheProperties_data();
    void fuzzSeedsKeepTheProperties();
};

namespace {
constexpr int kOut = -1;
}

void TestCodePageNumber::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // the byte, or kOut when refused

    // No leading number.
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters abc") << "abc" << 0;
    QTest::newRow("blanks only") << "   " << 0;
    QTest::newRow("sign only") << "-" << 0;
    QTest::newRow("point only") << "." << 0;
    QTest::newRow("two signs") << "+-3" << 0;
    QTest::newRow("full-width digits are not digits") << "１２" << 0;
    QTest::newRow("ampersand without H or O") << "&12" << 0;
    QTest::newRow("sign before &H") << "-&H10" << 0;

    // Reading stops where the number does; blanks count nowhere.
    QTest::newRow("12ab") << "12ab" << 12;
    QTest::newRow("blanks around and between 2 5") << " 2 5 " << 25;
    QTest::newRow("tab and line break are blanks") << "\t1\r\n2" << 12;
    QTest::newRow("blanks join 12 34 into 1234") << "12 34" << kOut;
    QTest::newRow("second point ends the number") << "1.5.5" << 2;
    QTest::newRow("leading zeros") << "0000255" << 255;
    QTest::newRow("plus sign") << "+7" << 7;

    // Both edges of the range, and rounding halves to even.
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("255") << "255" << 255;
    QTest::newRow("256") << "256" << kOut;
    QTest::newRow("-1") << "-1" << kOut;
    QTest::newRow("254.5 ties down to even") << "254.5" << 254;
    QTest::newRow("255.5 ties up to 256") << "255.5" << kOut;
    QTest::newRow("255.49") << "255.49" << 255;
    QTest::newRow("2.5 gives 2") << "2.5" << 2;
    QTest::newRow("3.5 gives 4") << "3.5" << 4;
    QTest::newRow("2.5 and a far digit rounds up") << "2.500000000000000000001" << 3;
    QTest::newRow(".5 gives 0") << ".5" << 0;
    QTest::newRow(".51 gives 1") << ".51" << 1;
    QTest::newRow("-0.5 rounds to 0") << "-0.5" << 0;
    QTest::newRow("-0.6 rounds to -1") << "-0.6" << kOut;
    QTest::newRow("-0 is 0") << "-0" << 0;

    // &H and &O.
    QTest::newRow("&HFF") << "&HFF" << 255;
    QTest::newRow("&hff lower case") << "&hff" << 255;
    QTest::newRow("&H100") << "&H100" << kOut;
    QTest::newRow("&H alone") << "&H" << 0;
    QTest::newRow("&H stops at G") << "&HFG" << 15;
    QTest::newRow("&H with blanks") << "& H 1 0" << 16;
    QTest::newRow("&H with many zeros") << "&H" + QString(300, u'0') + "A" << 10;
    QTest::newRow("&H with many digits") << "&H" + QString(300, u'F') << kOut;
    QTest::newRow("&O377") << "&O377" << 255;
    QTest::newRow("&o400") << "&o400" << kOut;
    QTest::newRow("&O stops at 8") << "&O8" << 0;

    // Exponents.
    QTest::newRow("1e2") << "1e2" << 100;
    QTest::newRow("2.55E2") << "2.55E2" << 255;
    QTest::newRow("2.555E2 is 255.5") << "2.555E2" << kOut;
    QTest::newRow("25e-1 ties to 2") << "25e-1" << 2;
    QTest::newRow("35E-1 ties to 4") << "35E-1" << 4;
    QTest::newRow("E+ without digits is no exponent") << "7E+" << 7;
    QTest::newRow("E alone") << "7e" << 7;
    QTest::newRow("exponent with blanks") << "1 e 2" << 100;
    QTest::newRow("exponent without mantissa") << "e5" << 0;
    QTest::newRow("huge exponent") << "1e99999999999999999999999" << kOut;
    QTest::newRow("huge negative exponent") << "1e-99999999999999999999999" << 0;
    QTest::newRow("zero with huge exponent") << "0e99999999999999999999999" << 0;
    QTest::newRow("negative huge exponent is 0") << "-5e-999999" << 0;

    // Hundreds of digits.
    QTest::newRow("400 nines") << QString(400, u'9') << kOut;
    QTest::newRow("400 zeros then 42") << QString(400, u'0') + "42" << 42;
    QTest::newRow("tiny fraction") << "0." + QString(400, u'0') + "1" << 0;
    QTest::newRow("1 and 300 zeros scaled back") << "1" + QString(300, u'0') + "e-300" << 1;
    QTest::newRow("many digits scaled to 254.5") << "2545" + QString(300, u'0') + "e-301" << 254;
    QTest::newRow("tie broken by a digit far out") << "254.5" + QString(300, u'0') + "1" << 255;
}

void TestCodePageNumber::reads()
{
    QFETCH(QString, text);
    QFETCH(int, expected);

    const CodePageNumber read = readCodePageNumber(text);
    if (expected == kOut) {
        QCOMPARE(read.status, CodePageNumber::Status::OutOfRange);
    } else {
        QCOMPARE(read.status, CodePageNumber::Status::Valid);
        QCOMPARE(int(read.value), expected);
    }
}

void TestCodePageNumber::fuzzSeedsKeepTheProperties_data()
{
    QTest::addColumn<QString>("path");
    const QDir seeds(QStringLiteral(CORVANE_CODEPAGE_SEEDS));
    const QStringList names = seeds.entryList(QDir::Files, QDir::Name);
    QVERIFY(!names.isEmpty());
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << seeds.filePath(name);
}

void TestCodePageNumber::fuzzSeedsKeepTheProperties()
{
    QFETCH(QString, path);
    QFile seed(path);
    QVERIFY(seed.open(QIODevice::ReadOnly));
    const QString broken = checkCodePageProperties(QString::fromUtf8(seed.readAll()));
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
}

QTEST_GUILESS_MAIN(TestCodePageNumber)
#include "tst_codepagenumber.moc"

#include "commands/AnsiCodePage.h"
#include "commands/CodePageNumber.h"
#include "commands/NvImageFile.h"

#include <QBuffer>
#include <QTest>

namespace {

constexpr int kOut = -1;

// A device whose length is not what reading it gives: a file cut short after its length was
// asked, or one too long to hold in memory.
struct ClaimedLength : QBuffer {
    qint64 claimed = 0;
    qint64 size() const override { return claimed; }
};

} // namespace

// What the commands read before they send: code page number, typed text, NV data file.
class TestCommandInputs : public QObject {
    Q_OBJECT
private slots:
    void codePageNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // the byte, or kOut when refused
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("abc") << "abc" << 0;
        QTest::newRow("12ab stops at the letter") << "12ab" << 12;
        QTest::newRow("blanks around and between 2 5") << " 2 5 " << 25;
        QTest::newRow("255") << "255" << 255;
        QTest::newRow("256") << "256" << kOut;
        QTest::newRow("-1") << "-1" << kOut;
        QTest::newRow("254.5 ties down to even") << "254.5" << 254;
        QTest::newRow("255.5 ties up to 256") << "255.5" << kOut;
        QTest::newRow("2.5 gives 2") << "2.5" << 2;
        QTest::newRow("3.5 gives 4") << "3.5" << 4;
        QTest::newRow("-0.5 rounds to 0") << "-0.5" << 0;
        QTest::newRow("&hff") << "&hff" << 255;
        QTest::newRow("&H100") << "&H100" << kOut;
        QTest::newRow("&O377") << "&O377" << 255;
        QTest::newRow("&o400") << "&o400" << kOut;
        QTest::newRow("2.55E2") << "2.55E2" << 255;
        QTest::newRow("25e-1 ties to 2") << "25e-1" << 2;
        QTest::newRow("huge exponent") << "1e99999999999999999999999" << kOut;
        QTest::newRow("400 nines") << QString(400, u'9') << kOut;
        QTest::newRow("tie broken by a digit far out") << "254.5" + QString(300, u'0') + "1" << 255;
    }
    void codePageNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const CodePageNumber read = readCodePageNumber(text);
        QCOMPARE(read.status == CodePageNumber::Status::OutOfRange, expected == kOut);
        if (expected != kOut)
            QCOMPARE(int(read.value), expected);
    }

    // The locale picks the code page; each row's text tells the code pages apart.
    void textToBytes_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("hex");
        auto row = [](const char* name, const char* locale, const QString& text, const char* hex) {
            QTest::newRow(name) << QString(locale) << text << QByteArray(hex);
        };
        row("中文 in zh_CN", "zh_CN.UTF-8", "a中文", "61 d6d0 cec4");
        row("中文 in zh_TW", "ZH_tw.Big5", "中文", "a4a4 a4e5");
        row("日本 in ja_JP", "ja_JP.eucJP", "日本", "93fa 967b");
        row("é€ in en_US", "en_US.UTF-8", "é€", "e9 80");
        row("Жж in ru_RU", "ru_RU.UTF-8", "Жж", "c6 e6");
        row("Ж not in sr_RS@latin, č is", "sr_RS@latin", "Жč", "3f e8");
        row("composed ế in vi_VN", "vi_VN", "ế", "ea ec");
        row("中 not in en_US", "en_US.UTF-8", "a中b", "61 3f 62");
        row("one ? outside the BMP", "en_US.UTF-8", "A😀B", "41 3f 42");
        row("CR LF kept", "zh_CN.UTF-8", "a\r\nb\r\n", "61 0d0a 62 0d0a");
        row("empty", "zh_CN.UTF-8", "", "");
    }
    void textToBytes()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QByteArray, hex);
        const QByteArray bytes = AnsiCodePage::encode(text, AnsiCodePage::forLocale(locale));
        QCOMPARE(bytes.toHex(' '), QByteArray::fromHex(hex).toHex(' '));
    }

    // Whole, missing and empty files are the download tests' to show.
    void nvFileShorterOrLongerThanItsLength_data()
    {
        QTest::addColumn<qint64>("claimed");
        QTest::addColumn<NvImageFile::Status>("status");
        QTest::newRow("shorter than its length") << qint64(10) << NvImageFile::Status::ShortRead;
        QTest::newRow("64 TiB") << (qint64(1) << 46) << NvImageFile::Status::TooLarge;
    }
    void nvFileShorterOrLongerThanItsLength()
    {
        QFETCH(qint64, claimed);
        QFETCH(NvImageFile::Status, status);
        ClaimedLength device;
        device.setData("abc");
        device.claimed = claimed;
        const NvImageFile image = NvImageFile::readWhole(device);
        QCOMPARE(image.status(), status);
        QVERIFY(image.bytes().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandInputs)
#include "tst_commandinputs.moc"

#include "core/LenientByte.h"
#include "core/NvImageFile.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr int kOut = -1;

// A device whose length is not what reading it gives: a file cut short after its length was
// asked, or one too long to hold in memory.
struct ClaimedLength : QBuffer {
    qint64 claimed = 0;
    qint64 size() const override { return claimed; }
};

} // namespace

// What the commands read before they send: the code page number and the NV data file.
class TestCommandInputs : public QObject {
    Q_OBJECT
private slots:
    void lenientByte_data()
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
    void lenientByte()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const LenientByte read = readLenientByte(text);
        QCOMPARE(read.status == LenientByte::Status::OutOfRange, expected == kOut);
        if (expected != kOut)
            QCOMPARE(int(read.value), expected);
    }

    // Regression: a FIFO in the data file's place held the window's thread in open() for ever.
    void nvFileMustBeAPlainFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<NvImageFile::Status>("status");
        QTest::newRow("one byte") << "file 1" << NvImageFile::Status::Read;
        QTest::newRow("empty") << "file 0" << NvImageFile::Status::Empty;
        QTest::newRow("missing") << "missing" << NvImageFile::Status::CannotOpen;
        QTest::newRow("FIFO without a writer") << "fifo" << NvImageFile::Status::NotAFile;
        QTest::newRow("folder") << "folder" << NvImageFile::Status::NotAFile;
        QTest::newRow("device") << "/dev/zero" << NvImageFile::Status::NotAFile;
    }
    void nvFileMustBeAPlainFile()
    {
        QFETCH(QString, kind);
        QFETCH(NvImageFile::Status, status);
        QTemporaryDir folder;
        QString path = folder.filePath(QStringLiteral("TavoNV.bin"));
        if (kind.startsWith(u"file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(kind.mid(5).toInt(), 'n'));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == u"folder") {
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("TavoNV.bin")));
        } else if (kind.startsWith(u'/')) {
            path = kind;
        }
        QElapsedTimer clock;
        clock.start();
        const NvImageFile image = NvImageFile::read(path);
        QCOMPARE(image.status(), status);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(image.bytes().size(), status == NvImageFile::Status::Read ? 1 : 0);
    }

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
#include "tst_inputs.moc"

#include "commands/NvImageFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A device whose length is not what reading it gives, like a file cut short after its length
// was asked, or one too long to hold in memory.
class ClaimedLength : public QBuffer {
public:
    ClaimedLength(const QByteArray& data, qint64 claimed)
        : m_data(data)
        , m_claimed(claimed)
    {
        setBuffer(&m_data);
    }
    qint64 size() const override { return m_claimed; }

private:
    QByteArray m_data;
    qint64 m_claimed;
};

} // namespace

class TestNvImageFile : public QObject {
    Q_OBJECT
private slots:
    void readsWholeFileUnchanged();
    void unusableFileIsRefused_data();
    void unusableFileIsRefused();
};

void TestNvImageFile::readsWholeFileUnchanged()
{
    QTemporaryDir dir;
    QByteArray everyValue;
    for (int i = 0; i < 256; ++i)
        everyValue.append(char(i));
    QFile file(dir.filePath(QStringLiteral("TavoNV.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(everyValue);
    file.close();

    const NvImageFile image = NvImageFile::readWhole(file);
    QCOMPARE(image.status(), NvImageFile::Status::Read);
    QCOMPARE(image.bytes(), everyValue);
}

void TestNvImageFile::unusableFileIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<NvImageFile::Status>("status");

    QTest::newRow("missing") << "missing" << NvImageFile::Status::CannotOpen;
    QTest::newRow("a folder of that name") << "folder" << NvImageFile::Status::CannotOpen;
    QTest::newRow("empty") << "empty" << NvImageFile::Status::Empty;
    QTest::newRow("shorter than its length") << "short" << NvImageFile::Status::ShortRead;
    QTest::newRow("64 TiB, more than memory holds") << "huge" << NvImageFile::Status::TooLarge;
}

void TestNvImageFile::unusableFileIsRefused()
{
    QFETCH(QString, kind);
    QFETCH(NvImageFile::Status, status);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TavoNV.bin"));
    std::unique_ptr<QIODevice> device;
    if (kind == u"missing" || kind == u"folder" || kind == u"empty") {
        if (kind == u"folder")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("TavoNV.bin")));
        if (kind == u"empty") {
            QFile empty(path);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        device = std::make_unique<QFile>(path);
    } else {
        device = std::make_unique<ClaimedLength>("abc", kind == u"short" ? 10 : qint64(1) << 46);
    }

    const NvImageFile image = NvImageFile::readWhole(*device);
    QCOMPARE(image.status(), status);
    QVERIFY(image.bytes().isEmpty());
}

QTEST_GUILESS_MAIN(TestNvImageFile)
#include "tst_nvimagefile.moc"

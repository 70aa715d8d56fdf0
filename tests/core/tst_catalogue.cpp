#include "core/AnsiCodePage.h"
#include "core/Catalogue.h"

#include <QTest>

using namespace Catalogue;

Q_DECLARE_METATYPE(Catalogue::Input)

// The bytes of every command, send by send, with no socket and no window: the one table of
// what reaches a printer.
class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void sends_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Input>("input");
        QTest::addColumn<QStringList>("hex"); // one item per send
        auto row = [](const char* label, const char* name, const Input& input,
                      const QStringList& hex) {
            QTest::newRow(label) << QString::fromLatin1(name) << input << hex;
        };
        auto text = [](const char* locale, const QString& s) {
            return Text{s, AnsiCodePage::forLocale(QString::fromLatin1(locale))};
        };
        row("connection test sends nothing", "test", NoInput{}, {});
        row("cut", "cut", NoInput{}, {"1d 56 42 00"});
        row("drawer", "drawer", NoInput{}, {"1b 70 00 50 50"});
        row("nv-print", "nv-print", NoInput{}, {"1b 40 1b 61 01 1c 70 01 00 0a 1b 40"});
        row("set-ip as the window opens", "set-ip", IPv4{{192, 168, 123, 200}},
            {"1f 1b 1f 91 00 49 50", "c0 a8 7b c8"});
        row("set-ip 0.0.0.0", "set-ip", IPv4{{0, 0, 0, 0}},
            {"1f 1b 1f 91 00 49 50", "00 00 00 00"});
        row("set-id as the window opens", "set-id", EthernetId{{128, 128, 128, 128, 128}},
            {"1f 1b 1f 91 00 49 44", "00 80 80 80 80 80"});
        row("set-id 1-2-3-4-5", "set-id", EthernetId{{1, 2, 3, 4, 5}},
            {"1f 1b 1f 91 00 49 44", "00 01 02 03 04 05"});
        row("language 中文简体", "language", Language{0}, {"1f 1b 1f ee 11 0a"});
        row("language 中文繁体", "language", Language{1}, {"1f 1b 1f ee 22 0a"});
        row("language 韩文", "language", Language{2}, {"1f 1b 1f ee 33 0a"});
        row("language 日文", "language", Language{3}, {"1f 1b 1f ee 44 0a"});
        row("language none selected", "language", Language{-1}, {"1f 1b 1f ee 00 0a"});
        row("language past the list", "language", Language{4}, {"1f 1b 1f ee 00 0a"});
        row("black mark on", "black-mark", BlackMark{true}, {"1f 1b 1f 80 04 05 06 44"});
        row("black mark off", "black-mark", BlackMark{false}, {"1f 1b 1f 80 04 05 06 66"});
        row("code page as the window opens", "code-page", CodePage{10}, {"1f 1b 1f ff 0a 0a"});
        row("code page 0", "code-page", CodePage{0}, {"1f 1b 1f ff 00 0a"});
        row("code page 255", "code-page", CodePage{255}, {"1f 1b 1f ff ff 0a"});
        row("OstrikARM", "arm", Arm{ArmBoard::Ostrik}, {"1f 1b 1f 09 09 06 06 88"});
        row("VelmarARM", "arm", Arm{ArmBoard::Velmar}, {"1f 1b 1f 09 09 06 06 44"});
        row("nv-download passes every byte value on", "nv-download",
            Bytes{QByteArray::fromHex("00ff80 1b40")}, {"00 ff 80 1b 40"});
        row("raw", "raw", Bytes{QByteArray::fromHex("1004 01")}, {"10 04 01"});
        row("set-ip without its address sends nothing", "set-ip", NoInput{}, {});

        // Typed text, in the Windows code page of the locale; each row tells code pages apart.
        row("print empty still makes its send", "print", text("zh_CN.UTF-8", ""), {""});
        row("print 中文 in zh_CN (936)", "print", text("zh_CN.UTF-8", "a中文"), {"61 d6 d0 ce c4"});
        row("print 中文 in zh_TW (950)", "print", text("ZH_tw.Big5", "中文"), {"a4 a4 a4 e5"});
        row("print 日本 in ja_JP (932)", "print", text("ja_JP.eucJP", "日本"), {"93 fa 96 7b"});
        row("print é€ in en_US (1252)", "print", text("en_US.UTF-8", "é€"), {"e9 80"});
        row("print no-break space (1252)", "print", text("C", "a\u00a0b"), {"61 a0 62"});
        row("print Жж in ru_RU (1251)", "print", text("ru_RU.UTF-8", "Жж"), {"c6 e6"});
        row("print Ж not in sr_RS@latin, č is", "print", text("sr_RS@latin", "Жč"), {"3f e8"});
        row("print composed ế in vi_VN", "print", text("vi_VN", "ế"), {"ea ec"});
        row("print 中 not in en_US", "print", text("en_US.UTF-8", "a中b"), {"61 3f 62"});
        row("print one ? outside the BMP", "print", text("en_US.UTF-8", "A😀B"), {"41 3f 42"});
        row("print CR LF kept", "print", text("zh_CN.UTF-8", "a\r\nb\r\n"), {"61 0d 0a 62 0d 0a"});
    }
    void sends()
    {
        QFETCH(QString, name);
        QFETCH(Input, input);
        QFETCH(QStringList, hex);
        const Command* command = find(name);
        QVERIFY2(command, qPrintable(name));
        QCOMPARE(&Catalogue::command(command->id), command);
        QStringList got;
        for (const QByteArray& send : Catalogue::sends(command->id, input))
            got << QString::fromLatin1(send.toHex(' '));
        QCOMPARE(got, hex);
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

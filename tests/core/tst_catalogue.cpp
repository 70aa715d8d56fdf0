#include "core/AnsiCodePage.h"
#include "core/Catalogue.h"
#include "support/Rows.h"

#include <QTest>

using namespace Catalogue;

Q_DECLARE_METATYPE(Catalogue::Input)

namespace {

// A command's words as a shell splits them, and what reading them gives: the bytes it sends,
// or nothing and the refusal; says is the refusal, or the note beside a good input.
struct ReadRow {
    QStringList words;
    const char* hex;
    const char* says = "";
    int codePage = 1252;
};

// The files print reads, by name.
std::optional<QByteArray> file(const QString& path, QString* why)
{
    static const QMap<QString, QByteArray> files = {
        {"utf8", "中文\nb\n"}, {"latin1", "\xe9t\xe9"}, {"lost", "a中b😀"}};
    *why = QStringLiteral("cannot open \"%1\"").arg(path);
    return files.contains(path) ? std::optional(files[path]) : std::nullopt;
}

} // namespace

Q_DECLARE_METATYPE(ReadRow)

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
        row("language 中文简体", "language", Language{0}, {"1f 1b 1f ee 11 0a"});
        row("language 中文繁体", "language", Language{1}, {"1f 1b 1f ee 22 0a"});
        row("language 韩文", "language", Language{2}, {"1f 1b 1f ee 33 0a"});
        row("language 日文", "language", Language{3}, {"1f 1b 1f ee 44 0a"});
        row("language none selected", "language", Language{-1}, {"1f 1b 1f ee 00 0a"});
        row("language past the list", "language", Language{4}, {"1f 1b 1f ee 00 0a"});
        row("black mark on", "black-mark", BlackMark{true}, {"1f 1b 1f 80 04 05 06 44"});
        row("code page as the window opens", "code-page", CodePage{10}, {"1f 1b 1f ff 0a 0a"});
        row("code page 0", "code-page", CodePage{0}, {"1f 1b 1f ff 00 0a"});
        row("OstrikARM", "arm", Arm{ArmBoard::Ostrik}, {"1f 1b 1f 09 09 06 06 88"});
        row("nv-download passes every byte value on", "nv-download",
            Bytes{QByteArray::fromHex("00ff80 1b40")}, {"00 ff 80 1b 40"});
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

    // The words of every command, read as the command line gives them: good and bad.
    void reads_data()
    {
        const char* no = nullptr;
        addRows<ReadRow>(
            {{{"test"}, ""},
             {{"cut", "now"}, no, "cut: takes no arguments, but was given \"now\""},
             {{"set-ip", "010.1.0.9"}, "1f 1b 1f 91 00 49 50 0a 01 00 09"},
             {{"set-ip", "1.2.3.256"}, no, "set-ip: \"1.2.3.256\" is not an IPv4 address"},
             {{"set-ip"}, no, "set-ip takes A.B.C.D"},
             {{"set-id", "1-2-3-4-255"}, "1f 1b 1f 91 00 49 44 00 01 02 03 04 ff"},
             {{"set-id", "0-1-2-3-4-5"}, no, "set-id: \"0-1-2-3-4-5\" is not an Ethernet ID"},
             {{"language", "ZH-hant"}, "1f 1b 1f ee 22 0a"},
             {{"language", "fr"}, no, "\"fr\" is not one of zh-hans|zh-hant|ko|ja"},
             {{"black-mark", "off"}, "1f 1b 1f 80 04 05 06 66"},
             {{"black-mark", "1"}, no, "black-mark: \"1\" is not on or off"},
             {{"code-page", "255"}, "1f 1b 1f ff ff 0a"},
             {{"code-page", "256"}, no, "code-page: \"256\" is not a number from 0 to 255"},
             {{"code-page", "+1"}, no, "\"+1\" is not a number"},
             {{"arm", "velmar"}, "1f 1b 1f 09 09 06 06 44"},
             {{"raw", "1b40", "10 04:01"}, "1b 40 10 04 01"},
             {{"raw", "1b4"}, no, "raw: \"1b4\" is not a run of hex pairs"},
             {{"raw", "zz"}, no, "raw: \"zz\" holds \"z\", which is not a hex digit"},
             {{"nv-download", "/nonexistent/TavoNV.bin"}, no, "nv-download: cannot open"},
             {{"nv-download", "/"}, no, "nv-download: \"/\" is not a regular file"},
             {{"print", "utf8"}, "d6 d0 ce c4 0d 0a 62 0d 0a", "", 936},
             {{"print", "latin1"}, no, "print: \"latin1\" is not UTF-8 text"},
             {{"print", "missing"}, no, "print: cannot open \"missing\""},
             {{"print", "lost"},
              "61 3f 62 3f",
              "print: 2 characters are not in code page 1252 and sent as \"?\", the first "
              "\"中\" (U+4E2D)"}},
            [](const ReadRow& row) { return row.words.join(u' '); });
    }
    void reads()
    {
        QFETCH(ReadRow, row);
        const Command* command = find(row.words.first());
        QVERIFY(command);
        const Reading read = Catalogue::read(*command, row.words.mid(1), {row.codePage, file});
        QCOMPARE(read.input.has_value(), row.hex != nullptr);
        if (read.input)
            QCOMPARE(wire(command->sends(*read.input)).toHex(' '), QByteArray(row.hex));
        const QString says = read.input ? read.note : read.refusal;
        QVERIFY2(*row.says ? says.contains(QString::fromUtf8(row.says)) : says.isEmpty(),
                 qPrintable(says));
    }
};

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"

#include "core/Catalogue.h"
#include "core/Decoder.h"

#include <QTest>

using namespace Decoding;

namespace {

// "kind name parameters = meaning", with the kind left out for a command, the most of them;
// exact adds where each lies and its first bytes, all that must not depend on how the reads came.
QStringList lines(const QList<Item>& items, bool exact = false)
{
    QStringList lines;
    for (const Item& item : items) {
        QStringList parts;
        if (item.kind != Kind::Command)
            parts << QLatin1String(kindName(item.kind));
        if (!item.name.isEmpty())
            parts << item.name;
        for (int p : item.params)
            parts << QString::number(p);
        QString line = parts.join(u' ') + QStringLiteral(" = ") + item.meaning;
        if (exact)
            line = QStringLiteral("%1+%2 %3 %4")
                       .arg(item.offset)
                       .arg(item.length)
                       .arg(line, QString::fromLatin1(item.head.toHex()));
        lines << line;
    }
    return lines;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Whatever the tool sends, the decoder names it: these rows take their bytes from the catalogue.
QByteArray sent(Catalogue::Id id, const Catalogue::Input& input = Catalogue::NoInput{})
{
    return Catalogue::wire(Catalogue::sends(id, input));
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QStringList>("items");
        auto row = [](const char* name, const QByteArray& bytes, const QStringList& items,
                      int codePage = 1252) { QTest::newRow(name) << bytes << codePage << items; };
        row("ESC p, the drawer", sent(Catalogue::Id::Drawer),
            {"ESC p 0 80 80 = drawer pin 2, on 160 ms, off 160 ms"});
        row("one parameter each",
            hex("1b6403 1b4501 1b7410 1b2d02 1b4d01 1b4a18 1d4201 1d7201 1d4943"),
            {"ESC d 3 = print and feed 3 lines", "ESC E 1 = emphasis on",
             "ESC t 16 = character code table 16", "ESC - 2 = underline 2-dot", "ESC M 1 = font B",
             "ESC J 24 = print and feed 24 motion units", "GS B 1 = reverse printing on",
             "GS r 1 = transmit the paper sensor status", "GS I 67 = transmit printer ID 67"});
        row("ESC ! 0x38", hex("1b2138"),
            {"ESC ! 56 = print mode: font A, emphasized, double height, double width"});
        row("GS V 0", hex("1d5600"), {"GS V 0 = full cut"});
        row("GS V 66 0, the cut", sent(Catalogue::Id::Cut),
            {"GS V 66 0 = feed to cut position, partial cut"});
        row("GS V 65 3", hex("1d564103"),
            {"GS V 65 3 = feed to cut position and 3 more, full cut"});
        row("GS ! 0x11", hex("1d2111"), {"GS ! 17 = character size: width 2, height 2"});
        row("GS L", hex("1d4c2001"), {"GS L 32 1 = left margin 288 dots"});
        row("GS W", hex("1d574002"), {"GS W 64 2 = print area width 576 dots"});
        row("DLE EOT 4", hex("100404"), {"DLE EOT 4 = real-time status request 4: paper sensor"});
        row("LF CR HT FF", hex("0a0d090c"),
            {"LF = print and line feed", "CR = carriage return", "HT = horizontal tab",
             "FF = print and return to the start (form feed)"});
        row("GS v 0 raster skipped whole",
            hex("1d76300002000300") + QByteArray(6, '\xff') + hex("0a"),
            {"GS v 0 0 2 0 3 0 = raster image 16 x 3 dots, mode 0", "LF = print and line feed"});
        row("GS ( L skipped whole", hex("1d284c0300") + hex("304530") + hex("1b40"),
            {"GS ( L 3 0 = graphics data, 3 bytes", "ESC @ = initialize the printer"});
        row("GS 8 L skipped whole", hex("1d384c02000000") + hex("0a0a") + hex("0a"),
            {"GS 8 L 2 0 0 0 = graphics data, 2 bytes", "LF = print and line feed"});
        row("FS q with two images",
            hex("1c7102") + hex("01000100") + QByteArray(8, 'x') + hex("01000200") +
                QByteArray(16, '\x1b') + hex("0a"),
            {"FS q 2 = define 2 NV bit images", "LF = print and line feed"});

        row("nv-print", sent(Catalogue::Id::NvPrint),
            {"ESC @ = initialize the printer", "ESC a 1 = justify centre",
             "FS p 1 0 = print NV bit image 1, normal", "LF = print and line feed",
             "ESC @ = initialize the printer"});
        using Catalogue::Id;
        row("set-ip", sent(Id::SetIp, Catalogue::IPv4{{192, 168, 123, 200}}),
            {"config set-ip 192 168 123 200 = set IP address 192.168.123.200"});
        row("set-id", sent(Id::SetId, Catalogue::EthernetId{{1, 2, 3, 4, 5}}),
            {"config set-id 0 1 2 3 4 5 = set Ethernet ID 0-1-2-3-4-5"});
        row("language", sent(Id::Language, Catalogue::Language{3}),
            {"config language 68 = set the character language to 日文 (ja)"});
        row("black-mark", sent(Id::BlackMark, Catalogue::BlackMark{false}),
            {"config black-mark 102 = black-mark detection off"});
        row("code-page", sent(Id::CodePage, Catalogue::CodePage{10}),
            {"config code-page 10 = set the default code page to 10"});
        row("arm", sent(Id::Arm, Catalogue::Arm{Catalogue::ArmBoard::Velmar}),
            {"config arm 68 = interface-board command velmar"});

        // Cut off by the end, and never read past it.
        row("ESC alone", hex("1b"), {"truncated ESC = cut off by the end of the stream"});
        row("ESC p cut", hex("1b7000"), {"truncated ESC p = cut off by the end of the stream"});
        row("GS V 66 without n", hex("1d5642"),
            {"truncated GS V = cut off by the end of the stream"});
        row("GS v 0 header cut", hex("1d763000"),
            {"truncated GS v 0 = cut off by the end of the stream"});
        row("raster data cut", hex("1d76300002000300") + QByteArray(3, 'x'),
            {"truncated GS v 0 0 2 0 3 0 = raster image 16 x 3 dots, mode 0"});
        row("FS q image header cut", hex("1c710101"),
            {"truncated FS q 1 = define 1 NV bit images"});
        row("set-ip cut", hex("1f1b1f91004950c0a8"),
            {"truncated set-ip = cut off by the end of the stream"});
        row("prefix cut", hex("1f1b"), {"truncated config = cut off by the end of the stream"});

        // Unknown bytes are shown, and decoding goes on after them.
        row("unknown ESC command", hex("1b0a1b40"),
            {"unknown = unknown ESC command", "ESC @ = initialize the printer"});
        row("control bytes together", hex("0001027f") + "ok",
            {"unknown = unknown bytes", "text = ok"});
        row("unknown configuration frame", hex("1f1b1f0201") + "A",
            {"unknown = unknown configuration frame", "unknown = unknown bytes", "text = A"});
        row("US alone", hex("1f41"), {"unknown = unknown bytes", "text = A"});

        // Text in the code page the user gives.
        row("text 936", hex("d6d0cec40a"), {"text = 中文", "LF = print and line feed"}, 936);
        row("text 932", hex("93fa967b"), {"text = 日本"}, 932);
        row("text 1252", hex("e980") + "\"q\"", {"text = é€\"q\""}, 1252);
        row("a lead byte at the end", hex("61d6"), {"text = a\ufffd"}, 936);
        row("a long run cut at a whole character", QByteArray(1023, 'a') + hex("d6d0"),
            {"text = " + QString(1023, u'a'), "text = 中"}, 936);
    }
    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, codePage);
        QFETCH(QStringList, items);
        const QList<Item> decoded = decode(bytes, codePage);
        QCOMPARE(lines(decoded), items);
        qint64 at = 0;
        for (const Item& item : decoded) {
            QCOMPARE(item.offset, at);
            at += item.length;
        }
        QCOMPARE(at, bytes.size());
    }

    // Regression guard: what a connection shows must not depend on how its reads came.
    void splitAnywhereGivesTheSameItems()
    {
        using namespace Catalogue;
        QByteArray stream;
        for (const Command& command : all()) {
            if (command.input == Input(NoInput{}).index())
                stream += wire(sends(command.id));
        }
        stream += wire(sends(Id::SetIp, IPv4{{10, 0, 0, 1}}));
        stream += wire(sends(Id::Language, Language{1}));
        stream += hex("d6d0cec4") + "text" + hex("00011b") + "x";
        stream += hex("1d763000010002") + QByteArray(2, 'r') + hex("1c710101000100") +
                  QByteArray(8, 'q') + hex("1d284c0100") + "g" + hex("1b70");
        const QStringList whole = lines(decode(stream, 936), true);
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            Decoder decoder(936);
            QList<Item> items = decoder.feed(QByteArrayView(stream).first(cut));
            items += decoder.feed(QByteArrayView(stream).sliced(cut));
            items += decoder.finish();
            QCOMPARE(lines(items, true), whole);
        }
        // One byte a read, too.
        Decoder decoder(936);
        QList<Item> items;
        for (char byte : stream)
            items += decoder.feed(QByteArrayView(&byte, 1));
        items += decoder.finish();
        QCOMPARE(lines(items, true), whole);
    }

    // Image data is counted, not kept: a large raster leaves the decoder's memory as it was.
    void largeDataIsCountedNotKept()
    {
        Decoder decoder(1252);
        QVERIFY(decoder.feed(hex("1d7630000001ffff")).isEmpty());
        const QByteArray chunk(1 << 20, 'x');
        for (int i = 0; i < 15; ++i)
            QVERIFY(decoder.feed(chunk).isEmpty());
        const QList<Item> items =
            decoder.feed(QByteArray((0xffff * 256) - 15 * (1 << 20), 'x') + "\n");
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].length, 8 + 0xffff * 256);
        QCOMPARE(items[0].head.size(), kHeadBytes);
        QCOMPARE(items[1].name, QStringLiteral("LF"));
    }
};

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"

#include "core/Catalogue.h"
#include "core/Decoder.h"

#include <QTest>
#include <QtEndian>

#include <algorithm>

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
        row("GS V, every form", sent(Catalogue::Id::Cut) + hex("1d5600 1d564103 1d566803 1d566102"),
            {"GS V 66 0 = feed to cut position, partial cut", "GS V 0 = full cut",
             "GS V 65 3 = feed to cut position and 3 more, full cut",
             "GS V 104 3 = feed to cut position and 3 more, partial cut, then back to the print "
             "start",
             "GS V 97 2 = cut after the usual feed and 2 more, full cut"});
        row("GS ! 0x11", hex("1d2111"), {"GS ! 17 = character size: width 2, height 2"});
        row("LF CR HT FF", hex("0a0d090c"),
            {"LF = print and line feed", "CR = carriage return", "HT = horizontal tab",
             "FF = print and return to the start (form feed)"});
        row("print and feed", hex("1b4b05 1b6502 1b32 1b3318 18 1b0c"),
            {"ESC K 5 = print and feed back 5 motion units",
             "ESC e 2 = print and feed back 2 lines", "ESC 2 = default line spacing",
             "ESC 3 24 = line spacing 24 motion units", "CAN = cancel the page's data",
             "ESC FF = print the page"});
        row("characters",
            hex("1b2002 1b2501 1b3f41 1b4701 1b5203 1b5601 1b7231 1b7b01 1d6201 1c26 1c2e 1c4301 "
                "1c530102 1c210c 1c2d01 1c5701"),
            {"ESC SP 2 = right-side character spacing 2 motion units",
             "ESC % 1 = user-defined characters on", "ESC ? 65 = cancel user-defined character 65",
             "ESC G 1 = double-strike on", "ESC R 3 = international character set 3",
             "ESC V 1 = 90-degree rotation on", "ESC r 49 = print colour 2",
             "ESC { 1 = upside-down printing on", "GS b 1 = smoothing on",
             "FS & = double-byte characters on", "FS . = double-byte characters off",
             "FS C 1 = double-byte code system Shift JIS",
             "FS S 1 2 = double-byte character spacing: left 1, right 2 motion units",
             "FS ! 12 = double-byte print mode: double width, double height",
             "FS - 1 = double-byte underline 1-dot", "FS W 1 = double-byte quadruple size on"});
        row("ESC & with its characters", hex("1b26034142 02 000000000000 01 000000") + "x",
            {"ESC & 3 65 66 = define user-defined characters 65 to 66, 3 bytes a column",
             "text = x"});
        row("position",
            hex("1b242001 1b5cf6ff 1b440810 00 1b5401 1d4c2001 1d574002 1d240a00 1d5cfeff 1b4c "
                "1b53 "
                "1b57000000004002e803"),
            {"ESC $ 32 1 = absolute position 288 motion units",
             "ESC \\ 246 255 = relative position -10 motion units", "ESC D = tab positions 8, 16",
             "ESC T 1 = page direction bottom to top", "GS L 32 1 = left margin 288 dots",
             "GS W 64 2 = print area width 576 dots",
             "GS $ 10 0 = vertical position 10 motion units",
             "GS \\ 254 255 = relative vertical position -2 motion units", "ESC L = page mode",
             "ESC S = standard mode",
             "ESC W 0 0 0 0 64 2 232 3 = page area at 0, 0, 576 x 1000 motion units"});
        row("ESC D ends at a position not past the last", hex("1b44081008"),
            {"ESC D = tab positions 8, 16", "unknown = unknown bytes"});

        row("ESC * 8 and 24 dots", hex("1b2a000200aabb 1b2a210100aabbcc 0a"),
            {"ESC * 0 2 0 = bit image 2 x 8 dots, single density",
             "ESC * 33 1 0 = bit image 1 x 24 dots, double density", "LF = print and line feed"});
        row("GS v 0 raster skipped whole",
            hex("1d76300002000300") + QByteArray(6, '\xff') + hex("0a"),
            {"GS v 0 0 2 0 3 0 = raster image 16 x 3 dots, mode 0", "LF = print and line feed"});
        row("GS ( L and GS 8 L functions",
            hex("1d284c02003032 1d284c040030313333 1d284c0600304541420101 "
                "1d284c0c0030433041420108000100 31ff 1d384c0b00000030703001013108000100aa"),
            {"GS ( L 2 0 48 50 = print the stored graphics",
             "GS ( L 4 0 48 49 51 51 = graphics dot density 51 x 51",
             "GS ( L 6 0 48 69 65 66 1 1 = print NV graphics \"AB\", scale 1 x 1",
             "GS ( L 12 0 48 67 48 65 66 1 8 0 1 0 = define NV graphics \"AB\", 8 x 1 dots, "
             "raster, 1 colour(s)",
             "GS 8 L 11 0 0 0 48 112 48 1 1 49 8 0 1 0 = graphics 8 x 1 dots, raster, scale 1 x 1, "
             "colour 1"});
        row("GS ( L shorter than its parameters", hex("1d284c0300") + hex("304530") + hex("1b40"),
            {"GS ( L 3 0 48 69 48 = 3 of its 6 parameter bytes, by its own length",
             "ESC @ = initialize the printer"});
        row("GS 8 L of another function skipped whole", hex("1d384c020000000a0a") + hex("0a"),
            {"GS 8 L 2 0 0 0 10 10 = graphics data, 2 bytes", "LF = print and line feed"});
        row("GS * and GS /", hex("1d2a0101") + QByteArray(8, '\x1b') + hex("1d2f00"),
            {"GS * 1 1 = define a downloaded bit image 8 x 8 dots",
             "GS / 0 = print the downloaded bit image, normal"});
        row("FS q with two images",
            hex("1c7102") + hex("01000100") + QByteArray(8, 'x') + hex("01000200") +
                QByteArray(16, '\x1b') + hex("0a"),
            {"FS q 2 = define 2 NV bit images", "LF = print and line feed"});

        row("barcodes, both forms",
            hex("1d6b4908") + "{BABC123" + hex("1d6b04") + "CODE 39" + hex("00 1d6b00") +
                "123456789012" + hex("00"),
            {"GS k 73 8 = barcode CODE128 \"{BABC123\"", "GS k 4 = barcode CODE39 \"CODE 39\"",
             "GS k 0 = barcode UPC-A \"123456789012\""});
        row("a control in a barcode's payload", hex("1d6b4903611b62"),
            {"GS k 73 3 = barcode CODE128 \"a\\x1bb\""});
        row("GS k ends at a byte its type cannot encode", hex("1d6b02") + "12345x",
            {"GS k 2 = barcode EAN13 \"12345\"", "text = x"});
        row("barcode settings", hex("1d6850 1d7702 1d4802 1d6601"),
            {"GS h 80 = barcode height 80 dots", "GS w 2 = barcode module width 2",
             "GS H 2 = barcode text below", "GS f 1 = barcode text font B"});
        row("QR code",
            hex("1d286b0400314132 00 1d286b03003143 06 1d286b03003145 31 1d286b0e00315030") +
                "Testing 123" + hex("1d286b0300315130 1d286b0300315230"),
            {"GS ( k 4 0 49 65 50 0 = QR code: model 2",
             "GS ( k 3 0 49 67 6 = QR code: module size 6 dots",
             "GS ( k 3 0 49 69 49 = QR code: error correction M",
             "GS ( k 14 0 49 80 48 = QR code: store 11 bytes \"Testing 123\"",
             "GS ( k 3 0 49 81 48 = QR code: print",
             "GS ( k 3 0 49 82 48 = QR code: transmit the size"});
        row("PDF417",
            hex("1d286b0300304104 1d286b0300304200 1d286b0300304303 1d286b0300304403 "
                "1d286b040030453031 1d286b0300304601 1d286b0500305030") +
                "AB" + hex("1d286b0300305130 1d286b0300365000"),
            {"GS ( k 3 0 48 65 4 = PDF417: 4 columns",
             "GS ( k 3 0 48 66 0 = PDF417: rows as they fit",
             "GS ( k 3 0 48 67 3 = PDF417: module width 3 dots",
             "GS ( k 3 0 48 68 3 = PDF417: row height 3 modules",
             "GS ( k 4 0 48 69 48 49 = PDF417: error correction level 1",
             "GS ( k 3 0 48 70 1 = PDF417: truncated",
             "GS ( k 5 0 48 80 48 = PDF417: store 2 bytes \"AB\"",
             "GS ( k 3 0 48 81 48 = PDF417: print",
             "GS ( k 3 0 54 80 = DataMatrix: function 80, 1 byte of data"});

        row("control and status",
            hex("1b3d01 1b633303 1b633400 1b633501 100404 10040701 100501 1014010002 1014020108 "
                "10140801031401060208 1d610f 1d50b4b4"),
            {"ESC = 1 = printer enabled", "ESC c 3 3 = paper sensors for the paper-end signal: 3",
             "ESC c 4 0 = paper sensors that stop printing: 0",
             "ESC c 5 1 = panel buttons disabled",
             "DLE EOT 4 = real-time status request 4: paper sensor",
             "DLE EOT 7 1 = real-time status request 7: ink, 1",
             "DLE ENQ 1 = real-time request: recover and go on",
             "DLE DC4 1 0 2 = real-time pulse on drawer pin 2, 200 ms",
             "DLE DC4 2 1 8 = power-off sequence", "DLE DC4 8 1 3 20 1 6 2 8 = clear the buffers",
             "GS a 15 = automatic status back: drawer, online, error, paper",
             "GS P 180 180 = motion units 1/180 inch across, 1/180 inch along"});
        row("GS ( A, E, H and K",
            hex("1d2841020030 32 1d2845030001494e 1d284806003030") + "1234" + hex("1d284b02003101"),
            {"GS ( A 2 0 48 50 = test print: status", "GS ( E 3 0 1 = user setup mode on",
             "GS ( H 6 0 48 48 = request a response to process ID \"1234\"",
             "GS ( K 2 0 49 1 = print density 1"});
        row("an unknown GS ( command skipped whole", hex("1d285a0200") + "ab" + hex("0a"),
            {"unknown = unknown GS ( Z command", "LF = print and line feed"});

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
        row("GS ( k cut in its length", hex("1d286b03"),
            {"truncated GS ( k = cut off by the end of the stream"});
        row("raster data cut", hex("1d76300002000300") + QByteArray(3, 'x'),
            {"truncated GS v 0 0 2 0 3 0 = raster image 16 x 3 dots, mode 0, cut off by the end "
             "of the stream after 3 of 6 data bytes"});
        row("FS q image header cut", hex("1c710101"),
            {"truncated FS q 1 = define 1 NV bit images, cut off by the end of the stream after 1 "
             "data byte"});
        row("GS ( L data cut", hex("1d284c0c0030433041420108000100 31"),
            {"truncated GS ( L 12 0 48 67 48 65 66 1 8 0 1 0 = define NV graphics \"AB\", 8 x 1 "
             "dots, raster, 1 colour(s), cut off by the end of the stream after 1 of 2 data "
             "bytes"});
        row("QR data cut", hex("1d286b0e00315030") + "Test",
            {"truncated GS ( k 14 0 49 80 48 = QR code: store 11 bytes \"Test\"…, cut off by the "
             "end of the stream after 4 of 11 data bytes"});
        row("barcode without its NUL", hex("1d6b04") + "AB",
            {"truncated GS k 4 = barcode CODE39 \"AB\", cut off by the end of the stream after 2 "
             "data bytes"});
        row("ESC & cut in a character", hex("1b260341420200"),
            {"truncated ESC & 3 65 66 = define user-defined characters 65 to 66, 3 bytes a column, "
             "cut off by the end of the stream after 2 data bytes"});
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
        row("C1 controls of 819", hex("619b3042"), {"text = a\u009b0B"}, 819);
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
            // Regression guards for the human line: nothing from the wire drives the terminal,
            // and a command cut off says so there, as the JSON does.
            const QString line = describe(item);
            QVERIFY(std::none_of(line.begin(), line.end(),
                                 [](QChar c) { return c.category() == QChar::Other_Control; }));
            QVERIFY(item.kind != Kind::Truncated || line.contains(u"cut off by the end"));
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
                  QByteArray(8, 'q') + hex("1d284c0100") + "g";
        stream += hex("1d6b04") + "AB" + hex("00 1d6b00") + "12x" + hex("1d6b4902") + "ab" +
                  hex("1d286b0600315030") + "QR!" + hex("1b2603414101000000 1b44081000") +
                  hex("1d384c0300000030320a 10040701 1d285a0100") + "z" + hex("1b70");
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

    // Data is counted and its head kept; whole only when asked, and then up to a bound: a large
    // raster leaves the decoder's memory as it was.
    void dataIsKeptOnlyWhenAskedAndBounded()
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
        QVERIFY(items[0].data.isEmpty());
        QCOMPARE(items[1].name, QStringLiteral("LF"));

        QByteArray large = hex("1d384c") + QByteArray(4, '\0') + hex("3032");
        qToLittleEndian<quint32>(quint32(kKeptData + 3), large.data() + 3);
        const QList<Item> kept = decode(hex("1d7630000200020061626364") + "Hi" + large +
                                            QByteArray(kKeptData + 1, 'g') + hex("1b40"),
                                        1252, Keep::Data);
        QCOMPARE(kept.size(), 4);
        QCOMPARE(kept[0].op, EscPos::Op::RasterImage);
        QCOMPARE(kept[0].arg("xL"), 2);
        QVERIFY(kept[0].dataKept && kept[1].dataKept);
        QCOMPARE(kept[0].data, "abcd");
        QCOMPARE(kept[1].data, "Hi");
        QCOMPARE(kept[2].dataLength, kKeptData + 1);
        QVERIFY(!kept[2].dataKept && kept[2].data.isEmpty());
        QCOMPARE(kept[3].op, EscPos::Op::Initialize);
    }
};

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"

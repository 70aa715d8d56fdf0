#include "core/Decoder.h"
#include "render/Printer.h"
#include "support/CliRun.h"
#include "support/Rows.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

struct Drawn {
    QList<QImage> receipts;
    QStringList notes;
};

Drawn draw(const QByteArray& bytes, int paper = Render::kPaper80)
{
    Drawn drawn;
    Render::Printer printer({paper, 1252});
    printer.onReceipt = [&drawn](const QImage& receipt) { drawn.receipts << receipt; };
    printer.onNote = [&drawn](const QString& note) { drawn.notes << note; };
    Decoding::Decoder decoder(1252, Decoding::Keep::Data);
    QList<Decoding::Item> items = decoder.feed(bytes);
    items += decoder.finish();
    for (const Decoding::Item& item : items)
        printer.feed(item);
    printer.finish();
    return drawn;
}

bool black(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

QRect inked(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (black(image, x, y))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

int dots(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += black(image, x, y);
    }
    return count;
}

// A bitmap with a frame, so that its corners show where it lies, and noise inside.
QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    QRandomGenerator noise(width * 1000 + height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            image.setPixel(x, y, frame || noise.bounded(2) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

QByteArray rows(const QImage& image)
{
    QByteArray bytes;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); x += 8) {
            int byte = 0;
            for (int i = 0; i < 8; ++i)
                byte |= (x + i < image.width() && black(image, x + i, y)) << (7 - i);
            bytes += char(byte);
        }
    }
    return bytes;
}

QByteArray columns(const QImage& image)
{
    QByteArray bytes;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); y += 8) {
            int byte = 0;
            for (int i = 0; i < 8; ++i)
                byte |= (y + i < image.height() && black(image, x, y + i)) << (7 - i);
            bytes += char(byte);
        }
    }
    return bytes;
}

QByteArray word(int n)
{
    return QByteArray(1, char(n & 0xFF)) + char(n >> 8);
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// GS ( L with its two length bytes, or GS 8 L with four.
QByteArray graphics(const QByteArray& body, bool four = false)
{
    return four ? hex("1d384c") + word(int(body.size())) + word(0) + body
                : hex("1d284c") + word(int(body.size())) + body;
}

} // namespace

struct ImageRow {
    const char* name;
    QByteArray bytes;
    QImage image;
    int sx = 1, sy = 1;
    bool alone = true; // nothing else is drawn
};
Q_DECLARE_METATYPE(ImageRow)

struct CodeRow {
    const char* name;
    QByteArray bytes;
    QByteArray scans; // zbarimg's "TYPE:payload"
};
Q_DECLARE_METATYPE(CodeRow)

// Where the ink of a line of n characters lies, from where the first starts and their pitch.
struct LayoutRow {
    const char* name;
    QByteArray bytes;
    int x;     // the first cell's left edge
    int pitch; // from one cell to the next
    int count;
    int scale = 1;
    int paper = Render::kPaper80;
    bool upsideDown = false;
};
Q_DECLARE_METATYPE(LayoutRow)

struct BadRow {
    const char* name;
    QByteArray bytes;
    const char* note;
    bool last = false; // it takes in whatever follows, so nothing does
};
Q_DECLARE_METATYPE(BadRow)

class TestRender : public QObject {
    Q_OBJECT
    // The ink of one "H" of font A in its 12-dot cell.
    int m_left = 0, m_right = 0;

private slots:
    void initTestCase()
    {
        const Drawn one = draw("H\n");
        QCOMPARE(one.receipts.size(), 1);
        const QRect box = inked(one.receipts[0]);
        QVERIFY(box.left() >= 0 && box.right() < 12);
        m_left = box.left();
        m_right = box.right();
    }

    void imagesAreDrawnDotForDot_data()
    {
        const QImage wide = pattern(40, 24), low = pattern(40, 8);
        const QByteArray size = word(40) + word(24);
        addRows<ImageRow>({
            {"GS v 0", hex("1d763000") + word(5) + word(24) + rows(wide), wide},
            {"GS v 0 quadruple", hex("1d763033") + word(5) + word(24) + rows(wide), wide, 2, 2},
            {"ESC * 24-dot double density", hex("1b2a21") + word(40) + columns(wide) + "\n", wide},
            {"ESC * 8-dot single density", hex("1b2a00") + word(40) + columns(low) + "\n", low, 2,
             3},
            {"GS ( L raster, printed",
             graphics(hex("307030010131") + size + rows(wide)) + graphics(hex("3032")), wide},
            {"GS 8 L columns twice as tall, printed",
             graphics(hex("307130010231") + size + columns(wide), true) + graphics(hex("3032")),
             wide, 1, 2},
            {"GS * and GS / double height", hex("1d2a0503") + columns(wide) + hex("1d2f02"), wide,
             1, 2},
            {"FS q and FS p quadruple", hex("1c710105000300") + columns(wide) + hex("1c700133"),
             wide, 2, 2},
            {"NV graphics",
             graphics(hex("304330413101") + size + "1" + rows(wide)) +
                 graphics(hex("30454131 0101")),
             wide},
            {"download graphics twice the size",
             graphics(hex("305330423201") + size + "1" + rows(wide)) +
                 graphics(hex("30554232 0202")),
             wide, 2, 2},
            {"a capture that only stores an NV image shows it",
             hex("1c710105000300") + columns(wide), wide, 1, 1, false},
        });
    }
    void imagesAreDrawnDotForDot()
    {
        QFETCH(ImageRow, row);
        const Drawn drawn = draw(row.bytes);
        QCOMPARE(drawn.receipts.size(), 1);
        const QImage paper = drawn.receipts[0];
        const QImage expected =
            row.image.scaled(row.image.width() * row.sx, row.image.height() * row.sy,
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
        // Left as justified by default; the first row down that holds it, dot for dot.
        auto holdsAt = [&](int top) {
            for (int y = 0; y < expected.height(); ++y) {
                for (int x = 0; x < expected.width(); ++x) {
                    if (black(paper, x, top + y) != black(expected, x, y))
                        return false;
                }
            }
            return true;
        };
        int top = 0;
        while (top + expected.height() <= paper.height() && !holdsAt(top))
            ++top;
        QVERIFY2(top + expected.height() <= paper.height(), "the image is not on the paper");
        if (row.alone)
            QCOMPARE(dots(paper), dots(expected));
    }

    void codesScanToTheirPayload_data()
    {
        const QByteArray below = hex("1d6850 1d4802");
        auto counted = [&below](int m, const QByteArray& data) {
            return below + hex("1d6b") + char(m) + char(data.size()) + data + "\n";
        };
        auto qr = [](const QByteArray& data, char level, char module) {
            return hex("1d286b03003143") + module + hex("1d286b03003145") + level + hex("1d286b") +
                   word(int(data.size()) + 3) + "1P0" + data + hex("1d286b0300315130");
        };
        addRows<CodeRow>({
            {"UPC-A", counted(65, "03600029145"), "UPC-A:036000291452"},
            {"UPC-E", counted(66, "425261"), "UPC-E:04252614"},
            {"EAN13 with its check digit", counted(67, "4006381333931"), "EAN-13:4006381333931"},
            {"EAN13 NUL-terminated", below + hex("1d6b02") + "400638133393" + '\0' + "\n",
             "EAN-13:4006381333931"},
            {"EAN8", counted(68, "9638507"), "EAN-8:96385074"},
            {"CODE39 NUL-terminated", below + hex("1d6b04") + "ABC-12" + '\0' + "\n",
             "CODE-39:ABC-12"},
            {"ITF", counted(70, "12345670"), "I2/5:12345670"},
            {"CODABAR", counted(71, "A40156B"), "Codabar:A40156B"},
            {"CODE93", counted(72, "ABC123"), "CODE-93:ABC123"},
            {"CODE128 in code sets B and C", counted(73, "{BNo.{C" + hex("0c22384e")),
             "CODE-128:No.12345678"},
            {"GS1-128", counted(74, "(01)09501101530003"), "CODE-128:0109501101530003"},
            {"GS1 DataBar", counted(75, "0950110153000"), "DataBar:0109501101530003"},
            {"GS1 DataBar Expanded", counted(78, "(01)09501101530003"),
             "DataBar-Exp:0109501101530003"},
            {"QR code, level H", qr("https://example.com/r?id=42", '3', 5),
             "QR-Code:https://example.com/r?id=42"},
            {"QR code of 2000 bytes, level L", qr(QByteArray(2000, 'x'), '0', 3),
             "QR-Code:" + QByteArray(2000, 'x')},
        });
    }
    void codesScanToTheirPayload()
    {
        QFETCH(CodeRow, row);
        const Drawn drawn = draw(row.bytes);
        QVERIFY2(drawn.notes.isEmpty(), qPrintable(drawn.notes.join(u'\n')));
        QCOMPARE(drawn.receipts.size(), 1);
        QTemporaryDir folder;
        const QString path = folder.filePath("code.png");
        QVERIFY(drawn.receipts[0].save(path));
        QProcess zbar;
        zbar.start("zbarimg", {"-q", "-Supca.enable", "-Supce.enable", path});
        QVERIFY2(zbar.waitForFinished(kBound), "zbarimg (zbar-tools) must be installed");
        QCOMPARE(zbar.readAllStandardOutput().trimmed(), row.scans);
    }

    void inkLandsWhereTheLayoutSays_data()
    {
        const QByteArray four = "HHHH\n";
        addRows<LayoutRow>({
            {"48 characters of font A fill 576 dots", QByteArray(48, 'H') + "\n", 0, 12, 48},
            {"a 49th goes to the next line", QByteArray(49, 'H') + "\n", 0, 12, 48},
            {"centred text is centred",
             "\x1b"
             "a1" +
                 four,
             264, 12, 4},
            {"right justified text ends at the edge",
             "\x1b"
             "a2" +
                 four,
             528, 12, 4},
            {"double width is twice as wide", "\x1d!\x10" + four, 0, 24, 4, 2},
            {"ESC ! doubles both ways", "\x1b!\x30" + four, 0, 24, 4, 2},
            {"centred on 58 mm paper",
             "\x1b"
             "a1" +
                 four,
             168, 12, 4, 1, Render::kPaper58},
            {"left margin", hex("1d4c6400") + four, 100, 12, 4},
            {"absolute position", hex("1b24c800") + "H\n", 200, 12, 1},
            {"the default tab is 8 characters", "\tH\n", 96, 12, 1},
            {"tabs set by ESC D", hex("1b44030500") + "\t\tH\n", 60, 12, 1},
            {"right spacing", hex("1b2004") + four, 0, 16, 4},
            {"upside down is turned half round", hex("1b7b01") + four, 0, 12, 4, 1,
             Render::kPaper80, true},
        });
    }
    void inkLandsWhereTheLayoutSays()
    {
        QFETCH(LayoutRow, row);
        const Drawn drawn = draw(row.bytes, row.paper);
        QCOMPARE(drawn.receipts.size(), 1);
        const QImage& paper = drawn.receipts[0];
        QCOMPARE(paper.width(), row.paper);
        // The first line only: a line that wraps goes on below it.
        const QImage first = paper.copy(0, 0, paper.width(), 24 * row.scale);
        QRect box = inked(first);
        if (row.upsideDown)
            box = QRect(QPoint(paper.width() - 1 - box.right(), 0),
                        QPoint(paper.width() - 1 - box.left(), 0));
        QCOMPARE(box.left(), row.x + m_left * row.scale);
        QCOMPARE(box.right(), row.x + (row.count - 1) * row.pitch + (m_right + 1) * row.scale - 1);
    }

    // Every bad input ends in a note naming it, and the receipt goes on after it.
    void badInputIsToldAndDrawingGoesOn_data()
    {
        addRows<BadRow>({
            {"an image cut off by the end", hex("1d763000") + word(5) + word(24) + "xx",
             "GS v 0 cut off by the end of the capture", true},
            {"an image wider than the paper",
             hex("1d763000") + word(80) + word(2) + QByteArray(160, '\xff'),
             "640 dots wide, wider than the 576-dot paper"},
            {"a barcode libzint refuses", hex("1d6b430c") + "ABCDEFGHIJKL",
             "the barcode not drawn: libzint refused it"},
            {"a barcode wider than the print area",
             hex("1d7706 1d6b49") + char(42) + "{B" + QByteArray(40, 'W'),
             "dots wide and the print area 576, so a printer leaves it out"},
            {"an image taller than 4 m",
             hex("1d763000") + word(1) + word(40000) + QByteArray(40000, '\x80'),
             "40000 dots tall: only its first 32000 are drawn"},
            {"a QR code with nothing stored", hex("1d286b0300315130"),
             "the QR code not drawn: no data"},
            {"an NV image the printer does not hold", hex("1c700300"),
             "FS p 3: the printer holds 0 NV bit images"},
            {"a code table unknown", hex("1b74ff"), "ESC t 255: a code table this program"},
            {"the drawer and unknown bytes are counted", hex("1b7000 3232 1004 01 01 02 03"),
             "not drawn: 1 x DLE EOT (it prints nothing); 1 x ESC p (it prints nothing); 3 x "
             "bytes that mean nothing known"},
            {"a line ESC @ clears before it is printed", "Hello",
             "ESC @ cleared a line not yet printed"},
        });
    }
    void badInputIsToldAndDrawingGoesOn()
    {
        QFETCH(BadRow, row);
        const Drawn drawn =
            draw("Before\n" + row.bytes + (row.last ? QByteArray() : hex("1b40") + "After\n"));
        QVERIFY2(drawn.notes.join(u'\n').contains(QLatin1String(row.note)),
                 qPrintable(drawn.notes.join(u'\n')));
        QVERIFY(!drawn.receipts.isEmpty());
        const QImage& last = drawn.receipts.last();
        QVERIFY2(!inked(last.copy(0, last.height() - 30, last.width(), 30)).isEmpty(),
                 "the text after it is drawn at the end");
    }

    // The command line: a file per receipt, numbered once there are two; a PDF page each.
    void decodeRenderWritesEachReceipt()
    {
        QTemporaryDir folder;
        const QByteArray two = "One\n" + hex("1d564100") + "Two\n" + hex("1d5600");
        CliRun r = runCli({"decode", "--render", folder.filePath("r.png")}, two);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out,
                 (folder.filePath("r-1.png") + "\n" + folder.filePath("r-2.png") + "\n").toUtf8());
        QVERIFY(!QFile::exists(folder.filePath("r.png")));
        QCOMPARE(QImage(folder.filePath("r-2.png")).width(), Render::kPaper80);
        r = runCli({"decode", "--paper", "58", "--render", folder.filePath("r.pdf")}, two);
        QCOMPARE(r.status, 0);
        QFile pdf(folder.filePath("r.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray content = pdf.readAll();
        QVERIFY(content.startsWith("%PDF"));
        QCOMPARE(content.count("/Type /Page\n") + content.count("/Type /Page\r"), 2);
        r = runCli({"decode", "--render", folder.filePath("none.png")}, hex("1b7000"));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("prints nothing, so no image was written"), qPrintable(r.err));
        for (const QStringList& refused :
             {QStringList{"--render", "out.gif"}, {"--render", "r.png", "--paper", "60"}}) {
            r = runCli(QStringList{"decode"} + refused, two);
            QCOMPARE(r.status, 2);
            QVERIFY2(
                r.err.contains(refused.size() == 2 ? "neither .png nor .pdf" : "neither 80 nor 58"),
                qPrintable(r.err));
        }
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"

#include "Printer.h"

#include "CodeTables.h"
#include "Codes.h"
#include "Dots.h"
#include "Glyphs.h"
#include "core/AnsiCodePage.h"

#include <QHash>

#include <cmath>

namespace Render {

using Decoding::Item;
using Decoding::Kind;
using EscPos::Op;

namespace {

constexpr int kDefaultSpacing = 30; // 30/203 inch, about 3.75 mm
constexpr int kMostNotes = 50;      // then only counted

// 0 and "0" alike, 1 and "1" alike.
int digit(int n)
{
    return n >= '0' ? n - '0' : n;
}

bool isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// GS v 0, GS /, FS p: 0 normal, 1 double width, 2 double height, 3 both.
QImage inMode(const QImage& image, int mode)
{
    const int m = digit(mode) & 3;
    return Dots::scaled(image, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
}

QString keyName(int kc1, int kc2)
{
    return QString(QChar(kc1)) + QChar(kc2);
}

struct Piece {
    int x = 0;
    int width = 0; // with its spacing
    QImage dots;
    int underline = 0;
};

struct Style {
    int font = 0; // 0 font A, 1 font B
    bool emphasis = false, doubleStrike = false;
    int underline = 0;
    bool reverse = false, upsideDown = false, turned = false;
    int width = 1, height = 1;
    int rightSpacing = 0; // dots
    int wideLeft = 0, wideRight = 0, wideUnderline = 0;
    int wideWidth = 1, wideHeight = 1;
};

struct Barcode {
    int height = 162, module = 3, hri = 0, hriFont = 0;
};

struct Qr {
    int model = 50, module = 3, level = 48;
    QByteArray data;
};

struct Pdf417 {
    int columns = 0, rows = 0, module = 3, rowHeight = 3, level = 1, ratio = -1;
    bool truncated = false;
    QByteArray data;
};

struct Other2D {
    int module = 3, mode = 4;
    QByteArray data;
};

} // namespace

struct Printer::Model {
    Options options;
    Memory ownMemory;
    Memory* memory;
    Printer* owner;
    Glyphs& glyphs = Glyphs::shared();

    // The paper of this receipt.
    QImage page;
    int y = 0;
    int bottom = 0; // the lowest dot row touched
    bool used = false;
    bool inked = false; // anything drawn on this image of the paper
    int receipts = 0;
    bool split = false;

    // The printer's settings.
    Style style;
    int justify = 0;
    int leftMargin = 0, areaWidth = 0;
    int lineSpacing = kDefaultSpacing;
    double unitX = 1, unitY = 1;
    QList<int> tabs;
    int table = -1; // ESC t; -1: the code page of the options
    CodeTables::Table chars{};
    int international = 0;
    bool doubleByte = false;
    int doubleBytePage = 936;
    int pendingLead = -1;
    bool enabled = true;
    bool userCharacters = false;
    QHash<int, QImage> userGlyphs[2];
    Barcode barcode;
    Qr qr;
    Pdf417 pdf417;
    QHash<int, Other2D> other2D;
    QImage graphics;   // GS ( L fn 112/113, until fn 50 prints it
    QImage downloaded; // GS *
    QMap<QByteArray, QImage> downloadGraphics;
    QHash<quint32, char32_t> pairs;

    // The line being filled.
    QList<Piece> line;
    int lineX = 0;

    // Images this capture stored, for a capture that prints nothing.
    QList<QPair<QString, Dots::Kept>> stored;

    // What was not drawn.
    QMap<QString, qint64> notDrawn;
    int notes = 0;
    qint64 at = 0; // the offset of the item being drawn

    Model(const Options& o, Memory* m, Printer* p)
        : options(o)
        , memory(m ? m : &ownMemory)
        , owner(p)
    {
        options.paperDots = qBound(8, options.paperDots, 4096);
        reset();
    }

    // ----- telling -----

    void note(const QString& text)
    {
        if (++notes > kMostNotes) {
            notDrawn[QStringLiteral("further notes like the above")] += 1;
            return;
        }
        // Past the end of the capture, as for the images only stored, no byte is to blame.
        if (owner->onNote)
            owner->onNote(at < 0 ? text : QStringLiteral("at byte %1: %2").arg(at).arg(text));
    }

    void skip(const Item& item, const char* why)
    {
        notDrawn[QStringLiteral("%1 (%2)").arg(item.name, QLatin1String(why))] += 1;
    }

    // ----- state -----

    void reset()
    {
        style = Style();
        justify = 0;
        leftMargin = 0;
        areaWidth = options.paperDots;
        lineSpacing = kDefaultSpacing;
        unitX = unitY = 1;
        tabs.clear();
        for (int c = 8; c <= 248; c += 8)
            tabs << c;
        international = 0;
        doubleByte = isDoubleByte(options.codePage);
        doubleBytePage = doubleByte ? options.codePage : 936;
        chooseTable(-1);
        userCharacters = false;
        userGlyphs[0].clear();
        userGlyphs[1].clear();
        barcode = Barcode();
        qr = Qr();
        pdf417 = Pdf417();
        other2D.clear();
        graphics = QImage();
        downloaded = QImage();
        enabled = true;
    }

    void chooseTable(int n)
    {
        table = n;
        if (n < 0) {
            chars =
                CodeTables::table(nullptr, isDoubleByte(options.codePage) ? 437 : options.codePage);
            return;
        }
        const char* name = CodeTables::name(n);
        if (!name) {
            note(QStringLiteral("ESC t %1: a code table this program does not know; drawn as "
                                "table 0 (PC437)")
                     .arg(n));
            name = "CP437";
        }
        chars = CodeTables::table(name);
    }

    int area() const { return qMax(1, qMin(areaWidth, options.paperDots - leftMargin)); }

    // ----- the paper -----

    // Room for rows more rows at y: the paper grows, and goes on in a new image past the
    // longest a receipt is drawn.
    void room(int rows)
    {
        rows = qMin(rows, kLongestDots);
        if (y + rows > kLongestDots && y > 0) {
            if (!inked) {
                // Metres of blank paper make no image: they are only counted.
                notDrawn[QStringLiteral("images of blank paper 4 m long")] += 1;
                page = QImage();
                y = bottom = 0;
            } else {
                if (!split)
                    note(QStringLiteral("the receipt is longer than %1 m: it goes on in the next "
                                        "image")
                             .arg(kLongestDots / (kDotsPerInch / 25.4) / 1000, 0, 'f', 1));
                split = true;
                emitPage();
            }
        }
        const int need = y + rows;
        if (page.isNull() || page.height() < need) {
            int height = page.isNull() ? 2048 : page.height();
            while (height < need)
                height *= 2;
            height = qMin(height, kLongestDots);
            QImage grown = Dots::blank(options.paperDots, height);
            if (!page.isNull()) {
                for (int row = 0; row < bottom; ++row)
                    std::copy_n(page.constScanLine(row), page.bytesPerLine(), grown.scanLine(row));
            }
            page = grown;
        }
    }

    void advance(int dots)
    {
        if (dots <= 0)
            return;
        room(dots);
        y = qMin(y + dots, kLongestDots);
        used = true;
    }

    void place(const QImage& dots, int x, int advanceBy)
    {
        room(qMax(dots.height(), advanceBy));
        Dots::ink(page, dots, x, y);
        bottom = qMax(bottom, qMin(page.height(), y + dots.height()));
        used = inked = true;
        y = qMin(y + advanceBy, kLongestDots);
    }

    void emitPage()
    {
        const int height = qMax(y, bottom);
        if (height > 0 && owner->onReceipt)
            owner->onReceipt(page.copy(0, 0, options.paperDots, height));
        if (height > 0)
            ++receipts;
        page = QImage();
        y = bottom = 0;
        used = inked = false;
    }

    void endReceipt()
    {
        if (used || y > 0)
            emitPage();
        split = false;
    }

    // ----- lines -----

    void flushLine(int feed)
    {
        if (line.isEmpty()) {
            advance(feed);
            return;
        }
        int height = 0, width = 0;
        for (const Piece& p : line) {
            height = qMax(height, p.dots.height());
            width = qMax(width, p.x + p.width);
        }
        const int room = area();
        const int shift = qMax(0, justify == 1   ? (room - width) / 2
                                  : justify == 2 ? room - width
                                                 : 0);
        auto draw = [&](QImage& on, int x, int top) {
            for (const Piece& p : line) {
                Dots::ink(on, p.dots, x + shift + p.x, top + height - p.dots.height());
                if (p.underline > 0)
                    Dots::fill(on, x + shift + p.x, top + height - p.underline, p.width,
                               p.underline);
            }
        };
        if (style.upsideDown) {
            QImage dots = Dots::blank(room, height);
            draw(dots, 0, 0);
            place(Dots::turnedHalf(dots), leftMargin, qMax(feed, height));
        } else {
            // Straight onto the paper: most lines are most of the work.
            this->room(qMax(feed, height));
            draw(page, leftMargin, y);
            bottom = qMax(bottom, qMin(page.height(), y + height));
            used = inked = true;
            y = qMin(y + qMax(feed, height), kLongestDots);
        }
        line.clear();
        lineX = 0;
    }

    void put(Piece piece)
    {
        if (lineX + piece.width > area() && !line.isEmpty())
            flushLine(lineSpacing);
        piece.x = lineX;
        lineX += piece.width;
        line << piece;
    }

    // A character's dots, enlarged, turned and reversed as the mode says, into the line.
    void putGlyph(QImage cell, bool wide)
    {
        const int sx = wide ? qMax(style.width, style.wideWidth) : style.width;
        const int sy = wide ? qMax(style.height, style.wideHeight) : style.height;
        cell = Dots::scaled(cell, sx, sy);
        if (style.turned)
            cell = Dots::turnedClockwise(cell);
        const int left = wide ? style.wideLeft * sx : 0;
        const int right = (wide ? style.wideRight : style.rightSpacing) * sx;
        Piece piece;
        piece.width = left + cell.width() + right;
        if (left == 0 && right == 0) {
            piece.dots = cell; // shared with the cache, the usual case
        } else {
            piece.dots = Dots::blank(piece.width, cell.height());
            Dots::ink(piece.dots, cell, left, 0);
        }
        if (style.reverse)
            piece.dots = Dots::inverted(piece.dots);
        else
            piece.underline = wide ? style.wideUnderline : style.underline;
        put(piece);
    }

    Glyphs::Face face() const { return style.font == 1 ? Glyphs::B : Glyphs::A; }
    bool bold() const { return style.emphasis || style.doubleStrike; }

    void putCharacter(char32_t c) { putGlyph(glyphs.glyph(c, face(), bold()), false); }

    char32_t pair(int lead, int trail)
    {
        const quint32 key = quint32(doubleBytePage) << 16 | quint32(lead) << 8 | quint32(trail);
        const auto found = pairs.constFind(key);
        if (found != pairs.constEnd())
            return *found;
        const char both[] = {char(lead), char(trail)};
        const QString text = AnsiCodePage::decode(QByteArrayView(both, 2), doubleBytePage);
        const QList<uint> ucs = text.toUcs4();
        const char32_t c = ucs.isEmpty() ? U'\uFFFD' : char32_t(ucs.first());
        pairs.insert(key, c);
        return c;
    }

    void text(const QByteArray& bytes)
    {
        const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const int byte = b[i];
            if (pendingLead >= 0) {
                const int lead = pendingLead;
                pendingLead = -1;
                putGlyph(glyphs.glyph(pair(lead, byte), Glyphs::Wide, bold()), true);
                continue;
            }
            if (doubleByte && AnsiCodePage::isLeadByte(std::uint8_t(byte), doubleBytePage)) {
                if (i + 1 == bytes.size()) {
                    pendingLead = byte; // its trail comes in the next run
                    continue;
                }
                putGlyph(glyphs.glyph(pair(byte, b[++i]), Glyphs::Wide, bold()), true);
                continue;
            }
            if (userCharacters) {
                const auto found = userGlyphs[style.font == 1].constFind(byte);
                if (found != userGlyphs[style.font == 1].constEnd()) {
                    putGlyph(*found, false);
                    continue;
                }
            }
            char32_t c = chars[std::size_t(byte)];
            if (byte < 0x80)
                c = CodeTables::international(international, c);
            putCharacter(c);
        }
    }

    void tab()
    {
        const QSize cell = Glyphs::cell(face());
        const int column = (cell.width() + style.rightSpacing) * style.width;
        for (int stop : tabs) {
            const int x = stop * column;
            if (x > lineX) {
                if (x <= area())
                    lineX = x;
                return;
            }
        }
    }

    void position(int x)
    {
        if (x >= 0 && x <= area())
            lineX = x;
    }

    // ----- images and codes: blocks of their own, at the start of a line -----

    void block(const QImage& dots, const char* what)
    {
        if (!line.isEmpty()) {
            note(QStringLiteral("%1 came after text not yet printed: the text is printed first, "
                                "on a line of its own")
                     .arg(QLatin1String(what)));
            flushLine(lineSpacing);
        }
        const int room = area();
        if (dots.width() > options.paperDots)
            note(QStringLiteral("%1 is %2 dots wide, wider than the %3-dot paper: its right part "
                                "is cut off")
                     .arg(QLatin1String(what))
                     .arg(dots.width())
                     .arg(options.paperDots));
        int x = leftMargin;
        if (dots.width() <= room)
            x += justify == 1 ? (room - dots.width()) / 2 : justify == 2 ? room - dots.width() : 0;
        else
            x = qMax(0, qMin(leftMargin, options.paperDots - dots.width()));
        if (dots.height() > kLongestDots)
            note(QStringLiteral("%1 is %2 dots tall: only its first %3 are drawn")
                     .arg(QLatin1String(what))
                     .arg(dots.height())
                     .arg(kLongestDots));
        place(dots, x, dots.height());
    }

    void symbol(const Codes::Symbol& made, int sx, int sy, const char* what, bool withText)
    {
        if (!made.error.isEmpty()) {
            note(QStringLiteral("%1 not drawn: %2").arg(QLatin1String(what), made.error));
            return;
        }
        const QImage dots = made.dots ? made.modules : Dots::scaled(made.modules, sx, sy);
        if (dots.width() > area()) {
            note(QStringLiteral("%1 not drawn: it is %2 dots wide and the print area %3, so a "
                                "printer leaves it out")
                     .arg(QLatin1String(what))
                     .arg(dots.width())
                     .arg(area()));
            return;
        }
        if (!withText || barcode.hri == 0 || made.text.isEmpty()) {
            block(dots, what);
            return;
        }
        // The human-readable text, centred above, below or both, in the font GS f chose.
        const Glyphs::Face hriFace = barcode.hriFont == 1 ? Glyphs::B : Glyphs::A;
        const QSize cell = Glyphs::cell(hriFace);
        const QList<uint> text = made.text.toUcs4();
        QImage hri = Dots::blank(qMin(area(), int(text.size()) * cell.width()), cell.height());
        for (qsizetype i = 0; i < text.size(); ++i)
            Dots::ink(hri, glyphs.glyph(char32_t(text[i]), hriFace, false), int(i) * cell.width(),
                      0);
        const bool above = barcode.hri & 1, below = barcode.hri & 2;
        const int width = qMax(dots.width(), hri.width());
        const int gap = 2;
        QImage all = Dots::blank(width, dots.height() + (above + below) * (cell.height() + gap));
        int top = 0;
        if (above) {
            Dots::ink(all, hri, (width - hri.width()) / 2, 0);
            top = cell.height() + gap;
        }
        Dots::ink(all, dots, (width - dots.width()) / 2, top);
        if (below)
            Dots::ink(all, hri, (width - hri.width()) / 2, top + dots.height() + gap);
        block(all, what);
    }

    // A stored image's data, from the bytes a define command brought; data shorter than its
    // size says is drawn as far as it goes, and told.
    QImage image(const QByteArray& data, int width, int height, bool columns)
    {
        const qint64 need =
            columns ? qint64(width) * ((height + 7) / 8) : qint64((width + 7) / 8) * height;
        if (data.size() < need)
            note(QStringLiteral("an image of %1 x %2 dots needs %3 bytes, but %4 came: drawn as "
                                "far as they go")
                     .arg(width)
                     .arg(height)
                     .arg(need)
                     .arg(data.size()));
        return columns ? Dots::fromColumns(data, width, height)
                       : Dots::fromRows(data, width, height);
    }

    // GS ( L fn 67/68/83/84: a kc1 kc2 b xL xH yL yH, then for each of b colours its c and data.
    QImage graphicsData(const Item& item, bool columns)
    {
        const int width = item.arg("xL") | item.arg("xH") << 8;
        const int height = item.arg("yL") | item.arg("yH") << 8;
        const qsizetype plane =
            columns ? qsizetype(width) * ((height + 7) / 8) : qsizetype((width + 7) / 8) * height;
        // Each colour's plane is inked onto the first: one colour here.
        QImage all = image(item.data.mid(1, plane), width, height, columns);
        for (qsizetype from = 1 + plane; from + 1 < item.data.size(); from += 1 + plane)
            Dots::ink(all, image(item.data.mid(from + 1, plane), width, height, columns), 0, 0);
        return all;
    }

    // Graphics are kept by key until deleted, which a client may never do: past the capacity,
    // as in a printer whose memory is full, a definition is refused.
    bool fits(const QMap<QByteArray, QImage>& graphics, const QByteArray& key, const QImage& dots,
              const Item& item)
    {
        qint64 held = dots.sizeInBytes();
        for (auto it = graphics.cbegin(); it != graphics.cend(); ++it)
            held += it.key() == key ? 0 : it.value().sizeInBytes();
        if (held <= kGraphicsCapacity)
            return true;
        note(QStringLiteral("%1: not stored: with it the graphics held would take more than %2 "
                            "MiB, all the printer has")
                 .arg(item.name)
                 .arg(kGraphicsCapacity >> 20));
        return false;
    }

    // A name defined again replaces its image, as in the printer: a capture of any number of
    // downloads keeps no more than the printer holds.
    void defineImage(const QString& name, const Dots::Kept& dots)
    {
        forget([&name](const QString& earlier) { return earlier == name; });
        stored << qMakePair(name, dots);
    }
    template <typename Match> void forget(Match match)
    {
        stored.removeIf([&match](const QPair<QString, Dots::Kept>& s) { return match(s.first); });
    }

    // ----- one item -----

    void feed(const Item& item)
    {
        at = item.offset;
        if (item.kind == Kind::Unknown) {
            notDrawn[QStringLiteral("bytes that mean nothing known")] += item.length;
            return;
        }
        if (item.kind == Kind::Config) {
            skip(item, "a configuration frame: it prints nothing");
            return;
        }
        if (item.kind == Kind::Truncated) {
            note(QStringLiteral("%1 cut off by the end of the capture: not drawn")
                     .arg(item.name.isEmpty() ? QStringLiteral("a command") : item.name));
            return;
        }
        if (!enabled && item.op != Op::PeripheralDevice) {
            notDrawn[QStringLiteral("items while ESC = had the printer disabled")] += 1;
            return;
        }
        if (item.kind == Kind::Text) {
            text(item.data);
            return;
        }
        if (pendingLead >= 0) {
            // A lead byte that no trail followed is not printed.
            pendingLead = -1;
        }
        if (item.dataLength > 0 && !item.dataKept && item.op != Op::Barcode &&
            item.op != Op::TabPositions) {
            note(QStringLiteral("%1: its %2 bytes of data are more than the renderer keeps; not "
                                "drawn")
                     .arg(item.name)
                     .arg(item.dataLength));
            return;
        }
        command(item);
    }

    void command(const Item& item)
    {
        const int n = item.params.value(0);
        switch (item.op) {
        // print and feed
        case Op::LineFeed:
        case Op::FormFeed:
        case Op::PrintPage:
            flushLine(lineSpacing);
            return;
        case Op::CarriageReturn:
            return; // a printer without automatic line feed does nothing with it
        case Op::HorizontalTab:
            tab();
            return;
        case Op::FeedUnits:
            flushLine(int(std::lround(n * unitY)));
            return;
        case Op::ReverseFeedUnits:
        case Op::ReverseFeedLines:
            flushLine(0);
            y = qMax(0,
                     y - int(std::lround(item.op == Op::ReverseFeedLines ? double(n) * lineSpacing
                                                                         : n * unitY)));
            return;
        case Op::FeedLines:
            if (line.isEmpty()) {
                advance(n * lineSpacing);
            } else {
                flushLine(n > 0 ? lineSpacing : 0);
                advance(qMax(0, n - 1) * lineSpacing);
            }
            return;
        case Op::DefaultLineSpacing:
            lineSpacing = kDefaultSpacing;
            return;
        case Op::LineSpacing:
            lineSpacing = int(std::lround(n * unitY));
            return;
        // characters
        case Op::RightSpacing:
            style.rightSpacing = int(std::lround(n * unitX));
            return;
        case Op::PrintMode:
            style.font = n & 1;
            style.emphasis = n & 0x08;
            style.height = (n & 0x10) ? 2 : 1;
            style.width = (n & 0x20) ? 2 : 1;
            style.underline = (n & 0x80) ? 1 : 0;
            return;
        case Op::UserCharacterSet:
            userCharacters = n & 1;
            return;
        case Op::DefineUserCharacters:
            defineUserCharacters(item);
            return;
        case Op::CancelUserCharacter:
            userGlyphs[style.font == 1].remove(n);
            return;
        case Op::Underline:
            style.underline = qBound(0, digit(n), 2);
            return;
        case Op::Emphasis:
            style.emphasis = n & 1;
            return;
        case Op::DoubleStrike:
            style.doubleStrike = n & 1;
            return;
        case Op::Font:
            style.font = digit(n) == 1 ? 1 : 0;
            if (digit(n) > 1)
                note(QStringLiteral("ESC M %1: font %2 is drawn as font A")
                         .arg(n)
                         .arg(QChar(u'A' + qMin(digit(n), 25))));
            return;
        case Op::InternationalSet:
            international = n;
            if (n > 13)
                note(QStringLiteral("ESC R %1: an international set this program does not know; "
                                    "drawn as USA")
                         .arg(n));
            return;
        case Op::Rotate90:
            style.turned = digit(n) == 1 || digit(n) == 2;
            return;
        case Op::CodeTable:
            chooseTable(n);
            return;
        case Op::UpsideDown:
            style.upsideDown = n & 1;
            return;
        case Op::CharacterSize:
            style.width = qMin(8, (n >> 4) + 1);
            style.height = qMin(8, (n & 0x0F) + 1);
            return;
        case Op::Reverse:
            style.reverse = n & 1;
            return;
        case Op::Colour:
        case Op::Smoothing:
            return; // one colour and one quality of dots here
        case Op::DoubleByteOn:
            doubleByte = true;
            return;
        case Op::DoubleByteOff:
            doubleByte = false;
            return;
        case Op::DoubleByteSystem:
            doubleBytePage = 932;
            if (digit(n) == 0)
                note(QStringLiteral("FS C 0: JIS code is read as Shift JIS"));
            return;
        case Op::DoubleByteSpacing:
            style.wideLeft = int(std::lround(n * unitX));
            style.wideRight = int(std::lround(item.params.value(1) * unitX));
            return;
        case Op::DoubleByteMode:
            style.wideWidth = (n & 0x04) ? 2 : 1;
            style.wideHeight = (n & 0x08) ? 2 : 1;
            style.wideUnderline = (n & 0x80) ? 1 : 0;
            return;
        case Op::DoubleByteUnderline:
            style.wideUnderline = qBound(0, digit(n), 2);
            return;
        case Op::DoubleByteQuadruple:
            style.wideWidth = style.wideHeight = (n & 1) ? 2 : 1;
            return;
        // position
        case Op::AbsolutePosition:
            position(int(std::lround((n | item.params.value(1) << 8) * unitX)));
            return;
        case Op::RelativePosition:
            position(lineX + int(std::lround(std::int16_t(n | item.params.value(1) << 8) * unitX)));
            return;
        case Op::Justify:
            justify = qBound(0, digit(n), 2);
            return;
        case Op::TabPositions:
            tabs.clear();
            for (char c : item.data)
                tabs << std::uint8_t(c);
            return;
        case Op::LeftMargin:
            leftMargin = qMin(options.paperDots - 1,
                              int(std::lround((n | item.params.value(1) << 8) * unitX)));
            return;
        case Op::AreaWidth:
            areaWidth = qMax(1, int(std::lround((n | item.params.value(1) << 8) * unitX)));
            return;
        case Op::PageMode:
            note(QStringLiteral("ESC L: page mode is drawn as standard mode; the page's area, "
                                "direction and vertical positions are left out"));
            return;
        case Op::StandardMode:
        case Op::CancelPage:
            return;
        case Op::PageDirection:
        case Op::PageArea:
        case Op::PageAbsoluteY:
        case Op::PageRelativeY:
            skip(item, "page mode is drawn as standard mode");
            return;
        // images
        case Op::BitImage:
            bitImage(item);
            return;
        case Op::RasterImage: {
            const int width = (item.params.value(1) | item.params.value(2) << 8) * 8;
            const int height = item.params.value(3) | item.params.value(4) << 8;
            block(inMode(Dots::fromRows(item.data, width, height), n), "GS v 0's raster image");
            return;
        }
        case Op::GraphicsStoreRaster:
        case Op::GraphicsStoreColumn: {
            const int width = item.arg("xL") | item.arg("xH") << 8;
            const int height = item.arg("yL") | item.arg("yH") << 8;
            QImage dots =
                Dots::scaled(image(item.data, width, height, item.op == Op::GraphicsStoreColumn),
                             qBound(1, item.arg("bx"), 2), qBound(1, item.arg("by"), 2));
            if (!graphics.isNull() && graphics.size() == dots.size())
                Dots::ink(dots, graphics, 0, 0); // another colour of the same graphics
            graphics = dots;
            return;
        }
        case Op::GraphicsPrint:
            if (graphics.isNull()) {
                note(QStringLiteral("%1: no graphics stored to print").arg(item.name));
                return;
            }
            block(graphics, "the stored graphics");
            graphics = QImage();
            return;
        case Op::NvGraphicsDefineRaster:
        case Op::NvGraphicsDefineColumn: {
            const QByteArray key = QByteArray(1, char(item.arg("kc1"))) + char(item.arg("kc2"));
            const QImage dots = graphicsData(item, item.op == Op::NvGraphicsDefineColumn);
            if (!fits(memory->nvGraphics, key, dots, item))
                return;
            memory->nvGraphics.insert(key, dots);
            defineImage(
                QStringLiteral("NV graphics \"%1\"").arg(keyName(item.arg("kc1"), item.arg("kc2"))),
                dots);
            return;
        }
        case Op::DownloadGraphicsDefineRaster:
        case Op::DownloadGraphicsDefineColumn: {
            const QByteArray key = QByteArray(1, char(item.arg("kc1"))) + char(item.arg("kc2"));
            const QImage dots = graphicsData(item, item.op == Op::DownloadGraphicsDefineColumn);
            if (!fits(downloadGraphics, key, dots, item))
                return;
            downloadGraphics.insert(key, dots);
            defineImage(QStringLiteral("download graphics \"%1\"")
                            .arg(keyName(item.arg("kc1"), item.arg("kc2"))),
                        dots);
            return;
        }
        case Op::NvGraphicsPrint:
        case Op::DownloadGraphicsPrint: {
            const bool nv = item.op == Op::NvGraphicsPrint;
            const QByteArray key = QByteArray(1, char(item.arg("kc1"))) + char(item.arg("kc2"));
            const QMap<QByteArray, QImage>& from = nv ? memory->nvGraphics : downloadGraphics;
            if (!from.contains(key)) {
                note(QStringLiteral("%1: no %2 graphics \"%3\" is stored")
                         .arg(item.name, QLatin1String(nv ? "NV" : "download"),
                              keyName(item.arg("kc1"), item.arg("kc2"))));
                return;
            }
            block(Dots::scaled(from.value(key), qBound(1, item.arg("x"), 2),
                               qBound(1, item.arg("y"), 2)),
                  nv ? "the NV graphics" : "the download graphics");
            return;
        }
        case Op::NvGraphicsDeleteAll:
            memory->nvGraphics.clear();
            return;
        case Op::NvGraphicsDelete:
            memory->nvGraphics.remove(QByteArray(1, char(item.arg("kc1"))) + char(item.arg("kc2")));
            return;
        case Op::DownloadGraphicsDeleteAll:
            downloadGraphics.clear();
            return;
        case Op::DownloadGraphicsDelete:
            downloadGraphics.remove(QByteArray(1, char(item.arg("kc1"))) + char(item.arg("kc2")));
            return;
        case Op::DefineDownloadedImage:
            downloaded = Dots::fromColumns(item.data, n * 8, item.params.value(1) * 8);
            defineImage(QStringLiteral("downloaded bit image"), downloaded);
            return;
        case Op::PrintDownloadedImage:
            if (downloaded.isNull()) {
                note(QStringLiteral("GS /: no downloaded bit image is defined"));
                return;
            }
            block(inMode(downloaded, n), "the downloaded bit image");
            return;
        case Op::DefineNvImages:
            defineNvImages(item);
            return;
        case Op::PrintNvImage:
            if (n < 1 || n > memory->nvImages.size()) {
                note(QStringLiteral("FS p %1: the printer holds %2 NV bit image%3")
                         .arg(n)
                         .arg(memory->nvImages.size())
                         .arg(memory->nvImages.size() == 1 ? "" : "s"));
                return;
            }
            block(inMode(memory->nvImages[n - 1].dots(), item.params.value(1)), "the NV bit image");
            return;
        // codes
        case Op::Barcode:
            if (item.params.size() < 2 && n > 6) {
                note(QStringLiteral("GS k %1: a barcode type no printer knows; not drawn").arg(n));
                return;
            }
            symbol(Codes::barcode(n, item.data), barcode.module, barcode.height, "the barcode",
                   true);
            return;
        case Op::BarcodeHeight:
            barcode.height = qMax(1, n);
            return;
        case Op::BarcodeWidth:
            barcode.module = n >= 68 && n <= 76 ? n - 66 : qBound(1, n, 6);
            return;
        case Op::BarcodeTextPosition:
            barcode.hri = digit(n) & 3;
            return;
        case Op::BarcodeTextFont:
            barcode.hriFont = digit(n) == 1 ? 1 : 0;
            return;
        case Op::QrModel:
            qr.model = item.arg("n1");
            return;
        case Op::QrModuleSize:
            qr.module = qBound(1, item.arg("n"), 16);
            return;
        case Op::QrErrorCorrection:
            qr.level = qBound(48, item.arg("n"), 51);
            return;
        case Op::QrStore:
            qr.data = item.data;
            return;
        case Op::QrPrint:
            if (qr.model == 49)
                note(QStringLiteral("the QR code of model 1 is drawn as model 2"));
            symbol(Codes::qr(qr.data, qr.model, qr.level), qr.module, qr.module, "the QR code",
                   false);
            return;
        case Op::Pdf417Columns:
            pdf417.columns = item.arg("n");
            return;
        case Op::Pdf417Rows:
            pdf417.rows = item.arg("n");
            return;
        case Op::Pdf417ModuleWidth:
            pdf417.module = qBound(1, item.arg("n"), 8);
            return;
        case Op::Pdf417RowHeight:
            pdf417.rowHeight = qBound(1, item.arg("n"), 8);
            return;
        case Op::Pdf417ErrorCorrection:
            if (item.arg("m") == 49) {
                pdf417.level = -1;
                pdf417.ratio = qBound(1, item.arg("n"), 40);
            } else {
                pdf417.level = qBound(0, item.arg("n") - 48, 8);
            }
            return;
        case Op::Pdf417Options:
            pdf417.truncated = item.arg("m") & 1;
            return;
        case Op::Pdf417Store:
            pdf417.data = item.data;
            return;
        case Op::Pdf417Print:
            symbol(Codes::pdf417(pdf417.data, pdf417.columns, pdf417.rows, pdf417.level,
                                 pdf417.ratio, pdf417.truncated),
                   pdf417.module, pdf417.module * pdf417.rowHeight, "the PDF417 symbol", false);
            return;
        case Op::Code2DOther:
            code2D(item);
            return;
        // control
        case Op::Initialize:
            if (!line.isEmpty())
                note(QStringLiteral("ESC @ cleared a line not yet printed, as a printer does"));
            line.clear();
            lineX = 0;
            reset();
            return;
        case Op::PeripheralDevice:
            enabled = n & 1;
            return;
        case Op::MotionUnits:
            unitX = n ? double(kDotsPerInch) / n : 1;
            unitY = item.params.value(1) ? double(kDotsPerInch) / item.params.value(1) : 1;
            return;
        case Op::Cut: {
            flushLine(0);
            const int m = n;
            if (m >= 65 && item.params.size() > 1)
                advance(int(std::lround(item.params.value(1) * unitY)));
            endReceipt();
            return;
        }
        case Op::GraphicsDensity:
            return;
        default:
            skip(item, "it prints nothing");
            return;
        }
    }

    void bitImage(const Item& item)
    {
        const int m = item.params.value(0);
        const int columns = item.params.value(1) | item.params.value(2) << 8;
        const bool tall = m >= 32;
        if (m != 0 && m != 1 && m != 32 && m != 33) {
            note(QStringLiteral("ESC * %1: a bit-image mode no printer knows; not drawn").arg(m));
            return;
        }
        // 8-dot images are a third of the density down, single density half across.
        QImage dots = Dots::scaled(Dots::fromColumns(item.data, columns, tall ? 24 : 8),
                                   (m & 1) ? 1 : 2, tall ? 1 : 3);
        if (lineX + dots.width() > area()) {
            note(QStringLiteral("ESC *: the bit image is %1 dots wide and %2 are left on the "
                                "line: its right part is cut off")
                     .arg(dots.width())
                     .arg(area() - lineX));
            dots = dots.copy(0, 0, qMax(1, area() - lineX), dots.height());
        }
        Piece piece;
        piece.width = dots.width();
        piece.dots = dots;
        put(piece);
    }

    void defineUserCharacters(const Item& item)
    {
        const int rows = item.arg("y"), first = item.arg("c1"), last = item.arg("c2");
        const QSize cell = Glyphs::cell(face());
        qsizetype from = 0;
        for (int c = first; c <= last && from < item.data.size(); ++c) {
            const int columns = std::uint8_t(item.data[from++]);
            const QByteArray bits = item.data.mid(from, qsizetype(columns) * rows);
            from += qsizetype(columns) * rows;
            QImage glyph = Dots::blank(cell.width(), cell.height());
            Dots::ink(glyph, Dots::fromColumns(bits, columns, rows * 8), 0, 0);
            userGlyphs[style.font == 1].insert(c, glyph);
        }
    }

    void defineNvImages(const Item& item)
    {
        memory->nvImages.clear();
        forget([](const QString& name) { return name.startsWith(u"NV bit image "); });
        const int count = item.params.value(0);
        qsizetype from = 0;
        for (int i = 0; i < count && from + 4 <= item.data.size(); ++i) {
            const auto* h = reinterpret_cast<const std::uint8_t*>(item.data.constData() + from);
            const int x = h[0] | h[1] << 8, y8 = h[2] | h[3] << 8;
            const qsizetype size = qsizetype(x) * y8 * 8;
            const Dots::Kept dots =
                Dots::Kept::columns(item.data.mid(from + 4, size), x * 8, y8 * 8);
            memory->nvImages << dots;
            defineImage(QStringLiteral("NV bit image %1").arg(i + 1), dots);
            from += 4 + size;
        }
    }

    void code2D(const Item& item)
    {
        const int cn = item.arg("cn"), fn = item.arg("fn");
        const char* what = cn == 50   ? "the MaxiCode"
                           : cn == 53 ? "the Aztec code"
                           : cn == 54 ? "the DataMatrix code"
                                      : nullptr;
        if (!what) {
            skip(item, "this symbol is not drawn");
            return;
        }
        Other2D& code = other2D[cn];
        const QByteArray& d = item.data;
        switch (fn) {
        case 65:
            code.mode = digit(d.isEmpty() ? 0 : std::uint8_t(d[0]));
            return;
        case 67:
            code.module = qBound(1, d.isEmpty() ? 3 : std::uint8_t(d[0]), 16);
            return;
        case 80:
            code.data = d.mid(1);
            return;
        case 81:
            symbol(Codes::other(cn, code.data, code.mode), code.module, code.module, what, false);
            return;
        default:
            skip(item, "a setting of a symbol drawn with libzint's own");
            return;
        }
    }

    // ----- the end -----

    void finish()
    {
        at = -1;
        if (!line.isEmpty()) {
            if (owner->onNote)
                owner->onNote(QStringLiteral("the capture ends on a line that no line feed "
                                             "printed: a printer holds it, so it is not drawn"));
            line.clear();
        }
        endReceipt();
        if (receipts == 0 && !stored.isEmpty()) {
            // Nothing printed: the images the capture stores, each under its name.
            reset();
            for (const auto& [name, kept] : stored) {
                const QImage& dots = kept.dots();
                text(name.toLatin1() + " (" + QByteArray::number(dots.width()) + " x " +
                     QByteArray::number(dots.height()) + " dots)");
                flushLine(lineSpacing);
                block(dots, "the stored image");
                advance(lineSpacing);
            }
            endReceipt();
        }
        const QString missing = glyphs.missingFonts();
        if (!missing.isEmpty() && owner->onNote)
            owner->onNote(
                QStringLiteral("not installed: %1; text is drawn with another font").arg(missing));
        if (!notDrawn.isEmpty() && owner->onNote) {
            QStringList parts;
            for (auto it = notDrawn.cbegin(); it != notDrawn.cend(); ++it)
                parts << QStringLiteral("%1 x %2").arg(it.value()).arg(it.key());
            owner->onNote(QStringLiteral("not drawn: ") + parts.join(QStringLiteral("; ")));
        }
        notDrawn.clear();
    }
};

Printer::Printer(const Options& options, Memory* memory)
    : m(std::make_unique<Model>(options, memory, this))
{}

Printer::~Printer() = default;

void Printer::feed(const Decoding::Item& item)
{
    m->feed(item);
}

void Printer::finish()
{
    m->finish();
}

} // namespace Render

#include "EscPos.h"

#include <QStringList>

#include <array>
#include <vector>

namespace EscPos {

namespace {

constexpr int HT = 0x09, LF = 0x0A, FF = 0x0C, CR = 0x0D, CAN = 0x18, DLE = 0x10, EOT = 0x04,
              ENQ = 0x05, DC4 = 0x14, ESC = 0x1B, FS = 0x1C, GS = 0x1D;

using Words = QString (*)(const Args&);

// The bytes that start a command; -1 where it is shorter.
struct Key {
    int a = -1, b = -1, c = -1;
};

// A row as written below. Its layout names each parameter byte after the key; "fn=80",
// "m=0..64" or "n=0|48" pick the row by the byte's value, "pL pH" and "p1 p2 p3 p4" count the
// bytes that follow them (parameters and data).
struct Entry {
    Op op;
    const char* token;
    Key key;
    const char* layout;
    Data data;
    Words words;
};

// ----- words -----

// Many parameters take 0 and the digit "0" alike.
int digit(int n)
{
    return n >= '0' ? n - '0' : n;
}

QString one(const char* text, int n)
{
    return QString::fromLatin1(text).arg(n);
}

QString onOff(const char* what, int n)
{
    return QString::fromLatin1(what) + ((n & 1) ? QLatin1String(" on") : QLatin1String(" off"));
}

// The name of a value counted from 0 (or "0"), or the value itself.
QString named(int n, std::initializer_list<const char*> names)
{
    const int i = digit(n);
    return i >= 0 && i < int(names.size()) ? QLatin1String(names.begin()[i])
                                           : one("%1 (unknown)", n);
}

QString bytes(qint64 n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n);
}

QString payload(const Args& a)
{
    return quotedBytes(a.data, a.dataLength > a.data.size());
}

QString keyCode(const Args& a, int i)
{
    const char code[] = {char(a[i]), char(a[i + 1])};
    return quotedBytes(QByteArrayView(code, 2), false);
}

int signedWord(const Args& a, int i)
{
    return std::int16_t(std::uint16_t(a.word(i)));
}

QString barcodeType(int m)
{
    static const char* const classic[] = {"UPC-A",  "UPC-E", "EAN13",  "EAN8",
                                          "CODE39", "ITF",   "CODABAR"};
    static const char* const counted[] = {"UPC-A",
                                          "UPC-E",
                                          "EAN13",
                                          "EAN8",
                                          "CODE39",
                                          "ITF",
                                          "CODABAR",
                                          "CODE93",
                                          "CODE128",
                                          "GS1-128",
                                          "GS1 DataBar Omnidirectional",
                                          "GS1 DataBar Truncated",
                                          "GS1 DataBar Limited",
                                          "GS1 DataBar Expanded"};
    if (m <= 6)
        return QLatin1String(classic[m]);
    if (m >= 65 && m < 65 + int(std::size(counted)))
        return QLatin1String(counted[m - 65]);
    return one("type %1", m);
}

QString barcode(const Args& a)
{
    return QStringLiteral("barcode %1 %2").arg(barcodeType(a[0]), payload(a));
}

// The most bytes a NUL-terminated barcode takes, and which bytes it takes: a printer ends the
// code at the first byte its type cannot encode and reads that byte as ordinary data.
qint64 barcodeMost(const Args& a)
{
    return a[0] <= 1 ? 12 : a[0] == 2 ? 13 : a[0] == 3 ? 8 : 255;
}

bool barcodeTakes(const Args& a, int b, int)
{
    const bool digitByte = b >= '0' && b <= '9';
    switch (a[0]) {
    case 4:
        return digitByte || (b >= 'A' && b <= 'Z') ||
               std::string_view(" $%*+-./").find(char(b)) != std::string_view::npos;
    case 6:
        return digitByte || (b >= 'A' && b <= 'D') || (b >= 'a' && b <= 'd') ||
               std::string_view("$+-./:").find(char(b)) != std::string_view::npos;
    default:
        return digitByte;
    }
}

QString printMode(const Args& a)
{
    const int n = a[0];
    QStringList mode{(n & 1) ? QStringLiteral("font B") : QStringLiteral("font A")};
    if (n & 0x08)
        mode << QStringLiteral("emphasized");
    if (n & 0x10)
        mode << QStringLiteral("double height");
    if (n & 0x20)
        mode << QStringLiteral("double width");
    if (n & 0x80)
        mode << QStringLiteral("underline");
    return QStringLiteral("print mode: ") + mode.join(QStringLiteral(", "));
}

QString doubleByteMode(const Args& a)
{
    QStringList mode;
    if (a[0] & 0x04)
        mode << QStringLiteral("double width");
    if (a[0] & 0x08)
        mode << QStringLiteral("double height");
    if (a[0] & 0x80)
        mode << QStringLiteral("underline");
    return QStringLiteral("double-byte print mode: ") +
           (mode.isEmpty() ? QStringLiteral("normal") : mode.join(QStringLiteral(", ")));
}

QString underline(const char* what, int value)
{
    const int n = digit(value);
    return n == 0 ? QString::fromLatin1(what) + QLatin1String(" off")
                  : QStringLiteral("%1 %2-dot").arg(QLatin1String(what)).arg(n);
}

QString cut(const Args& a)
{
    // 0/48 and 65 cut fully, 1/49 and 66 partly: the odd ones below 65, the even above.
    const int m = a[0];
    const bool partial = m >= 65 ? (m & 1) == 0 : (m & 1) == 1;
    const QString how = partial ? QStringLiteral("partial cut") : QStringLiteral("full cut");
    if (a.count() < 2)
        return how;
    if (m == 97 || m == 98)
        return QStringLiteral("cut after the usual feed and %1 more, %2").arg(a[1]).arg(how);
    const QString then = m >= 103 ? QStringLiteral(", then back to the print start") : QString();
    return (a[1] == 0 ? QStringLiteral("feed to cut position, ") + how
                      : QStringLiteral("feed to cut position and %1 more, %2").arg(a[1]).arg(how)) +
           then;
}

QString imageMode(int m)
{
    return named(m, {"normal", "double width", "double height", "quadruple"});
}

// GS ( L and GS 8 L: "NV" or "download" graphics, by the function's range.
QString graphics(const Args& a)
{
    return QLatin1String(a[1] < 80 ? "NV graphics" : "download graphics");
}

QString defineGraphics(const Args& a, const char* format)
{
    return QStringLiteral("define %1 %2, %3 x %4 dots, %5, %6 colour(s)")
        .arg(graphics(a), keyCode(a, 3))
        .arg(a.word(6))
        .arg(a.word(8))
        .arg(QLatin1String(format))
        .arg(a[5]);
}

QString storeGraphics(const Args& a, const char* format)
{
    return QStringLiteral("graphics %1 x %2 dots, %3, scale %4 x %5, colour %6")
        .arg(a.word(6))
        .arg(a.word(8))
        .arg(QLatin1String(format))
        .arg(a[3])
        .arg(a[4])
        .arg(digit(a[5]));
}

QString symbol(int cn)
{
    return named(cn, {"PDF417", "QR code", "MaxiCode", "GS1 DataBar", "composite symbol",
                      "Aztec code", "DataMatrix"});
}

QString store(const Args& a)
{
    return QStringLiteral("%1: store %2 %3").arg(symbol(a[0]), bytes(a.dataLength), payload(a));
}

// ----- data lengths -----

constexpr Data rest()
{
    return {Data::Rest};
}

constexpr Data count(qint64 (*f)(const Args&))
{
    return {Data::Count, f};
}

// clang-format off
const Entry kEntries[] = {
    // print and feed
    {Op::HorizontalTab, "tab", {HT}, "", {},
     [](const Args&) { return QStringLiteral("horizontal tab"); }},
    {Op::LineFeed, "line-feed", {LF}, "", {},
     [](const Args&) { return QStringLiteral("print and line feed"); }},
    {Op::FormFeed, "form-feed", {FF}, "", {},
     [](const Args&) { return QStringLiteral("print and return to the start (form feed)"); }},
    {Op::CarriageReturn, "carriage-return", {CR}, "", {},
     [](const Args&) { return QStringLiteral("carriage return"); }},
    {Op::CancelPage, "cancel-page", {CAN}, "", {},
     [](const Args&) { return QStringLiteral("cancel the page's data"); }},
    {Op::PrintPage, "print-page", {ESC, FF}, "", {},
     [](const Args&) { return QStringLiteral("print the page"); }},
    {Op::FeedUnits, "feed-units", {ESC, 'J'}, "n", {},
     [](const Args& a) { return one("print and feed %1 motion units", a[0]); }},
    {Op::ReverseFeedUnits, "reverse-feed-units", {ESC, 'K'}, "n", {},
     [](const Args& a) { return one("print and feed back %1 motion units", a[0]); }},
    {Op::FeedLines, "feed-lines", {ESC, 'd'}, "n", {},
     [](const Args& a) { return one("print and feed %1 lines", a[0]); }},
    {Op::ReverseFeedLines, "reverse-feed-lines", {ESC, 'e'}, "n", {},
     [](const Args& a) { return one("print and feed back %1 lines", a[0]); }},
    {Op::DefaultLineSpacing, "default-line-spacing", {ESC, '2'}, "", {},
     [](const Args&) { return QStringLiteral("default line spacing"); }},
    {Op::LineSpacing, "line-spacing", {ESC, '3'}, "n", {},
     [](const Args& a) { return one("line spacing %1 motion units", a[0]); }},

    // characters
    {Op::RightSpacing, "right-spacing", {ESC, ' '}, "n", {},
     [](const Args& a) { return one("right-side character spacing %1 motion units", a[0]); }},
    {Op::PrintMode, "print-mode", {ESC, '!'}, "n", {}, printMode},
    {Op::UserCharacterSet, "user-characters", {ESC, '%'}, "n", {},
     [](const Args& a) { return onOff("user-defined characters", a[0]); }},
    {Op::DefineUserCharacters, "define-user-characters", {ESC, '&'}, "y c1 c2",
     {Data::Blocks, [](const Args& a) { return qint64(a[2] >= a[1] ? a[2] - a[1] + 1 : 0); },
      nullptr, 1,
      [](const Args& a, const std::uint8_t* head) { return qint64(a[0]) * head[0]; }},
     [](const Args& a) {
         return QStringLiteral("define user-defined characters %1 to %2, %3 bytes a column")
             .arg(a[1]).arg(a[2]).arg(a[0]);
     }},
    {Op::CancelUserCharacter, "cancel-user-character", {ESC, '?'}, "n", {},
     [](const Args& a) { return one("cancel user-defined character %1", a[0]); }},
    {Op::Underline, "underline", {ESC, '-'}, "n", {},
     [](const Args& a) { return underline("underline", a[0]); }},
    {Op::Emphasis, "emphasis", {ESC, 'E'}, "n", {},
     [](const Args& a) { return onOff("emphasis", a[0]); }},
    {Op::DoubleStrike, "double-strike", {ESC, 'G'}, "n", {},
     [](const Args& a) { return onOff("double-strike", a[0]); }},
    {Op::Font, "font", {ESC, 'M'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("font ") + QChar(u'A' + qBound(0, digit(a[0]), 25));
     }},
    {Op::InternationalSet, "international-set", {ESC, 'R'}, "n", {},
     [](const Args& a) { return one("international character set %1", a[0]); }},
    {Op::Rotate90, "rotate-90", {ESC, 'V'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("90-degree rotation ") +
                named(a[0], {"off", "on", "on, 1.5-dot spacing"});
     }},
    {Op::Colour, "colour", {ESC, 'r'}, "n", {},
     [](const Args& a) { return one("print colour %1", digit(a[0]) + 1); }},
    {Op::CodeTable, "code-table", {ESC, 't'}, "n", {},
     [](const Args& a) { return one("character code table %1", a[0]); }},
    {Op::UpsideDown, "upside-down", {ESC, '{'}, "n", {},
     [](const Args& a) { return onOff("upside-down printing", a[0]); }},
    {Op::CharacterSize, "character-size", {GS, '!'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("character size: width %1, height %2")
             .arg((a[0] >> 4) + 1)
             .arg((a[0] & 0x0F) + 1);
     }},
    {Op::Reverse, "reverse", {GS, 'B'}, "n", {},
     [](const Args& a) { return onOff("reverse printing", a[0]); }},
    {Op::Smoothing, "smoothing", {GS, 'b'}, "n", {},
     [](const Args& a) { return onOff("smoothing", a[0]); }},
    {Op::DoubleByteOn, "double-byte-on", {FS, '&'}, "", {},
     [](const Args&) { return QStringLiteral("double-byte characters on"); }},
    {Op::DoubleByteOff, "double-byte-off", {FS, '.'}, "", {},
     [](const Args&) { return QStringLiteral("double-byte characters off"); }},
    {Op::DoubleByteSystem, "double-byte-system", {FS, 'C'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("double-byte code system ") +
                named(a[0], {"JIS", "Shift JIS", "Shift JIS-2004"});
     }},
    {Op::DoubleByteSpacing, "double-byte-spacing", {FS, 'S'}, "n1 n2", {},
     [](const Args& a) {
         return QStringLiteral("double-byte character spacing: left %1, right %2 motion units")
             .arg(a[0])
             .arg(a[1]);
     }},
    {Op::DoubleByteMode, "double-byte-mode", {FS, '!'}, "n", {}, doubleByteMode},
    {Op::DoubleByteUnderline, "double-byte-underline", {FS, '-'}, "n", {},
     [](const Args& a) { return underline("double-byte underline", a[0]); }},
    {Op::DoubleByteQuadruple, "double-byte-quadruple", {FS, 'W'}, "n", {},
     [](const Args& a) { return onOff("double-byte quadruple size", a[0]); }},

    // position
    {Op::AbsolutePosition, "absolute-position", {ESC, '$'}, "nL nH", {},
     [](const Args& a) { return one("absolute position %1 motion units", a.word(0)); }},
    {Op::RelativePosition, "relative-position", {ESC, '\\'}, "nL nH", {},
     [](const Args& a) { return one("relative position %1 motion units", signedWord(a, 0)); }},
    {Op::Justify, "justify", {ESC, 'a'}, "n", {},
     [](const Args& a) {
         const int n = digit(a[0]);
         return n <= 2 ? QStringLiteral("justify ") + named(n, {"left", "centre", "right"})
                       : one("justification %1 (unknown)", a[0]);
     }},
    {Op::TabPositions, "tab-positions", {ESC, 'D'}, "",
     {Data::UntilNul, [](const Args&) { return qint64(32); },
      [](const Args&, int b, int previous) { return b > previous; }},
     [](const Args& a) {
         QStringList at;
         for (char c : a.data)
             at << QString::number(std::uint8_t(c));
         return at.isEmpty() ? QStringLiteral("tab positions cleared")
                             : QStringLiteral("tab positions ") + at.join(QStringLiteral(", "));
     }},
    {Op::PageDirection, "page-direction", {ESC, 'T'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("page direction ") +
                named(a[0], {"left to right", "bottom to top", "right to left", "top to bottom"});
     }},
    {Op::LeftMargin, "left-margin", {GS, 'L'}, "nL nH", {},
     [](const Args& a) { return one("left margin %1 dots", a.word(0)); }},
    {Op::AreaWidth, "area-width", {GS, 'W'}, "nL nH", {},
     [](const Args& a) { return one("print area width %1 dots", a.word(0)); }},
    {Op::PageAbsoluteY, "page-absolute-y", {GS, '$'}, "nL nH", {},
     [](const Args& a) { return one("vertical position %1 motion units", a.word(0)); }},
    {Op::PageRelativeY, "page-relative-y", {GS, '\\'}, "nL nH", {},
     [](const Args& a) {
         return one("relative vertical position %1 motion units", signedWord(a, 0));
     }},
    {Op::PageMode, "page-mode", {ESC, 'L'}, "", {},
     [](const Args&) { return QStringLiteral("page mode"); }},
    {Op::StandardMode, "standard-mode", {ESC, 'S'}, "", {},
     [](const Args&) { return QStringLiteral("standard mode"); }},
    {Op::PageArea, "page-area", {ESC, 'W'}, "xL xH yL yH dxL dxH dyL dyH", {},
     [](const Args& a) {
         return QStringLiteral("page area at %1, %2, %3 x %4 motion units")
             .arg(a.word(0)).arg(a.word(2)).arg(a.word(4)).arg(a.word(6));
     }},

    // images
    {Op::BitImage, "bit-image", {ESC, '*'}, "m nL nH",
     count([](const Args& a) { return qint64(a.word(1)) * (a[0] >= 32 ? 3 : 1); }),
     [](const Args& a) {
         return QStringLiteral("bit image %1 x %2 dots, %3 density")
             .arg(a.word(1))
             .arg(a[0] >= 32 ? 24 : 8)
             .arg(QLatin1String(a[0] & 1 ? "double" : "single"));
     }},
    {Op::RasterImage, "raster-image", {GS, 'v', '0'}, "m xL xH yL yH",
     count([](const Args& a) { return qint64(a.word(1)) * a.word(3); }),
     [](const Args& a) {
         return QStringLiteral("raster image %1 x %2 dots, mode %3")
             .arg(a.word(1) * 8)
             .arg(a.word(3))
             .arg(a[0]);
     }},
    // GS ( L; the same rows for GS 8 L are made from these.
    {Op::GraphicsCapacity, "graphics-capacity", {GS, '(', 'L'}, "pL pH m fn=0|48", rest(),
     [](const Args&) { return QStringLiteral("transmit the NV graphics capacity"); }},
    {Op::GraphicsDensity, "graphics-density", {GS, '(', 'L'}, "pL pH m fn=1|49 x y", rest(),
     [](const Args& a) {
         return QStringLiteral("graphics dot density %1 x %2").arg(a[2]).arg(a[3]);
     }},
    {Op::GraphicsPrint, "graphics-print", {GS, '(', 'L'}, "pL pH m fn=2|50", rest(),
     [](const Args&) { return QStringLiteral("print the stored graphics"); }},
    {Op::NvGraphicsLeft, "nv-graphics-left", {GS, '(', 'L'}, "pL pH m fn=3|51", rest(),
     [](const Args&) { return QStringLiteral("transmit the NV graphics room left"); }},
    {Op::DownloadGraphicsLeft, "download-graphics-left", {GS, '(', 'L'}, "pL pH m fn=4|52", rest(),
     [](const Args&) { return QStringLiteral("transmit the download graphics room left"); }},
    {Op::NvGraphicsKeys, "nv-graphics-keys", {GS, '(', 'L'}, "pL pH m fn=64 d1 d2", rest(),
     [](const Args& a) { return QStringLiteral("transmit the %1 key codes").arg(graphics(a)); }},
    {Op::NvGraphicsDeleteAll, "nv-graphics-delete-all", {GS, '(', 'L'},
     "pL pH m fn=65 d1 d2 d3", rest(),
     [](const Args& a) { return QStringLiteral("delete all %1").arg(graphics(a)); }},
    {Op::NvGraphicsDelete, "nv-graphics-delete", {GS, '(', 'L'}, "pL pH m fn=66 kc1 kc2", rest(),
     [](const Args& a) { return QStringLiteral("delete %1 %2").arg(graphics(a), keyCode(a, 2)); }},
    {Op::NvGraphicsDefineRaster, "nv-graphics-define-raster", {GS, '(', 'L'},
     "pL pH m fn=67 a kc1 kc2 b xL xH yL yH", rest(),
     [](const Args& a) { return defineGraphics(a, "raster"); }},
    {Op::NvGraphicsDefineColumn, "nv-graphics-define-column", {GS, '(', 'L'},
     "pL pH m fn=68 a kc1 kc2 b xL xH yL yH", rest(),
     [](const Args& a) { return defineGraphics(a, "column"); }},
    {Op::NvGraphicsPrint, "nv-graphics-print", {GS, '(', 'L'}, "pL pH m fn=69 kc1 kc2 x y", rest(),
     [](const Args& a) {
         return QStringLiteral("print %1 %2, scale %3 x %4")
             .arg(graphics(a), keyCode(a, 2))
             .arg(a[4])
             .arg(a[5]);
     }},
    {Op::DownloadGraphicsKeys, "download-graphics-keys", {GS, '(', 'L'},
     "pL pH m fn=80 d1 d2", rest(),
     [](const Args& a) { return QStringLiteral("transmit the %1 key codes").arg(graphics(a)); }},
    {Op::DownloadGraphicsDeleteAll, "download-graphics-delete-all", {GS, '(', 'L'},
     "pL pH m fn=81 d1 d2 d3", rest(),
     [](const Args& a) { return QStringLiteral("delete all %1").arg(graphics(a)); }},
    {Op::DownloadGraphicsDelete, "download-graphics-delete", {GS, '(', 'L'},
     "pL pH m fn=82 kc1 kc2", rest(),
     [](const Args& a) { return QStringLiteral("delete %1 %2").arg(graphics(a), keyCode(a, 2)); }},
    {Op::DownloadGraphicsDefineRaster, "download-graphics-define-raster", {GS, '(', 'L'},
     "pL pH m fn=83 a kc1 kc2 b xL xH yL yH", rest(),
     [](const Args& a) { return defineGraphics(a, "raster"); }},
    {Op::DownloadGraphicsDefineColumn, "download-graphics-define-column", {GS, '(', 'L'},
     "pL pH m fn=84 a kc1 kc2 b xL xH yL yH", rest(),
     [](const Args& a) { return defineGraphics(a, "column"); }},
    {Op::DownloadGraphicsPrint, "download-graphics-print", {GS, '(', 'L'},
     "pL pH m fn=85 kc1 kc2 x y", rest(),
     [](const Args& a) {
         return QStringLiteral("print %1 %2, scale %3 x %4")
             .arg(graphics(a), keyCode(a, 2))
             .arg(a[4])
             .arg(a[5]);
     }},
    {Op::GraphicsStoreRaster, "graphics-store-raster", {GS, '(', 'L'},
     "pL pH m fn=112 a bx by c xL xH yL yH", rest(),
     [](const Args& a) { return storeGraphics(a, "raster"); }},
    {Op::GraphicsStoreColumn, "graphics-store-column", {GS, '(', 'L'},
     "pL pH m fn=113 a bx by c xL xH yL yH", rest(),
     [](const Args& a) { return storeGraphics(a, "column"); }},
    {Op::GraphicsOther, "graphics", {GS, '(', 'L'}, "pL pH m fn", rest(),
     [](const Args& a) {
         return QStringLiteral("graphics data, ") + bytes(a.count() + a.dataLength);
     }},
    {Op::DefineDownloadedImage, "define-downloaded-image", {GS, '*'}, "x y",
     count([](const Args& a) { return qint64(a[0]) * a[1] * 8; }),
     [](const Args& a) {
         return QStringLiteral("define a downloaded bit image %1 x %2 dots")
             .arg(a[0] * 8)
             .arg(a[1] * 8);
     }},
    {Op::PrintDownloadedImage, "print-downloaded-image", {GS, '/'}, "m", {},
     [](const Args& a) {
         return QStringLiteral("print the downloaded bit image, ") + imageMode(a[0]);
     }},
    {Op::DefineNvImages, "define-nv-images", {FS, 'q'}, "n",
     {Data::Blocks, [](const Args& a) { return qint64(a[0]); }, nullptr, 4,
      [](const Args&, const std::uint8_t* h) {
          return qint64(h[0] | h[1] << 8) * (h[2] | h[3] << 8) * 8;
      }},
     [](const Args& a) { return one("define %1 NV bit images", a[0]); }},
    {Op::PrintNvImage, "print-nv-image", {FS, 'p'}, "n m", {},
     [](const Args& a) {
         const int m = digit(a[1]);
         return QStringLiteral("print NV bit image %1, %2")
             .arg(a[0])
             .arg(m >= 0 && m <= 3 ? imageMode(m) : QStringLiteral("unknown mode"));
     }},

    // codes
    {Op::Barcode, "barcode", {GS, 'k'},
     "m=0..6", {Data::UntilNul, barcodeMost, barcodeTakes}, barcode},
    {Op::Barcode, "barcode", {GS, 'k'},
     "m=65..255 n", count([](const Args& a) { return qint64(a[1]); }), barcode},
    {Op::Barcode, "barcode", {GS, 'k'}, "m", {},
     [](const Args& a) { return one("barcode type %1 (unknown)", a[0]); }},
    {Op::BarcodeHeight, "barcode-height", {GS, 'h'}, "n", {},
     [](const Args& a) { return one("barcode height %1 dots", a[0]); }},
    {Op::BarcodeWidth, "barcode-width", {GS, 'w'}, "n", {},
     [](const Args& a) { return one("barcode module width %1", a[0]); }},
    {Op::BarcodeTextPosition, "barcode-text-position", {GS, 'H'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("barcode text ") +
                named(a[0], {"none", "above", "below", "above and below"});
     }},
    {Op::BarcodeTextFont, "barcode-text-font", {GS, 'f'}, "n", {},
     [](const Args& a) {
         return QStringLiteral("barcode text font ") + QChar(u'A' + qBound(0, digit(a[0]), 25));
     }},
    {Op::QrModel, "qr-model", {GS, '(', 'k'}, "pL pH cn=49 fn=65 n1 n2", rest(),
     [](const Args& a) {
         return QStringLiteral("QR code: model ") + named(a[2] - 1, {"1", "2", "micro"});
     }},
    {Op::QrModuleSize, "qr-module-size", {GS, '(', 'k'}, "pL pH cn=49 fn=67 n", rest(),
     [](const Args& a) { return one("QR code: module size %1 dots", a[2]); }},
    {Op::QrErrorCorrection, "qr-error-correction", {GS, '(', 'k'}, "pL pH cn=49 fn=69 n", rest(),
     [](const Args& a) {
         return QStringLiteral("QR code: error correction ") + named(a[2], {"L", "M", "Q", "H"});
     }},
    {Op::QrStore, "qr-store", {GS, '(', 'k'}, "pL pH cn=49 fn=80 m", rest(), store},
    {Op::QrPrint, "qr-print", {GS, '(', 'k'}, "pL pH cn=49 fn=81 m", rest(),
     [](const Args&) { return QStringLiteral("QR code: print"); }},
    {Op::QrSize, "qr-size", {GS, '(', 'k'}, "pL pH cn=49 fn=82 m", rest(),
     [](const Args&) { return QStringLiteral("QR code: transmit the size"); }},
    {Op::Pdf417Columns, "pdf417-columns", {GS, '(', 'k'}, "pL pH cn=48 fn=65 n", rest(),
     [](const Args& a) {
         return a[2] ? one("PDF417: %1 columns", a[2])
                     : QStringLiteral("PDF417: columns as they fit");
     }},
    {Op::Pdf417Rows, "pdf417-rows", {GS, '(', 'k'}, "pL pH cn=48 fn=66 n", rest(),
     [](const Args& a) {
         return a[2] ? one("PDF417: %1 rows", a[2]) : QStringLiteral("PDF417: rows as they fit");
     }},
    {Op::Pdf417ModuleWidth, "pdf417-module-width", {GS, '(', 'k'}, "pL pH cn=48 fn=67 n", rest(),
     [](const Args& a) { return one("PDF417: module width %1 dots", a[2]); }},
    {Op::Pdf417RowHeight, "pdf417-row-height", {GS, '(', 'k'}, "pL pH cn=48 fn=68 n", rest(),
     [](const Args& a) { return one("PDF417: row height %1 modules", a[2]); }},
    {Op::Pdf417ErrorCorrection, "pdf417-error-correction", {GS, '(', 'k'},
     "pL pH cn=48 fn=69 m n", rest(),
     [](const Args& a) {
         return a[2] == 49 ? one("PDF417: error correction %1 %", a[3] * 10)
                           : one("PDF417: error correction level %1", a[3] - 48);
     }},
    {Op::Pdf417Options, "pdf417-options", {GS, '(', 'k'}, "pL pH cn=48 fn=70 m", rest(),
     [](const Args& a) {
         return QStringLiteral("PDF417: ") + named(a[2], {"standard", "truncated"});
     }},
    {Op::Pdf417Store, "pdf417-store", {GS, '(', 'k'}, "pL pH cn=48 fn=80 m", rest(), store},
    {Op::Pdf417Print, "pdf417-print", {GS, '(', 'k'}, "pL pH cn=48 fn=81 m", rest(),
     [](const Args&) { return QStringLiteral("PDF417: print"); }},
    {Op::Pdf417Size, "pdf417-size", {GS, '(', 'k'}, "pL pH cn=48 fn=82 m", rest(),
     [](const Args&) { return QStringLiteral("PDF417: transmit the size"); }},
    {Op::Code2DOther, "code-2d", {GS, '(', 'k'}, "pL pH cn fn", rest(),
     [](const Args& a) {
         return QStringLiteral("%1: function %2, %3 of data")
             .arg(symbol(a[0]))
             .arg(a[1])
             .arg(bytes(a.dataLength));
     }},

    // control and status
    {Op::Initialize, "initialize", {ESC, '@'}, "", {},
     [](const Args&) { return QStringLiteral("initialize the printer"); }},
    {Op::PeripheralDevice, "peripheral-device", {ESC, '='}, "n", {},
     [](const Args& a) {
         return QString::fromLatin1((a[0] & 1) ? "printer enabled" : "printer disabled");
     }},
    {Op::PaperEndSignal, "paper-end-signal", {ESC, 'c', '3'}, "n", {},
     [](const Args& a) { return one("paper sensors for the paper-end signal: %1", a[0]); }},
    {Op::PaperEndStop, "paper-end-stop", {ESC, 'c', '4'}, "n", {},
     [](const Args& a) { return one("paper sensors that stop printing: %1", a[0]); }},
    {Op::PanelButtons, "panel-buttons", {ESC, 'c', '5'}, "n", {},
     [](const Args& a) {
         return QString::fromLatin1((a[0] & 1) ? "panel buttons disabled"
                                               : "panel buttons enabled");
     }},
    {Op::Pulse, "pulse", {ESC, 'p'}, "m t1 t2", {},
     [](const Args& a) {
         return QStringLiteral("drawer pin %1, on %2 ms, off %3 ms")
             .arg((a[0] & 1) ? 5 : 2)
             .arg(a[1] * 2)
             .arg(a[2] * 2);
     }},
    {Op::RealTimeStatus, "real-time-status", {DLE, EOT}, "n=7 a", {},
     [](const Args& a) { return one("real-time status request 7: ink, %1", a[1]); }},
    {Op::RealTimeStatus, "real-time-status", {DLE, EOT}, "n", {},
     [](const Args& a) {
         static const char* const what[] = {"printer", "offline cause", "error cause",
                                            "paper sensor"};
         return a[0] >= 1 && a[0] <= 4
                    ? QStringLiteral("real-time status request %1: %2")
                          .arg(a[0])
                          .arg(QLatin1String(what[a[0] - 1]))
                    : one("real-time status request %1 (unknown)", a[0]);
     }},
    {Op::RealTimeRequest, "real-time-request", {DLE, ENQ}, "n", {},
     [](const Args& a) {
         return a[0] == 1 ? QStringLiteral("real-time request: recover and go on")
                : a[0] == 2 ? QStringLiteral("real-time request: clear the buffers and recover")
                            : one("real-time request %1 (unknown)", a[0]);
     }},
    {Op::RealTimePulse, "real-time-pulse", {DLE, DC4}, "fn=1 m t", {},
     [](const Args& a) {
         return QStringLiteral("real-time pulse on drawer pin %1, %2 ms")
             .arg((a[1] & 1) ? 5 : 2)
             .arg(a[2] * 100);
     }},
    {Op::RealTimePowerOff, "real-time-power-off", {DLE, DC4}, "fn=2 a b", {},
     [](const Args&) { return QStringLiteral("power-off sequence"); }},
    {Op::RealTimeClearBuffers, "real-time-clear-buffers", {DLE, DC4},
     "fn=8 d1 d2 d3 d4 d5 d6 d7", {},
     [](const Args&) { return QStringLiteral("clear the buffers"); }},
    {Op::TransmitStatus, "transmit-status", {GS, 'r'}, "n", {},
     [](const Args& a) {
         const int n = digit(a[0]);
         return n == 1 ? QStringLiteral("transmit the paper sensor status")
                : n == 2 ? QStringLiteral("transmit the drawer status")
                         : one("transmit status %1", a[0]);
     }},
    {Op::TransmitId, "transmit-id", {GS, 'I'}, "n", {},
     [](const Args& a) { return one("transmit printer ID %1", a[0]); }},
    {Op::AutomaticStatusBack, "automatic-status-back", {GS, 'a'}, "n", {},
     [](const Args& a) {
         QStringList on;
         static const char* const what[] = {"drawer", "online", "error", "paper"};
         for (int bit = 0; bit < 4; ++bit) {
             if (a[0] & (1 << bit))
                 on << QLatin1String(what[bit]);
         }
         return QStringLiteral("automatic status back: ") +
                (on.isEmpty() ? QStringLiteral("off") : on.join(QStringLiteral(", ")));
     }},
    {Op::TestPrint, "test-print", {GS, '(', 'A'}, "pL pH n m", rest(),
     [](const Args& a) {
         return QStringLiteral("test print: ") +
                named(a[1] - 1, {"hexadecimal dump", "status", "rolling pattern"});
     }},
    {Op::UserSetup, "user-setup", {GS, '(', 'E'}, "pL pH fn", rest(),
     [](const Args& a) {
         return a[0] == 1 ? QStringLiteral("user setup mode on")
                : a[0] == 2 ? QStringLiteral("user setup mode off")
                            : QStringLiteral("user setup function %1, %2 of data")
                                  .arg(a[0])
                                  .arg(bytes(a.dataLength));
     }},
    {Op::ResponseRequest, "response-request", {GS, '(', 'H'}, "pL pH fn m", rest(),
     [](const Args& a) {
         return a[0] == 48 ? QStringLiteral("request a response to process ID %1").arg(payload(a))
                           : one("request a response, function %1", a[0]);
     }},
    {Op::PrintControl, "print-control", {GS, '(', 'K'}, "pL pH fn m", rest(),
     [](const Args& a) {
         const int m = a[1];
         switch (a[0]) {
         case 48: case 0: return one("print control mode %1", m);
         case 49: case 1: return one("print density %1", m);
         case 50: case 2: return one("print speed %1", m);
         case 97: return one("head energized in %1 parts", m);
         }
         return one("print control function %1", a[0]);
     }},
    {Op::MotionUnits, "motion-units", {GS, 'P'}, "x y", {},
     [](const Args& a) {
         return QStringLiteral("motion units 1/%1 inch across, 1/%2 inch along")
             .arg(a[0])
             .arg(a[1]);
     }},
    {Op::Cut, "cut", {GS, 'V'}, "m=0..64", {}, cut},
    {Op::Cut, "cut", {GS, 'V'}, "m=65..255 n", {}, cut},
};
// clang-format on

QString byteName(int b)
{
    switch (b) {
    case HT:
        return QStringLiteral("HT");
    case LF:
        return QStringLiteral("LF");
    case FF:
        return QStringLiteral("FF");
    case CR:
        return QStringLiteral("CR");
    case CAN:
        return QStringLiteral("CAN");
    case DLE:
        return QStringLiteral("DLE");
    case EOT:
        return QStringLiteral("EOT");
    case ENQ:
        return QStringLiteral("ENQ");
    case DC4:
        return QStringLiteral("DC4");
    case ESC:
        return QStringLiteral("ESC");
    case FS:
        return QStringLiteral("FS");
    case GS:
        return QStringLiteral("GS");
    case ' ':
        return QStringLiteral("SP");
    }
    return b > 0x20 && b < 0x7F ? QString(QChar(b))
                                : QStringLiteral("%1").arg(b, 2, 16, QChar(u'0'));
}

} // namespace

QString nameOf(const std::uint8_t* bytes, int size)
{
    QStringList parts;
    for (int i = 0; i < size; ++i)
        parts << byteName(bytes[i]);
    return parts.join(u' ');
}

namespace {

// A parameter whose value picks the row: lo..hi, or one of two values.
struct Pick {
    int at, lo, hi, other;
    bool holds(int b) const { return (b >= lo && b <= hi) || b == other; }
};

} // namespace

// A row read once from its layout.
struct Row {
    const Entry* entry;
    std::array<std::uint8_t, 3> key{};
    int keySize = 0;
    QString name;
    std::vector<std::string> names;
    std::vector<Pick> picks;
    int lengthAt = -1; // where its length bytes begin among its parameters
    int lengthBytes = 0;
};

namespace {

Row compile(const Entry& entry, bool fourByteLength)
{
    Row row;
    row.entry = &entry;
    for (int b : {entry.key.a, entry.key.b, entry.key.c}) {
        if (b >= 0)
            row.key[std::size_t(row.keySize++)] = std::uint8_t(b);
    }
    if (fourByteLength)
        row.key[1] = '8';
    row.name = nameOf(row.key.data(), row.keySize);
    const QList<QByteArray> tokens = QByteArray(entry.layout).split(' ');
    for (const QByteArray& token : tokens) {
        if (token.isEmpty())
            continue;
        const QList<QByteArray> parts = token.split('=');
        const int at = int(row.names.size());
        if (parts[0] == "pL" && fourByteLength) {
            row.lengthAt = at;
            row.lengthBytes = 4;
            for (const char* name : {"p1", "p2", "p3", "p4"})
                row.names.emplace_back(name);
            continue;
        }
        if (parts[0] == "pH" && fourByteLength)
            continue;
        if (parts[0] == "pL") {
            row.lengthAt = at;
            row.lengthBytes = 2;
        }
        row.names.push_back(parts[0].toStdString());
        if (parts.size() < 2)
            continue;
        const QByteArray& values = parts[1];
        Pick pick{at, 0, -1, -1};
        if (values.contains("..")) {
            const QList<QByteArray> range = values.split('.');
            pick.lo = range.first().toInt();
            pick.hi = range.last().toInt();
        } else if (values.contains('|')) {
            const QList<QByteArray> two = values.split('|');
            pick.lo = pick.hi = two[0].toInt();
            pick.other = two[1].toInt();
        } else {
            pick.lo = pick.hi = values.toInt();
        }
        row.picks.push_back(pick);
    }
    return row;
}

struct Table {
    std::vector<Row> rows;
    std::array<std::vector<const Row*>, 256> byFirst;
    std::array<bool, 256> starts{};

    Table()
    {
        rows.reserve(2 * std::size(kEntries));
        for (const Entry& entry : kEntries) {
            rows.push_back(compile(entry, false));
            // GS 8 L: the functions of GS ( L with four length bytes.
            if (entry.key.a == GS && entry.key.b == '(' && entry.key.c == 'L')
                rows.push_back(compile(entry, true));
        }
        for (const Row& row : rows) {
            byFirst[row.key[0]].push_back(&row);
            starts[row.key[0]] = true;
        }
    }
};

const Table& table()
{
    static const Table all;
    return all;
}

} // namespace

bool starts(std::uint8_t byte)
{
    return table().starts[byte];
}

Match find(const std::uint8_t* bytes, qsizetype available)
{
    Match match;
    auto needMore = [&](const QString& name) {
        match.result = Match::NeedMore;
        match.name = name;
        return match;
    };
    for (const Row* row : table().byFirst[bytes[0]]) {
        int k = 1;
        while (k < row->keySize && k < available && bytes[k] == row->key[std::size_t(k)])
            ++k;
        if (k < row->keySize) {
            if (k < available)
                continue; // another command
            return needMore(nameOf(bytes, int(available)));
        }
        const std::uint8_t* params = bytes + row->keySize;
        const qsizetype left = available - row->keySize;
        const int lengthEnd = row->lengthAt + row->lengthBytes;
        qint64 counted = 0;
        if (row->lengthBytes > 0) {
            if (left < lengthEnd)
                return needMore(row->name);
            for (int i = row->lengthBytes - 1; i >= 0; --i)
                counted = counted << 8 | params[row->lengthAt + i];
        }
        bool fits = true;
        for (const Pick& pick : row->picks) {
            // A byte beyond what the length counts is not this command's.
            if (row->lengthBytes > 0 && pick.at - lengthEnd >= counted) {
                fits = false;
                break;
            }
            if (pick.at >= left)
                return needMore(row->name);
            if (!pick.holds(params[pick.at])) {
                fits = false;
                break;
            }
        }
        if (!fits)
            continue;
        qint64 paramCount = qint64(row->names.size());
        if (row->lengthBytes > 0)
            paramCount = qMin(paramCount, lengthEnd + counted);
        match.row = row;
        match.name = row->name;
        match.keySize = row->keySize;
        match.header = row->keySize + int(paramCount);
        match.skip = qMax(lengthEnd, 0);
        match.counted = counted;
        match.result = available < match.header ? Match::NeedMore : Match::Found;
        return match;
    }
    return match;
}

Op op(const Row& row)
{
    return row.entry->op;
}

const char* token(const Row& row)
{
    return row.entry->token;
}

Data data(const Row& row)
{
    return row.entry->data;
}

QString words(const Row& row, const Args& args)
{
    return row.entry->words(args);
}

int argCount(const Row& row)
{
    return int(row.names.size());
}

std::string_view argName(const Row& row, int i)
{
    return i >= 0 && i < int(row.names.size()) ? std::string_view(row.names[std::size_t(i)])
                                               : std::string_view();
}

int argIndex(const Row& row, std::string_view name)
{
    for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (row.names[i] == name)
            return int(i);
    }
    return -1;
}

QString quotedBytes(QByteArrayView bytes, bool more)
{
    QString shown = QStringLiteral("\"");
    for (char c : bytes) {
        const auto b = std::uint8_t(c);
        if (b == '"' || b == '\\')
            shown += u'\\';
        if (b >= 0x20 && b < 0x7F)
            shown += QChar(b);
        else
            shown += QStringLiteral("\\x%1").arg(b, 2, 16, QChar(u'0'));
    }
    return shown + (more ? QStringLiteral("\"…") : QStringLiteral("\""));
}

} // namespace EscPos

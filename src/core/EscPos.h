#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <string_view>

// The ESC/POS commands receipt printers print with, one row each: the bytes that start it, its
// parameter bytes by name, and the rule for the length of the data after them. The decoder
// reads a stream through this table; a renderer switches on a command's Op.
namespace EscPos {

// Which command an item is. The values are stable: new commands are added at the end, and a
// value is never reused.
enum class Op : std::uint16_t {
    None = 0,
    // print and feed
    HorizontalTab,
    LineFeed,
    FormFeed,
    CarriageReturn,
    CancelPage,
    PrintPage,
    FeedUnits,
    ReverseFeedUnits,
    FeedLines,
    ReverseFeedLines,
    DefaultLineSpacing,
    LineSpacing,
    // characters
    RightSpacing,
    PrintMode,
    UserCharacterSet,
    DefineUserCharacters,
    CancelUserCharacter,
    Underline,
    Emphasis,
    DoubleStrike,
    Font,
    InternationalSet,
    Rotate90,
    Colour,
    CodeTable,
    UpsideDown,
    CharacterSize,
    Reverse,
    Smoothing,
    DoubleByteOn,
    DoubleByteOff,
    DoubleByteSystem,
    DoubleByteSpacing,
    DoubleByteMode,
    DoubleByteUnderline,
    DoubleByteQuadruple,
    // position
    AbsolutePosition,
    RelativePosition,
    Justify,
    TabPositions,
    PageDirection,
    LeftMargin,
    AreaWidth,
    PageAbsoluteY,
    PageRelativeY,
    PageMode,
    StandardMode,
    PageArea,
    // images; the graphics functions are the same through GS ( L and GS 8 L
    BitImage,
    RasterImage,
    GraphicsCapacity,
    GraphicsDensity,
    GraphicsPrint,
    NvGraphicsLeft,
    DownloadGraphicsLeft,
    NvGraphicsKeys,
    NvGraphicsDeleteAll,
    NvGraphicsDelete,
    NvGraphicsDefineRaster,
    NvGraphicsDefineColumn,
    NvGraphicsPrint,
    DownloadGraphicsKeys,
    DownloadGraphicsDeleteAll,
    DownloadGraphicsDelete,
    DownloadGraphicsDefineRaster,
    DownloadGraphicsDefineColumn,
    DownloadGraphicsPrint,
    GraphicsStoreRaster,
    GraphicsStoreColumn,
    GraphicsOther,
    DefineDownloadedImage,
    PrintDownloadedImage,
    DefineNvImages,
    PrintNvImage,
    // codes
    Barcode,
    BarcodeHeight,
    BarcodeWidth,
    BarcodeTextPosition,
    BarcodeTextFont,
    QrModel,
    QrModuleSize,
    QrErrorCorrection,
    QrStore,
    QrPrint,
    QrSize,
    Pdf417Columns,
    Pdf417Rows,
    Pdf417ModuleWidth,
    Pdf417RowHeight,
    Pdf417ErrorCorrection,
    Pdf417Options,
    Pdf417Store,
    Pdf417Print,
    Pdf417Size,
    Code2DOther, // another symbol or function of GS ( k: its cn and fn tell which
    // control and status
    Initialize,
    PeripheralDevice,
    PaperEndSignal,
    PaperEndStop,
    PanelButtons,
    Pulse,
    RealTimeStatus,
    RealTimeRequest,
    RealTimePulse,
    RealTimePowerOff,
    RealTimeClearBuffers,
    TransmitStatus,
    TransmitId,
    AutomaticStatusBack,
    TestPrint,
    UserSetup,
    ResponseRequest,
    PrintControl,
    MotionUnits,
    Cut,
};

// A command's parameter bytes as it is read, after its length bytes where it has them (so that
// GS ( L and GS 8 L read alike), and the first bytes of its data.
struct Args {
    Args(const QList<int>& all, int before, QByteArrayView first = {}, qint64 length = -1)
        : params(all)
        , skip(before)
        , data(first)
        , dataLength(length)
    {}
    const QList<int>& params;
    int skip;            // the bytes before the first one counted here
    QByteArrayView data; // the data's first bytes
    qint64 dataLength;   // all of the data, where it is known
    int operator[](int i) const { return int(params.value(skip + i)); }
    int word(int i) const { return (*this)[i] | (*this)[i + 1] << 8; }
    int count() const { return int(params.size()) - skip; }
};

// How long the data after a command's parameters is.
struct Data {
    enum Kind : std::uint8_t {
        None,
        Rest,     // the rest of what its length bytes count
        Count,    // count(args) bytes
        UntilNul, // bytes up to a NUL (taken), one it does not take, or count(args) of them
        Blocks    // count(args) blocks, each with blockHead bytes that give its size
    } kind = None;
    qint64 (*count)(const Args&) = nullptr;
    bool (*takes)(const Args&, int byte, int previous) = nullptr; // UntilNul
    int blockHead = 0;                                            // Blocks
    qint64 (*blockSize)(const Args&, const std::uint8_t* head) = nullptr;
};

struct Row;

// What the table says about the bytes at the start of a command.
struct Match {
    enum Result {
        Found,    // row, and the command's header is all there
        NeedMore, // more bytes are needed to tell, or the header is not complete
        NoRow     // no row starts with these bytes
    } result = NoRow;
    const Row* row = nullptr;
    QString name;       // the command as far as it could be told, for one cut off
    int keySize = 0;    // the bytes of its name
    int header = 0;     // the name's and the parameters' bytes
    int skip = 0;       // the parameters up to and with the length bytes
    qint64 counted = 0; // what its length bytes count, where it has them
};

// "GS ( k", "ESC SP", "DLE EOT": bytes as the commands are written.
QString nameOf(const std::uint8_t* bytes, int size);
// Whether the byte starts a row (a one-byte command or an introducer).
bool starts(std::uint8_t byte);
// The row at bytes, and how much of it is there.
Match find(const std::uint8_t* bytes, qsizetype available);

Op op(const Row& row);
const char* token(const Row& row); // stable, in words: "qr-store"
Data data(const Row& row);
QString words(const Row& row, const Args& args);
// How many parameter bytes the row has; one whose length bytes count fewer has fewer.
int argCount(const Row& row);
// The name of the parameter at index i of the row's parameters ("n", "xL", "pL").
std::string_view argName(const Row& row, int i);
// The index of the named parameter, or -1.
int argIndex(const Row& row, std::string_view name);

// Bytes as text a terminal only shows: printable ASCII as it is, quotes and backslashes
// escaped, everything else as \xHH.
QString quotedBytes(QByteArrayView bytes, bool more);

} // namespace EscPos

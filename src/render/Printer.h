#pragma once

#include "Dots.h"
#include "core/Decoder.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>

// A receipt printer's model: fed the decoder's items (decoded with Decoding::Keep::Data), it
// keeps the state a printer keeps and draws, dot for dot, the paper it would print. A cut ends
// a receipt; so does the end of the capture.
namespace Render {

inline constexpr int kDotsPerInch = 203;
inline constexpr int kPaper80 = 576, kPaper58 = 384;
// Paper longer than this (about 4 m) goes on in the next image, so memory stays bounded.
inline constexpr int kLongestDots = 32000;

struct Options {
    int paperDots = kPaper80;
    // The code page text is read in until ESC t chooses a table; a double-byte one (932, 936,
    // 949, 950) starts the printer in its double-byte mode, as printers sold for it start.
    int codePage = 1252;
};

// What NV graphics, and apart from them download graphics, may take at most.
inline constexpr qint64 kGraphicsCapacity = 32 << 20;

// What a printer keeps in its non-volatile memory, from one connection to the next.
struct Memory {
    QList<Dots::Kept> nvImages;          // FS q, numbered from 1
    QMap<QByteArray, QImage> nvGraphics; // GS ( L / GS 8 L, by key code
};

class Printer {
public:
    explicit Printer(const Options& options, Memory* memory = nullptr);
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    void feed(const Decoding::Item& item);
    // The end of the capture: the receipt so far; or, where nothing was printed but images
    // were stored, those images, each under its number; then what was not drawn.
    void finish();

    // Each receipt, or each part of one longer than kLongestDots, as it ends.
    std::function<void(const QImage&)> onReceipt;
    // What was not drawn, and why; each bad input as it comes, the counts at the end.
    std::function<void(const QString&)> onNote;

private:
    struct Model;
    std::unique_ptr<Model> m;
};

} // namespace Render

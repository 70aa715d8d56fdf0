#pragma once

#include <QByteArrayView>
#include <QImage>

#include <memory>

// A printer's dots as a one-bit image: Format_Mono, index 1 black (a dot), 0 white (no dot).
// Every image the renderer handles is one of these, so ink is a bit and nothing is blurred.
namespace Dots {

QImage blank(int width, int height);

inline bool at(const QImage& image, int x, int y)
{
    return (image.constScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void set(QImage& image, int x, int y)
{
    image.scanLine(y)[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
}

// Rows of (width + 7) / 8 bytes, the leftmost dot in the top bit; no more rows than the data
// begins, and bytes that did not come are white.
QImage fromRows(QByteArrayView data, int width, int height);
// Columns of (height + 7) / 8 bytes, the top dot in the top bit; no more columns than the data
// begins.
QImage fromColumns(QByteArrayView data, int width, int height);

// An image kept as its define command brought it, in columns, and turned into dots when it is
// first drawn: a client may define its logos many times over before it prints one. Made from
// dots, it holds them as they are. Copies share one image, turned once.
class Kept {
public:
    Kept() = default;
    Kept(const QImage& dots); // not explicit: most images come as dots
    static Kept columns(QByteArray data, int width, int height);
    const QImage& dots() const;

private:
    struct State {
        QByteArray columns;
        int width = 0, height = 0;
        bool pending = false;
        QImage dots;
    };
    std::shared_ptr<State> m_state;
};

// Each dot sx dots wide and sy tall, as a printer enlarges.
QImage scaled(const QImage& image, int sx, int sy);
QImage turnedClockwise(const QImage& image);
QImage turnedHalf(const QImage& image);
QImage inverted(const QImage& image);
// Ink of source onto target at x, y; what falls outside is left out.
void ink(QImage& target, const QImage& source, int x, int y);
void fill(QImage& target, int x, int y, int width, int height);
// The smallest rectangle holding every dot; empty for a blank image.
QRect inked(const QImage& image);

} // namespace Dots

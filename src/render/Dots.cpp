#include "Dots.h"

#include <algorithm>
#include <utility>

namespace Dots {

QImage blank(int width, int height)
{
    QImage image(qMax(width, 1), qMax(height, 1), QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    return image;
}

QImage fromRows(QByteArrayView data, int width, int height)
{
    const qsizetype stride = (width + 7) / 8;
    // No taller than the data fills: a header may claim more than ever comes.
    height = int(qMin<qsizetype>(
        height, qMax<qsizetype>(1, (data.size() + stride - 1) / qMax<qsizetype>(stride, 1))));
    QImage image = blank(width, height);
    for (int y = 0; y < height; ++y) {
        const qsizetype from = y * stride;
        if (from >= data.size())
            break;
        const qsizetype take = qMin(stride, data.size() - from);
        std::copy_n(reinterpret_cast<const std::uint8_t*>(data.data()) + from, take,
                    image.scanLine(y));
        // Bits beyond the width are padding, never ink.
        if (take == stride && width % 8)
            image.scanLine(y)[stride - 1] &= std::uint8_t(0xFF << (8 - width % 8));
    }
    return image;
}

// Eight bytes of an 8 x 8 block, the first in the top byte, turned about the diagonal: eight
// columns (top dot in the top bit) become eight rows (leftmost dot in the top bit).
std::uint64_t transposed(std::uint64_t x)
{
    x = (x & 0xAA55AA55AA55AA55ULL) | ((x & 0x00AA00AA00AA00AAULL) << 7) |
        ((x >> 7) & 0x00AA00AA00AA00AAULL);
    x = (x & 0xCCCC3333CCCC3333ULL) | ((x & 0x0000CCCC0000CCCCULL) << 14) |
        ((x >> 14) & 0x0000CCCC0000CCCCULL);
    x = (x & 0xF0F0F0F00F0F0F0FULL) | ((x & 0x00000000F0F0F0F0ULL) << 28) |
        ((x >> 28) & 0x00000000F0F0F0F0ULL);
    return x;
}

QImage fromColumns(QByteArrayView data, int width, int height)
{
    const qsizetype stride = (height + 7) / 8;
    width = int(qMin<qsizetype>(
        width, qMax<qsizetype>(1, (data.size() + stride - 1) / qMax<qsizetype>(stride, 1))));
    QImage image = blank(width, height);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    std::uint8_t* bits = image.bits();
    const qsizetype line = image.bytesPerLine();
    // Eight columns by eight rows at a time: a download of megabytes is drawn about as fast as
    // it arrives.
    for (int x = 0; x < width; x += 8) {
        const int columns = qMin(8, width - x);
        for (qsizetype band = 0; band < stride; ++band) {
            std::uint64_t block = 0;
            for (int i = 0; i < columns; ++i) {
                const qsizetype at = (x + i) * stride + band;
                if (at < data.size())
                    block |= std::uint64_t(bytes[at]) << (56 - 8 * i);
            }
            if (block == 0)
                continue;
            block = transposed(block);
            const int rows = int(qMin<qsizetype>(8, height - band * 8));
            for (int r = 0; r < rows; ++r)
                bits[(band * 8 + r) * line + x / 8] = std::uint8_t(block >> (56 - 8 * r));
        }
    }
    return image;
}

Kept::Kept(const QImage& dots)
    : m_state(std::make_shared<State>(State{{}, 0, 0, false, dots}))
{}

Kept Kept::columns(QByteArray data, int width, int height)
{
    Kept kept;
    kept.m_state = std::make_shared<State>(State{std::move(data), width, height, true, {}});
    return kept;
}

const QImage& Kept::dots() const
{
    static const QImage none;
    if (!m_state)
        return none;
    State& s = *m_state;
    if (std::exchange(s.pending, false))
        s.dots = fromColumns(std::exchange(s.columns, QByteArray()), s.width, s.height);
    return s.dots;
}

QImage scaled(const QImage& image, int sx, int sy)
{
    if (sx == 1 && sy == 1)
        return image;
    QImage out = blank(image.width() * sx, image.height() * sy);
    const qsizetype line = out.bytesPerLine();
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* first = out.scanLine(y * sy);
        for (int x = 0; x < image.width(); ++x) {
            if (!at(image, x, y))
                continue;
            for (int i = 0; i < sx; ++i) {
                const int t = x * sx + i;
                first[t >> 3] |= std::uint8_t(0x80 >> (t & 7));
            }
        }
        // Each dot row is made once, then copied to the rows below it.
        for (int j = 1; j < sy; ++j)
            std::copy_n(first, line, out.scanLine(y * sy + j));
    }
    return out;
}

QImage turnedClockwise(const QImage& image)
{
    QImage out = blank(image.height(), image.width());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (at(image, x, y))
                set(out, image.height() - 1 - y, x);
        }
    }
    return out;
}

QImage turnedHalf(const QImage& image)
{
    QImage out = blank(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (at(image, x, y))
                set(out, image.width() - 1 - x, image.height() - 1 - y);
        }
    }
    return out;
}

QImage inverted(const QImage& image)
{
    QImage out = image.copy();
    out.invertPixels();
    return out;
}

void ink(QImage& target, const QImage& source, int x, int y)
{
    const int top = qMax(0, -y), bottom = qMin(source.height(), target.height() - y);
    const int left = qMax(0, -x), right = qMin(source.width(), target.width() - x);
    if (right <= left)
        return;
    const int bytes = (right + 7) / 8;
    const auto lastMask = std::uint8_t(0xFF << ((8 - right % 8) % 8));
    const int shift = x & 7;
    // Once for the whole image: scanLine() would check for sharing at every row.
    std::uint8_t* const targetBits = target.bits();
    const std::uint8_t* const sourceBits = source.constBits();
    const qsizetype targetLine = target.bytesPerLine(), sourceLine = source.bytesPerLine();
    for (int row = top; row < bottom; ++row) {
        const std::uint8_t* from = sourceBits + row * sourceLine;
        std::uint8_t* to = targetBits + (row + y) * targetLine;
        if (left > 0) {
            // Off the left edge: rare, a dot at a time.
            for (int i = left; i < right; ++i) {
                if ((from[i >> 3] >> (7 - (i & 7))) & 1) {
                    const int t = i + x;
                    to[t >> 3] |= std::uint8_t(0x80 >> (t & 7));
                }
            }
            continue;
        }
        // A byte of the source at a time, shifted onto the two bytes of the target it spans.
        std::uint8_t* dest = to + x / 8;
        for (int k = 0; k < bytes; ++k) {
            std::uint8_t b = from[k];
            if (k == bytes - 1)
                b &= lastMask;
            if (!b)
                continue;
            dest[k] |= std::uint8_t(b >> shift);
            if (shift)
                dest[k + 1] |= std::uint8_t(b << (8 - shift));
        }
    }
}

void fill(QImage& target, int x, int y, int width, int height)
{
    const int x0 = qMax(0, x), x1 = qMin(target.width(), x + width);
    const int y0 = qMax(0, y), y1 = qMin(target.height(), y + height);
    for (int row = y0; row < y1; ++row) {
        for (int i = x0; i < x1; ++i)
            set(target, i, row);
    }
}

QRect inked(const QImage& image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (!line[x >> 3]) {
                x |= 7;
                continue;
            }
            if ((line[x >> 3] >> (7 - (x & 7))) & 1) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace Dots

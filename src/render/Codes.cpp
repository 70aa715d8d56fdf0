#include "Codes.h"

#include "Dots.h"

#include <zint.h>

#include <functional>
#include <memory>
#include <optional>

namespace Codes {

namespace {

Symbol failed(const QString& why)
{
    Symbol symbol;
    symbol.error = why;
    return symbol;
}

Symbol encode(int symbology, QByteArrayView data, const std::function<void(zint_symbol&)>& setup)
{
    const std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> made(ZBarcode_Create(),
                                                                    ZBarcode_Delete);
    if (!made)
        return failed(QStringLiteral("libzint could not start"));
    zint_symbol& s = *made;
    s.symbology = symbology;
    s.scale = 0.5f; // a module a pixel
    s.show_hrt = 0;
    s.output_options |= BARCODE_NO_QUIET_ZONES;
    s.input_mode = DATA_MODE | HEIGHTPERROW_MODE;
    s.height = 1;
    setup(s);
    if (data.isEmpty())
        return failed(QStringLiteral("no data"));
    const int status = ZBarcode_Encode_and_Buffer(
        &s, reinterpret_cast<const unsigned char*>(data.data()), int(data.size()), 0);
    if (status >= ZINT_ERROR)
        return failed(QStringLiteral("libzint refused it: %1").arg(QString::fromUtf8(s.errtxt)));
    if (!s.bitmap || s.bitmap_width <= 0 || s.bitmap_height <= 0)
        return failed(QStringLiteral("libzint made no image"));
    Symbol symbol;
    symbol.text = QString::fromUtf8(reinterpret_cast<const char*>(s.text));
    const auto dark = [&s](int x, int y) {
        // Three bytes a pixel, red first; the foreground is black.
        return s.bitmap[(std::size_t(y) * std::size_t(s.bitmap_width) + std::size_t(x)) * 3] < 128;
    };
    if (symbology == BARCODE_MAXICODE) {
        symbol.dots = true;
        symbol.modules = Dots::blank(s.bitmap_width, s.bitmap_height);
        for (int y = 0; y < s.bitmap_height; ++y) {
            for (int x = 0; x < s.bitmap_width; ++x) {
                if (dark(x, y))
                    Dots::set(symbol.modules, x, y);
            }
        }
        return symbol;
    }
    const int rows = qMax(1, s.rows);
    const int width = s.bitmap_width;
    symbol.linear = rows == 1;
    symbol.modules = Dots::blank(width, rows);
    for (int r = 0; r < rows; ++r) {
        // A row's middle: guard bars that reach below the others are left out.
        const int y = symbol.linear
                          ? 0
                          : qMin(s.bitmap_height - 1, (2 * r + 1) * s.bitmap_height / (2 * rows));
        for (int x = 0; x < width; ++x) {
            if (dark(x, y))
                Dots::set(symbol.modules, x, r);
        }
    }
    return symbol;
}

bool digits(QByteArrayView data)
{
    for (char c : data) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The printer's CODE128 data: {A, {B or {C choose the code set, {S shifts, {1 to {4 are the
// function characters, {{ is "{"; in code set C each byte is two digits.
std::optional<QByteArray> code128(QByteArrayView data, QString* why)
{
    if (data.size() < 2 || data[0] != '{' || (data[1] != 'A' && data[1] != 'B' && data[1] != 'C')) {
        *why = QStringLiteral("CODE128 data must start with {A, {B or {C");
        return std::nullopt;
    }
    QByteArray out;
    char set = 'B';
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '{' && i + 1 < data.size()) {
            const char next = data[++i];
            if (next == 'A' || next == 'B' || next == 'C')
                set = next;
            else if (next == '{')
                out += '{';
            // {S and the function characters carry no data of their own.
            continue;
        }
        if (set == 'C') {
            const int value = std::uint8_t(c);
            if (value > 99) {
                *why = QStringLiteral("CODE128 code set C takes values 0 to 99, not %1").arg(value);
                return std::nullopt;
            }
            out += char('0' + value / 10);
            out += char('0' + value % 10);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

Symbol barcode(int m, QByteArrayView data)
{
    const int type = m >= 65 ? m - 65 : m;
    auto plain = [&](int symbology) { return encode(symbology, data, [](zint_symbol&) {}); };
    auto gs1 = [&](int symbology) {
        QByteArray text = data.toByteArray();
        text.replace("{1", "");
        return encode(symbology, text, [&text](zint_symbol& s) {
            s.input_mode = GS1_MODE | HEIGHTPERROW_MODE | (text.contains('(') ? GS1PARENS_MODE : 0);
        });
    };
    switch (type) {
    case 0:
        return plain(BARCODE_UPCA);
    case 1:
        return plain(BARCODE_UPCE);
    case 2:
        return plain(data.size() == 13 && digits(data) ? BARCODE_EANX_CHK : BARCODE_EANX);
    case 3:
        return plain(data.size() == 8 && digits(data) ? BARCODE_EANX_CHK : BARCODE_EANX);
    case 4: {
        // The printer adds the start and stop characters; data that brings them loses them.
        QByteArrayView inner = data;
        if (inner.size() >= 2 && inner.front() == '*' && inner.back() == '*')
            inner = inner.sliced(1, inner.size() - 2);
        return encode(BARCODE_CODE39, inner, [](zint_symbol&) {});
    }
    case 5:
        return plain(BARCODE_C25INTER);
    case 6:
        return plain(BARCODE_CODABAR);
    case 7:
        return plain(BARCODE_CODE93);
    case 8: {
        QString why;
        const std::optional<QByteArray> text = code128(data, &why);
        return text ? encode(BARCODE_CODE128, *text, [](zint_symbol&) {}) : failed(why);
    }
    case 9:
        return gs1(BARCODE_GS1_128);
    case 10:
    case 11:
        return plain(BARCODE_DBAR_OMN);
    case 12:
        return plain(BARCODE_DBAR_LTD);
    case 13:
        return gs1(BARCODE_DBAR_EXP);
    }
    return failed(QStringLiteral("barcode type %1 is none a printer knows").arg(m));
}

Symbol qr(QByteArrayView data, int model, int level)
{
    const int ecc = qBound(1, level - 47, 4);
    if (model == 51)
        return encode(BARCODE_MICROQR, data, [ecc](zint_symbol& s) { s.option_1 = qMin(ecc, 3); });
    return encode(BARCODE_QRCODE, data, [ecc](zint_symbol& s) { s.option_1 = ecc; });
}

Symbol pdf417(QByteArrayView data, int columns, int rows, int level, int ratio, bool truncated)
{
    if (level < 0) {
        // Error correction codewords come in powers of two: the level whose count comes
        // nearest the share asked of the data's codewords (about one for every byte and a half).
        const double wanted = double(data.size()) / 1.5 * ratio / 10.0;
        level = 0;
        while (level < 8 && double(2 << level) < wanted)
            ++level;
    }
    return encode(truncated ? BARCODE_PDF417COMP : BARCODE_PDF417, data, [=](zint_symbol& s) {
        s.option_1 = qBound(0, level, 8);
        s.option_2 = qBound(0, columns, 30);
        s.option_3 = rows == 0 ? 0 : qBound(3, rows, 90);
    });
}

Symbol other(int cn, QByteArrayView data, int mode)
{
    switch (cn) {
    case 50:
        return encode(BARCODE_MAXICODE, data, [mode](zint_symbol& s) {
            s.option_1 = mode >= 2 && mode <= 6 ? mode : 4;
            s.scale = 0.7f; // about an inch across, as printers draw it
        });
    case 53:
        return encode(BARCODE_AZTEC, data, [](zint_symbol&) {});
    case 54:
        return encode(BARCODE_DATAMATRIX, data, [](zint_symbol&) {});
    }
    return failed(QStringLiteral("this symbol is not drawn"));
}

} // namespace Codes

#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

// Barcodes and two-dimensional codes, encoded by libzint. A symbol comes back as its modules,
// one dot each, for the printer model to enlarge by the module size the commands set.
namespace Codes {

struct Symbol {
    QImage modules; // one-bit, a module a dot; a row of a linear code is one dot tall
    bool linear = false;
    bool dots = false; // already at the printer's size (MaxiCode's hexagons)
    QString text;      // the human-readable text libzint gives, for HRI
    QString error;     // why nothing could be made; empty when modules hold the symbol
};

// GS k: the printer's type m (0..6, 65..78) and its data as the printer takes it.
Symbol barcode(int m, QByteArrayView data);
// model 49 (1), 50 (2), 51 (micro); level 48..51 for L, M, Q, H.
Symbol qr(QByteArrayView data, int model, int level);
// level 0..8, or -1 with ratio the error correction as a share of the data, in tens of %.
Symbol pdf417(QByteArrayView data, int columns, int rows, int level, int ratio, bool truncated);
// GS ( k's other symbols by cn: 50 MaxiCode (mode 2..6), 53 Aztec, 54 DataMatrix.
Symbol other(int cn, QByteArrayView data, int mode);

} // namespace Codes

#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QString>

// Characters as a printer's font ROM holds them: each glyph drawn once, with a monospaced font
// fitted to its dot cell, into a one-bit image of exactly the cell's size.
class Glyphs {
public:
    enum Face : std::uint8_t {
        A,   // 12 x 24
        B,   // 9 x 17
        Wide // double-byte characters, 24 x 24
    };
    static QSize cell(Face face);

    // One for the process: every printer model draws from the same fonts.
    static Glyphs& shared();
    QImage glyph(char32_t c, Face face, bool bold);
    // The families drawn with, and what is missing from this machine, for the notes.
    QString missingFonts() const;

private:
    Glyphs() = default;
    struct Font {
        QFont font;
        qreal baseline = 0; // from the cell's top
        qreal left = 0;
    };
    Font& font(Face face, bool bold);

    Font m_fonts[3][2];
    bool m_fitted[3][2] = {};
    QHash<quint64, QImage> m_cache;
};

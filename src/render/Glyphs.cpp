#include "Glyphs.h"

#include "Dots.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>

namespace {

// Debian's fonts, installed by the project's scripts: DejaVu Sans Mono for the single-byte
// characters, WenQuanYi Micro Hei's mono face (or Noto's) for Chinese, Japanese and Korean.
const char* const kLatin = "DejaVu Sans Mono";
const char* const kWide[] = {"WenQuanYi Micro Hei Mono", "Noto Sans Mono CJK SC"};

QString wideFamily()
{
    const QStringList families = QFontDatabase::families();
    for (const char* family : kWide) {
        if (families.contains(QLatin1String(family)))
            return QLatin1String(family);
    }
    return QLatin1String(kWide[0]);
}

} // namespace

QSize Glyphs::cell(Face face)
{
    switch (face) {
    case A:
        return {12, 24};
    case B:
        return {9, 17};
    case Wide:
        return {24, 24};
    }
    return {12, 24};
}

Glyphs& Glyphs::shared()
{
    static Glyphs glyphs;
    return glyphs;
}

Glyphs::Font& Glyphs::font(Face face, bool bold)
{
    Font& fitted = m_fonts[face][bold];
    if (m_fitted[face][bold])
        return fitted;
    m_fitted[face][bold] = true;
    QFont font(face == Wide ? wideFamily() : QString::fromLatin1(kLatin));
    font.setStyleHint(QFont::Monospace);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
    font.setBold(bold);
    font.setPixelSize(100);
    const QFontMetricsF metrics(font);
    const QSizeF size = cell(face);
    const qreal advance = metrics.horizontalAdvance(face == Wide ? QChar(0x4E2D) : QChar(u'M'));
    const qreal scale = qMin(size.height() / (metrics.ascent() + metrics.descent()),
                             size.width() / qMax<qreal>(advance, 1));
    font.setPixelSize(qMax(1, int(100 * scale)));
    const QFontMetricsF fittedMetrics(font);
    fitted.font = font;
    fitted.baseline = (size.height() - fittedMetrics.ascent() - fittedMetrics.descent()) / 2 +
                      fittedMetrics.ascent();
    fitted.left = (size.width() -
                   fittedMetrics.horizontalAdvance(face == Wide ? QChar(0x4E2D) : QChar(u'M'))) /
                  2;
    return fitted;
}

QImage Glyphs::glyph(char32_t c, Face face, bool bold)
{
    const quint64 key = quint64(c) << 8 | quint64(face) << 1 | quint64(bold);
    const auto found = m_cache.constFind(key);
    if (found != m_cache.constEnd())
        return *found;
    const QSize size = cell(face);
    QImage grey(size, QImage::Format_Grayscale8);
    grey.fill(255);
    if (c > U' ') {
        const Font& f = font(face, bold);
        QPainter painter(&grey);
        painter.setFont(f.font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(f.left, f.baseline), QString::fromUcs4(&c, 1));
    }
    QImage dots = Dots::blank(size.width(), size.height());
    for (int y = 0; y < size.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            if (line[x] < 128)
                Dots::set(dots, x, y);
        }
    }
    m_cache.insert(key, dots);
    return dots;
}

QString Glyphs::missingFonts() const
{
    const QStringList families = QFontDatabase::families();
    QStringList missing;
    if (!families.contains(QLatin1String(kLatin)))
        missing << QLatin1String(kLatin) + QStringLiteral(" (fonts-dejavu-core)");
    if (!families.contains(QLatin1String(kWide[0])) && !families.contains(QLatin1String(kWide[1])))
        missing << QLatin1String(kWide[0]) + QStringLiteral(" (fonts-wqy-microhei)");
    return missing.join(QStringLiteral(", "));
}

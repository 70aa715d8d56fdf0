#include "ReceiptFiles.h"

#include "Printer.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>

#include <utility>

std::optional<ReceiptFiles::Format> ReceiptFiles::formatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return Format::Png;
    if (suffix == u"pdf")
        return Format::Pdf;
    return std::nullopt;
}

ReceiptFiles::ReceiptFiles(const QString& path, int paperMm, Replace replace)
    : m_path(path)
    , m_format(formatOf(path).value_or(Format::Png))
    , m_paperMm(paperMm)
    , m_replace(replace)
{}

ReceiptFiles::~ReceiptFiles()
{
    QString ignored;
    finish(&ignored);
}

QString ReceiptFiles::numbered(const QString& path, int n)
{
    const QFileInfo info(path);
    const QString base = path.left(path.size() - info.suffix().size() - 1);
    return QStringLiteral("%1-%2.%3").arg(base).arg(n).arg(info.suffix());
}

namespace {

// Replace::Never: a new file or none; O_EXCL fails on any name that is there, a dangling link
// too. A file left half written is removed.
bool writePng(const QImage& image, const QString& path, ReceiptFiles::Replace replace, QString* why)
{
    QFile file(path);
    const bool never = replace == ReceiptFiles::Replace::Never;
    if (!file.open(QIODevice::WriteOnly | (never ? QIODevice::NewOnly : QIODevice::Truncate))) {
        *why = never && (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
                   ? QStringLiteral("cannot write \"%1\": a file or link of that name is there, "
                                    "and it is left as it is")
                         .arg(path)
                   : QStringLiteral("cannot write \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    QImageWriter writer(&file, "png");
    if (writer.write(image) && file.flush())
        return true;
    *why = QStringLiteral("cannot write \"%1\": %2")
               .arg(path, file.error() != QFileDevice::NoError ? file.errorString()
                                                               : writer.errorString());
    file.remove();
    return false;
}

} // namespace

bool ReceiptFiles::add(const QImage& receipt, QString* why)
{
    ++m_count;
    if (m_format == Format::Png) {
        // The first receipt is held until the next tells whether it takes a number.
        if (m_count == 1) {
            m_held = receipt;
            return true;
        }
        if (m_count == 2 && !writeHeld(numbered(m_path, 1), why))
            return false;
        const QString path = numbered(m_path, m_count);
        if (!writePng(receipt, path, m_replace, why))
            return false;
        m_written << path;
        return true;
    }
    const double mmPerDot = 25.4 / Render::kDotsPerInch;
    const QPageSize size(QSizeF(m_paperMm, receipt.height() * mmPerDot), QPageSize::Millimeter,
                         QString(), QPageSize::ExactMatch);
    if (!m_pdf) {
        m_pdf = std::make_unique<QPdfWriter>(m_path);
        m_pdf->setResolution(Render::kDotsPerInch);
        m_pdf->setPageMargins(QMarginsF(0, 0, 0, 0));
        m_pdf->setPageSize(size);
        m_pdf->setCreator(QStringLiteral("Corvane"));
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_pdf.get())) {
            *why = QStringLiteral("cannot write \"%1\"").arg(m_path);
            m_painter.reset();
            m_pdf.reset();
            return false;
        }
        m_written << m_path;
    } else {
        m_pdf->setPageSize(size);
        m_pdf->newPage();
    }
    // The printed dots sit in the middle of the paper, at the printer's own density.
    const double paperDots = m_paperMm / mmPerDot;
    m_painter->drawImage(
        QRectF((paperDots - receipt.width()) / 2, 0, receipt.width(), receipt.height()), receipt);
    return true;
}

bool ReceiptFiles::writeHeld(const QString& path, QString* why)
{
    if (!writePng(std::exchange(m_held, QImage()), path, m_replace, why))
        return false;
    m_written << path;
    return true;
}

bool ReceiptFiles::finish(QString* why)
{
    if (!m_held.isNull() && !writeHeld(m_path, why))
        return false;
    if (m_painter && !m_painter->end()) {
        *why = QStringLiteral("cannot write \"%1\"").arg(m_path);
        m_painter.reset();
        m_pdf.reset();
        return false;
    }
    m_painter.reset();
    m_pdf.reset();
    return true;
}

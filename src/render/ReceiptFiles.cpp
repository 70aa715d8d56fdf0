#include "ReceiptFiles.h"

#include "Printer.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>

std::optional<ReceiptFiles::Format> ReceiptFiles::formatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return Format::Png;
    if (suffix == u"pdf")
        return Format::Pdf;
    return std::nullopt;
}

ReceiptFiles::ReceiptFiles(const QString& path, int paperMm)
    : m_path(path)
    , m_format(formatOf(path).value_or(Format::Png))
    , m_paperMm(paperMm)
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

bool writePng(const QImage& image, const QString& path, QString* why)
{
    QImageWriter writer(path, "png");
    if (writer.write(image))
        return true;
    *why = QStringLiteral("cannot write \"%1\": %2").arg(path, writer.errorString());
    return false;
}

} // namespace

bool ReceiptFiles::add(const QImage& receipt, QString* why)
{
    ++m_count;
    if (m_format == Format::Png) {
        if (m_count == 2) {
            // A second receipt: the first takes its number too.
            const QString first = numbered(m_path, 1);
            QFile::remove(first);
            if (!QFile::rename(m_path, first)) {
                *why = QStringLiteral("cannot rename \"%1\" to \"%2\"").arg(m_path, first);
                return false;
            }
            m_written[0] = first;
        }
        const QString path = m_count == 1 ? m_path : numbered(m_path, m_count);
        if (!writePng(receipt, path, why))
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

bool ReceiptFiles::finish(QString* why)
{
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

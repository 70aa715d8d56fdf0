#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QPdfWriter;
class QPainter;

// Receipts into files as they come: OUT.png for one; OUT-1.png, OUT-2.png, ... once a second
// comes; or OUT.pdf with a page per receipt at the paper's real width.
class ReceiptFiles {
public:
    enum class Format { Png, Pdf };
    // The format the path's suffix asks for; nothing for another suffix.
    static std::optional<Format> formatOf(const QString& path);

    // Replace::Never, for names this program chose: a PNG is never written over a file or
    // through a link.
    enum class Replace { Yes, Never };
    // paperMm: 80 or 58, the width of a PDF's pages.
    ReceiptFiles(const QString& path, int paperMm, Replace replace = Replace::Yes);
    ~ReceiptFiles();

    // False with the reason when the file cannot be written.
    bool add(const QImage& receipt, QString* why);
    bool finish(QString* why);
    // The files written, in order, under their final names.
    QStringList written() const { return m_written; }
    int count() const { return m_count; }

    // PNG name of receipt n (1-based) of a run that writes several.
    static QString numbered(const QString& path, int n);

private:
    bool writeHeld(const QString& path, QString* why);

    QString m_path;
    Format m_format;
    int m_paperMm;
    Replace m_replace;
    QImage m_held;
    int m_count = 0;
    QStringList m_written;
    std::unique_ptr<QPdfWriter> m_pdf;
    std::unique_ptr<QPainter> m_painter;
};

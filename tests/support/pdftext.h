#pragma once

#include <QList>
#include <QRectF>
#include <QString>

namespace orvane::test {

// The words of a PDF as poppler's pdftotext -bbox reads them, with their boxes in points.
struct PdfWord
{
    int page = 0; // 1-based
    QString text;
    QRectF box;
    QSizeF pageSize;
};

QList<PdfWord> readPdfWords(const QString& pdfPath);
// The first word equal to text (on page, when page > 0), or nullptr.
const PdfWord* findWord(const QList<PdfWord>& words, const QString& text, int page = 0);
// The text zbarimg reads from the PDF's page rendered at 300 dpi ("CODABAR:..." lines), empty when none.
QStringList readBarcodes(const QString& pdfPath, int page);

} // namespace orvane::test

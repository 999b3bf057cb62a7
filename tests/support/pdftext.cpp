#include "support/pdftext.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace orvane::test {

QList<PdfWord> readPdfWords(const QString& pdfPath)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdfPath, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000))
        return {};
    const QString html = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QList<PdfWord> words;
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page width="([\d.]+)" height="([\d.]+)">|<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>)re"));
    int page = 0;
    QSizeF pageSize;
    for (auto match = tag.globalMatch(html); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        if (!m.captured(1).isEmpty()) {
            ++page;
            pageSize = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
            continue;
        }
        QString text = m.captured(7);
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
        text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        // The typeface draws the full-width yen sign with the yen sign's glyph, which poppler reads back
        // as U+00A5; what was printed is U+FFE5.
        text.replace(QChar(0x00A5), QChar(0xFFE5));
        const QPointF topLeft(m.captured(3).toDouble(), m.captured(4).toDouble());
        const QPointF bottomRight(m.captured(5).toDouble(), m.captured(6).toDouble());
        words.append({page, text, QRectF(topLeft, bottomRight), pageSize});
    }
    return words;
}

const PdfWord* findWord(const QList<PdfWord>& words, const QString& text, int page)
{
    for (const PdfWord& word : words)
        if (word.text == text && (page == 0 || word.page == page))
            return &word;
    return nullptr;
}

QStringList readBarcodes(const QString& pdfPath, int page)
{
    QTemporaryDir dir;
    const QString stem = QDir(dir.path()).filePath(QStringLiteral("page"));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-f"), QString::number(page),
                  QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"),
                  QStringLiteral("-png"), pdfPath, stem});
    if (!render.waitForFinished(60000))
        return {};
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), stem + QStringLiteral(".png")});
    if (!zbar.waitForFinished(60000))
        return {};
    return QString::fromUtf8(zbar.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace orvane::test

#pragma once

#include "platform/printqueues.h"
#include "print/printfollowup.h"
#include "print/surfacebase.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <map>
#include <memory>

class QFile;
class QPagedPaintDevice;

namespace orvane {

// PrintSurface on Qt's PDF writer. Each job is one PDF in the output folder, named
// yyyyMMdd-HHmmss-zzz-<document>.pdf. For the default printer (looked up for each job) the page's
// origin is the top-left corner of the queue's printable area in the job's orientation, and the PDF is
// handed to the queue and removed; where the queue refuses it or has gone, the PDF stays with a
// warning. Without a printer (or when the surface is made for PDF) the page has zero margins, so a
// position (x, y) lands at (x/20, y/20) points from the page's top-left corner. One logical unit is one
// twip; line widths are device pixels of 1/600 inch.
class QtPrintSurface final : public SurfaceBase
{
public:
    enum class Target { DefaultPrinter, Pdf };

    static constexpr double kPdfDevicePixelsPerInch = 600;

    // With a follow-up, a job the queue took is followed to the paper (its page kept aside until then),
    // and a page no queue took is said to it.
    QtPrintSurface(Target target, QString pdfFolder, PrintQueues* queues = nullptr,
                   PrintFollowUp* followUp = nullptr);
    ~QtPrintSurface() override;
    QtPrintSurface(const QtPrintSurface&) = delete;
    QtPrintSurface& operator=(const QtPrintSurface&) = delete;

    // The PDF file of the last job kept as a file, empty when the job went to a printer.
    QString lastPdf() const { return m_lastPdf; }
    // Why the last job could not be started, empty when it could.
    QString jobError() const { return m_jobError; }

    void setDocumentName(const QString& name) override { m_documentName = name; }
    void setJobTitle(const QString& title) override { m_jobTitle = title; }
    bool setScaleMode(int mode) override;
    bool print(const QString& text) override;
    bool line(float x1, float y1, float x2, float y2) override;
    bool box(float x1, float y1, float x2, float y2) override;
    std::optional<double> textWidth(const QString& text) override;
    bool newPage() override;
    bool endDoc() override;

protected:
    bool supportsPaperSize(int paperSize) const override;
    void pageLayoutChanged() override;

private:
    bool ensureJob();
    void chooseQueue();
    bool submit();
    QString jobTitle() const;
    QPageLayout pageLayout() const;
    struct Font
    {
        QFont font;
        QFontMetricsF metrics;
        QHash<QString, qreal> widths; // texts measured in it: the same amounts recur on every row
    };
    // The current font and its metrics on the job's device; each name and size is looked up once a
    // job (a font lookup and its metrics cost more than drawing a line of text).
    Font& currentFont();
    QPen currentPen() const;
    bool drawBarcode(const QString& text);
    QString nextPdfPath() const;
    // Where a PDF is written until it is whole: a hidden name beside it.
    static QString unfinishedPath(const QString& pdfPath);
    static void removeUnfinishedPdfs(const QString& pdfFolder);

    Target m_target;
    QString m_pdfFolder;
    QString m_documentName = QStringLiteral("print");
    QString m_jobTitle;
    PrintQueues* m_queues = nullptr;
    PrintFollowUp* m_followUp = nullptr;
    std::optional<QString> m_queue;     // where the job under way goes
    std::optional<QString> m_lastQueue; // the default queue of an earlier job
    QMarginsF m_printableMargins;       // points, portrait
    std::unique_ptr<QPagedPaintDevice> m_device;
    std::map<std::pair<QString, int>, Font> m_fonts; // of the job under way
    const Font* m_painterFont = nullptr;             // the one the painter has (setting it again costs)
    std::unique_ptr<QFile> m_pdfFile;                // the PDF being written, while a job goes to a file
    QPainter m_painter;
    double m_twipsPerDevicePixel = 1440.0 / kPdfDevicePixelsPerInch;
    QString m_lastPdf;
    QString m_jobError;
};

} // namespace orvane

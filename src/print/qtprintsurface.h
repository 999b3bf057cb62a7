#pragma once

#include "print/surfacebase.h"

#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <memory>

class QFile;
class QPagedPaintDevice;

namespace orvane {

// PrintSurface on Qt's printing: the system's default printer, looked up for each job, or, where the
// system has none (or the surface is made for PDF), a PDF file per job in the output folder named
// yyyyMMdd-HHmmss-zzz-<document>.pdf. One logical unit is one twip; the PDF has zero margins, so a
// position (x, y) lands at (x/20, y/20) points from the page's top-left corner. Line widths are device
// pixels: the printer's own, or 1/600 inch in a PDF.
class QtPrintSurface final : public SurfaceBase
{
public:
    enum class Target { DefaultPrinter, Pdf };

    static constexpr double kPdfDevicePixelsPerInch = 600;

    QtPrintSurface(Target target, QString pdfFolder);
    ~QtPrintSurface() override;
    QtPrintSurface(const QtPrintSurface&) = delete;
    QtPrintSurface& operator=(const QtPrintSurface&) = delete;

    // The PDF file of the last job that went to a file, empty when none did.
    QString lastPdf() const { return m_lastPdf; }
    // Why the last job could not be started, empty when it could.
    QString jobError() const { return m_jobError; }

    void setDocumentName(const QString& name) override { m_documentName = name; }
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
    QPageLayout pageLayout() const;
    QFont currentFont() const;
    QPen currentPen() const;
    bool drawBarcode(const QString& text);
    QString nextPdfPath() const;

    Target m_target;
    QString m_pdfFolder;
    QString m_documentName = QStringLiteral("print");
    std::unique_ptr<QPagedPaintDevice> m_device;
    std::unique_ptr<QFile> m_pdfFile; // the PDF being written, while a job goes to a file
    QPainter m_painter;
    double m_twipsPerDevicePixel = 1440.0 / kPdfDevicePixelsPerInch;
    QString m_lastPdf;
    QString m_jobError;
};

} // namespace orvane

#include "print/qtprintsurface.h"

#include "base/logging.h"
#include "print/codabar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPdfWriter>

#include <unistd.h>

namespace orvane {
namespace {

constexpr double kTwipsPerInch = 1440;
const QString kBarcodeFont = QStringLiteral("NW-7");

std::optional<QPageSize::PageSizeId> pageSizeOf(int paperSize)
{
    switch (paperSize) {
    case 1:
        return QPageSize::Letter;
    case 5:
        return QPageSize::Legal;
    case 8:
        return QPageSize::A3;
    case 9:
        return QPageSize::A4;
    case 11:
        return QPageSize::A5;
    case 13:
        return QPageSize::B5;
    default:
        return std::nullopt;
    }
}

} // namespace

QtPrintSurface::QtPrintSurface(Target target, QString pdfFolder, PrintQueues* queues, PrintFollowUp* followUp)
    : m_target(target), m_pdfFolder(std::move(pdfFolder)), m_queues(queues), m_followUp(followUp)
{
    removeUnfinishedPdfs(m_pdfFolder);
}

QString QtPrintSurface::unfinishedPath(const QString& pdfPath)
{
    const QFileInfo pdf(pdfPath);
    return pdf.dir().filePath(u'.' + pdf.fileName() + u".part");
}

void QtPrintSurface::removeUnfinishedPdfs(const QString& pdfFolder)
{
    // A page under a temporary name was never issued (a killed run): the receipt counter is written
    // after the page, so the next job prints it again under the same number.
    const QDir folder(pdfFolder);
    const QStringList unfinished =
        folder.entryList({QStringLiteral(".*.pdf.part")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : unfinished)
        if (QFile::remove(folder.filePath(name)))
            qCWarning(lcPrint) << "removed" << folder.filePath(name)
                               << ", a page a killed run did not finish";
}

QtPrintSurface::~QtPrintSurface()
{
    if (m_device || m_pdfFile)
        endDoc();
}

QPageLayout QtPrintSurface::pageLayout() const
{
    const bool landscape = m_orientation == kLandscape;
    // The printable area of a turned sheet: its content is turned a quarter counter-clockwise, so the
    // sheet's left edge is the page's top, its bottom edge the page's left.
    const QMarginsF& p = m_printableMargins;
    const QMarginsF margins = landscape ? QMarginsF(p.bottom(), p.left(), p.top(), p.right()) : p;
    return QPageLayout(QPageSize(pageSizeOf(m_paperSize).value_or(QPageSize::A5)),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, margins,
                       QPageLayout::Point);
}

QString QtPrintSurface::nextPdfPath() const
{
    const QString stem =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz-")) + m_documentName;
    QString path = QDir(m_pdfFolder).filePath(stem + u".pdf");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(m_pdfFolder).filePath(stem + u'-' + QString::number(n) + u".pdf");
    return path;
}

void QtPrintSurface::chooseQueue()
{
    m_queue.reset();
    m_printableMargins = {};
    if (m_target != Target::DefaultPrinter || !m_queues)
        return;
    const DefaultQueue queue = m_queues->defaultQueue();
    if (queue.available) {
        m_queue = queue.name;
        m_lastQueue = queue.name;
        m_printableMargins = m_queues->a5PrintableMargins(*queue.name).value_or(QMarginsF());
        return;
    }
    // A printer the desk had (set up in lpoptions, or seen at an earlier job) that is gone now: the
    // page is kept, and said so. A desk that never had one prints to files without a word.
    if (const std::optional<QString> missing = queue.name ? queue.name : m_lastQueue)
        qCWarning(lcPrint) << "print queue" << *missing << "is not available:" << queue.reason
                           << "; the job is kept as a PDF in" << m_pdfFolder;
}

bool QtPrintSurface::ensureJob()
{
    if (m_device || m_pdfFile)
        return m_painter.isActive(); // a job under way, or one whose file could not be opened
    m_jobError.clear();
    m_painterFont = nullptr;
    m_fonts.clear();
    chooseQueue();
    QDir().mkpath(m_pdfFolder);
    m_lastPdf = nextPdfPath();
    // Written through a file of our own, so that a write that fails (a full disk) is seen, under a
    // temporary name until it is whole: prints/ never holds a cut page that looks like a job.
    m_pdfFile = std::make_unique<QFile>(unfinishedPath(m_lastPdf));
    if (!m_pdfFile->open(QIODevice::WriteOnly)) {
        m_jobError = QStringLiteral("%1 を作成できません").arg(m_lastPdf);
        qCWarning(lcPrint) << "cannot start the print job:" << m_jobError << m_pdfFile->errorString();
        return false;
    }
    auto device = std::make_unique<QPdfWriter>(m_pdfFile.get());
    device->setResolution(int(kTwipsPerInch));
    device->setPageLayout(pageLayout());
    device->setTitle(jobTitle());
    device->setCreator(QStringLiteral("Orvane"));
    m_device = std::move(device);
    if (!m_painter.begin(m_device.get())) {
        m_jobError = QStringLiteral("%1 を作成できません").arg(m_lastPdf);
        qCWarning(lcPrint) << "cannot start the print job:" << m_jobError;
        return false;
    }
    return true;
}

void QtPrintSurface::pageLayoutChanged()
{
    // Takes effect on the next page; only real changes go.
    if (!m_device)
        return;
    const QPageLayout wanted = pageLayout();
    if (!m_device->pageLayout().isEquivalentTo(wanted))
        m_device->setPageLayout(wanted);
}

bool QtPrintSurface::setScaleMode(int mode)
{
    return mode == 1; // twips are the only scale this surface draws in
}

bool QtPrintSurface::supportsPaperSize(int paperSize) const
{
    return pageSizeOf(paperSize).has_value();
}

QtPrintSurface::Font& QtPrintSurface::currentFont()
{
    // Sizes in twips, the logical unit: a point is 20 twips.
    const int pixels = qMax(1, qRound(m_fontSize * 20));
    const auto key = std::make_pair(m_fontName, pixels);
    auto known = m_fonts.find(key);
    if (known == m_fonts.end()) {
        QFont font(m_fontName);
        font.setPixelSize(pixels);
        font.setHintingPreference(QFont::PreferNoHinting);
        known = m_fonts.emplace(key, Font{font, QFontMetricsF(font, m_device.get()), {}}).first;
    }
    return known->second;
}

QPen QtPrintSurface::currentPen() const
{
    QPen pen(Qt::black);
    pen.setWidthF(m_drawWidth * m_twipsPerDevicePixel);
    // Wider lines are solid whatever the style.
    if (m_drawWidth <= 1) {
        static const Qt::PenStyle styles[] = {Qt::SolidLine,      Qt::DashLine, Qt::DotLine,  Qt::DashDotLine,
                                              Qt::DashDotDotLine, Qt::NoPen,    Qt::SolidLine};
        pen.setStyle(styles[m_drawStyle]);
    }
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

bool QtPrintSurface::drawBarcode(const QString& text)
{
    const QList<double> elements = codabarElements(text);
    if (elements.isEmpty())
        return false;
    // The symbol stands in the line the text would take: bars as high as the font is tall, with a
    // narrow element of a twelfth of an em.
    const double height = m_fontSize * 20;
    const double narrow = height / 12;
    double x = m_x;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        const double width = elements[i] * narrow;
        if (i % 2 == 0)
            m_painter.fillRect(QRectF(x, m_y, width, height), Qt::black);
        x += width;
    }
    advanceLine(height);
    return true;
}

bool QtPrintSurface::print(const QString& text)
{
    if (!ensureJob())
        return false;
    if (m_fontName == kBarcodeFont && !QFontDatabase::families().contains(kBarcodeFont))
        return drawBarcode(text);
    const Font& font = currentFont();
    if (m_painterFont != &font) {
        m_painter.setFont(font.font);
        m_painterFont = &font;
    }
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPointF(m_x, m_y + font.metrics.ascent()), text);
    advanceLine(font.metrics.lineSpacing());
    return true;
}

bool QtPrintSurface::line(float x1, float y1, float x2, float y2)
{
    if (!ensureJob())
        return false;
    m_painter.setPen(currentPen());
    m_painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    moveTo(x2, y2);
    return true;
}

bool QtPrintSurface::box(float x1, float y1, float x2, float y2)
{
    if (!ensureJob())
        return false;
    m_painter.setPen(currentPen());
    m_painter.setBrush(m_fillStyle == 0 ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
    m_painter.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
    m_painter.setBrush(Qt::NoBrush);
    moveTo(x2, y2);
    return true;
}

std::optional<double> QtPrintSurface::textWidth(const QString& text)
{
    if (!ensureJob())
        return std::nullopt;
    Font& font = currentFont();
    const auto known = font.widths.constFind(text);
    if (known != font.widths.cend())
        return *known;
    return *font.widths.insert(text, font.metrics.horizontalAdvance(text));
}

bool QtPrintSurface::newPage()
{
    if (!ensureJob())
        return false;
    if (!m_device->newPage())
        return false;
    moveTo(0, 0);
    return true;
}

bool QtPrintSurface::endDoc()
{
    if (!m_device && !m_pdfFile)
        return false;
    bool ok = !m_painter.isActive() || m_painter.end();
    m_device.reset();
    moveTo(0, 0);
    if (!m_pdfFile->isOpen()) {
        m_pdfFile.reset();
        return false;
    }
    bool written = m_pdfFile->flush() && m_pdfFile->error() == QFileDevice::NoError;
#ifdef Q_OS_UNIX
    // A page kept in prints/ is the only record of the job: on the disk before it gets its name, so that a
    // power cut cannot leave a named but empty page. A file for the print system is handed on and removed.
    if (!m_queue)
        written = written && ::fsync(m_pdfFile->handle()) == 0;
#endif
    QString reason = m_pdfFile->errorString();
    m_pdfFile->close();
    written = written && m_pdfFile->error() == QFileDevice::NoError;
    // The page gets its name only now; a name taken meanwhile gets a numeric suffix.
    const QString stem = QDir(m_pdfFolder).filePath(QFileInfo(m_lastPdf).completeBaseName());
    for (int n = 2; written && !m_pdfFile->rename(m_lastPdf); ++n) {
        if (!QFileInfo::exists(m_lastPdf) || n > 1000) {
            written = false;
            reason = m_pdfFile->errorString();
            break;
        }
        m_lastPdf = stem + u'-' + QString::number(n) + u".pdf";
    }
    if (!written) {
        // An unfinished PDF cannot be opened: it is removed rather than left to look like a print.
        m_jobError = QStringLiteral("%1 を作成できません").arg(m_lastPdf);
        qCWarning(lcPrint) << "cannot complete the print job:" << m_jobError << reason;
        m_pdfFile->remove();
        m_pdfFile.reset();
        return false;
    }
    m_pdfFile.reset();
    if (ok && m_queue)
        ok = submit();
    else if (m_followUp && m_target == Target::DefaultPrinter)
        m_followUp->notSent(); // the page waits in the folder
    return ok;
}

QString QtPrintSurface::jobTitle() const
{
    return m_jobTitle.isEmpty() ? m_documentName : m_jobTitle;
}

bool QtPrintSurface::submit()
{
    const QString title = jobTitle();
    const Result<int> job = m_queues->submitPdf(*m_queue, m_lastPdf, title);
    if (!job) {
        // Refused at the spooler: the page stays in prints/, as on a desk without a printer.
        qCWarning(lcPrint) << "print queue" << *m_queue << "refused the job" << title << ":" << job.error()
                           << "; kept as" << m_lastPdf;
        if (m_followUp)
            m_followUp->notSent();
        return true;
    }
    if (m_followUp)
        m_followUp->follow(*job, m_lastPdf); // kept aside until the job has printed
    else
        QFile::remove(m_lastPdf); // the scheduler has its own copy
    m_lastPdf.clear();
    return true;
}

} // namespace orvane

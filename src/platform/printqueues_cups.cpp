#include "platform/printqueues.h"

#include <QDir>
#include <QFile>

#include <cups/cups.h>
#include <memory>

namespace orvane {
namespace {

constexpr const char* kA5 = "iso_a5_148x210mm";
constexpr double kPointsPerHundredthMm = 72.0 / 2540.0;

struct DestDeleter
{
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestDeleter>;

Dest namedDest(const QString& queue)
{
    return Dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.isEmpty() ? nullptr : queue.toUtf8().constData(), nullptr));
}

QString lastError()
{
    return QString::fromUtf8(cupsLastErrorString());
}

// The default an lpoptions file names ("Default QUEUE[/INSTANCE]"), read without the scheduler.
std::optional<QString> lpoptionsDefault(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("Default ")) {
            QByteArray name = line.mid(8).trimmed();
            const qsizetype end = name.indexOf('/'); // an instance after the queue's name
            if (end >= 0)
                name.truncate(end);
            return QString::fromUtf8(name.split(' ').value(0));
        }
    }
    return std::nullopt;
}

} // namespace

DefaultQueue CupsPrintQueues::defaultQueue()
{
    if (const Dest dest = namedDest(QString()))
        return {QString::fromUtf8(dest->name), true, {}};
    const QString reason = lastError();
    // The scheduler is down or the queue is gone: name the queue the desk is set up for, if any.
    std::optional<QString> configured = lpoptionsDefault(QDir::homePath() + u"/.cups/lpoptions");
    if (!configured)
        configured = lpoptionsDefault(QStringLiteral("/etc/cups/lpoptions"));
    return {configured, false, reason};
}

std::optional<QMarginsF> CupsPrintQueues::a5PrintableMargins(const QString& queue)
{
    const Dest dest = namedDest(queue);
    if (!dest)
        return std::nullopt;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get());
    if (!info)
        return std::nullopt;
    cups_size_t size{};
    const bool found = cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest.get(), info, kA5,
                                              CUPS_MEDIA_FLAGS_DEFAULT, &size) != 0;
    cupsFreeDestInfo(info);
    if (!found)
        return std::nullopt;
    return QMarginsF(size.left * kPointsPerHundredthMm, size.top * kPointsPerHundredthMm,
                     size.right * kPointsPerHundredthMm, size.bottom * kPointsPerHundredthMm);
}

Result<> CupsPrintQueues::submitPdf(const QString& queue, const QString& pdfPath, const QString& title)
{
    cups_option_t* options = nullptr;
    int count = cupsAddOption("media", kA5, 0, &options);
    count = cupsAddOption("document-format", "application/pdf", count, &options);
    const int job =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), QFile::encodeName(pdfPath).constData(),
                       title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0)
        return fail(lastError());
    return {};
}

} // namespace orvane

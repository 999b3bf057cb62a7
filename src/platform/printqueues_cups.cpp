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

// How long a scheduler that the default queue could not be had from is given to answer a connection
// (a local one answers or refuses at once).
constexpr int kSchedulerAnswerMs = 500;

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
    QString reason = lastError();
    // The scheduler is down or the queue is gone: name the queue the desk is set up for, if any. CUPS
    // says the same of both ("lpoptions names a destination that does not exist"): the scheduler is
    // asked whether it answers at all.
    std::optional<QString> configured = lpoptionsDefault(QDir::homePath() + u"/.cups/lpoptions");
    if (!configured)
        configured = lpoptionsDefault(QStringLiteral("/etc/cups/lpoptions"));
    http_t* scheduler = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                     kSchedulerAnswerMs, nullptr);
    if (scheduler) {
        httpClose(scheduler);
        return {configured, false, reason, true};
    }
    reason = QStringLiteral("the print scheduler at %1 does not answer").arg(QString::fromUtf8(cupsServer()));
    return {configured, false, reason, false};
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

Result<int> CupsPrintQueues::submitPdf(const QString& queue, const QString& pdfPath, const QString& title)
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
    return job;
}

namespace {

struct IppDeleter
{
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

// One IPP request to the scheduler, its response when it succeeded.
Result<Ipp> askScheduler(ipp_t* request)
{
    Ipp response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_CONFLICTING)
        return fail(lastError());
    return response;
}

} // namespace

Result<QueueState> CupsPrintQueues::queueState(const QString& queue)
{
    static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-state-message",
                                         "printer-is-accepting-jobs"};
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
                  nullptr, wanted);
    const Result<Ipp> response = askScheduler(request);
    if (!response)
        return fail(response.error());
    QueueState state;
    ipp_t* attributes = response->get();
    if (ipp_attribute_t* a = ippFindAttribute(attributes, "printer-state", IPP_TAG_ENUM)) {
        const int value = ippGetInteger(a, 0);
        state.printer = value == IPP_PSTATE_STOPPED      ? QueueState::Printer::Stopped
                        : value == IPP_PSTATE_PROCESSING ? QueueState::Printer::Processing
                                                         : QueueState::Printer::Idle;
    }
    if (ipp_attribute_t* a = ippFindAttribute(attributes, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        state.accepting = ippGetBoolean(a, 0) != 0;
    if (ipp_attribute_t* a = ippFindAttribute(attributes, "printer-state-reasons", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(a); ++i)
            if (const QString reason = QString::fromUtf8(ippGetString(a, i, nullptr)); reason != u"none")
                state.reasons.append(reason);
    if (ipp_attribute_t* a = ippFindAttribute(attributes, "printer-state-message", IPP_TAG_TEXT))
        state.message = QString::fromUtf8(ippGetString(a, 0, nullptr));
    return state;
}

Result<JobState> CupsPrintQueues::jobState(int job)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-state");
    const Result<Ipp> response = askScheduler(request);
    if (!response && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
        return JobState::Gone;
    if (!response)
        return fail(response.error());
    ipp_attribute_t* a = ippFindAttribute(response->get(), "job-state", IPP_TAG_ENUM);
    if (!a)
        return fail(QStringLiteral("job %1 has no state").arg(job));
    switch (ippGetInteger(a, 0)) {
    case IPP_JSTATE_PENDING:
        return JobState::Pending;
    case IPP_JSTATE_HELD:
        return JobState::Held;
    case IPP_JSTATE_PROCESSING:
        return JobState::Processing;
    case IPP_JSTATE_STOPPED:
        return JobState::Stopped;
    case IPP_JSTATE_CANCELED:
        return JobState::Cancelled;
    case IPP_JSTATE_ABORTED:
        return JobState::Aborted;
    default:
        return JobState::Completed;
    }
}

Result<> CupsPrintQueues::cancelJob(int job)
{
    if (cupsCancelJob2(CUPS_HTTP_DEFAULT, nullptr, job, 0) != IPP_STATUS_OK)
        return fail(lastError());
    return {};
}

} // namespace orvane

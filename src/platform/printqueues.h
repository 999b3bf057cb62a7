#pragma once

#include "text/result.h"

#include <QMarginsF>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane {

// The desk's default print queue as the print system names it.
struct DefaultQueue
{
    // The queue's name: the one the print system reports, or, when it cannot be reached, the one the
    // user's or the system's lpoptions name. nullopt on a desk that has never had a printer.
    std::optional<QString> name;
    // True when the print system knows the queue now.
    bool available = false;
    // Why it is not available.
    QString reason;
    // False when the print system itself does not answer (not running, or not reachable).
    bool schedulerAnswers = true;
};

// A queue's state as the print system reports it.
struct QueueState
{
    enum class Printer { Idle, Processing, Stopped };
    Printer printer = Printer::Idle;
    bool accepting = true;
    QStringList reasons; // printer-state-reasons as the print system names them ("none" left out)
    QString message;     // printer-state-message
};

// Where a job stands; Gone: the print system no longer knows it (purged, or a scheduler that lost it).
enum class JobState { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed, Gone };

// The system's print queues (CUPS here): which one is the default, where its printable area lies, and
// handing it a job.
class PrintQueues
{
public:
    virtual ~PrintQueues() = default;

    virtual DefaultQueue defaultQueue() = 0;
    // The margins of the printable area of A5 paper on the queue, in points of the portrait sheet;
    // nullopt when the queue does not say.
    virtual std::optional<QMarginsF> a5PrintableMargins(const QString& queue) = 0;
    // Hands the PDF to the queue as one job on A5 paper, titled title: the job's id, or the print
    // system's reason when it refused the job.
    virtual Result<int> submitPdf(const QString& queue, const QString& pdfPath, const QString& title) = 0;
    // The queue's state; fails when the print system cannot be reached or does not know the queue.
    virtual Result<QueueState> queueState(const QString& queue) = 0;
    // The job's state; fails when the print system cannot be reached or no longer knows the job.
    virtual Result<JobState> jobState(int job) = 0;
    // Cancels the job (one stopped for good, whose page is printed again from the bridge's copy).
    virtual Result<> cancelJob(int job) = 0;
};

// PrintQueues through libcups: the scheduler of CUPS_SERVER or the system's, the default of
// ~/.cups/lpoptions or the scheduler's.
class CupsPrintQueues final : public PrintQueues
{
public:
    DefaultQueue defaultQueue() override;
    std::optional<QMarginsF> a5PrintableMargins(const QString& queue) override;
    Result<int> submitPdf(const QString& queue, const QString& pdfPath, const QString& title) override;
    Result<QueueState> queueState(const QString& queue) override;
    Result<JobState> jobState(int job) override;
    Result<> cancelJob(int job) override;
};

} // namespace orvane

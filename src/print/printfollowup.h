#pragma once

#include "base/devicestatus.h"
#include "platform/printqueues.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace orvane {

// What the staff are told of the printer, from what the print system says: the first cause that needs
// a person (the printer's own reason, then a stopped, paused or rejecting queue), with the printer's
// name and what to do.
struct PrinterFacts
{
    std::optional<QString> queue; // the default queue; nullopt: none
    QString unreachable;          // why the print system cannot be reached; empty when it can
    QString missingQueue;         // the queue the desk is set up for, which the print system lacks
    std::optional<QueueState> state;
    int openJobs = 0;
    QString abortedJob; // the title of a job that ended without printing, until its page is printed
};
DeviceStatus printerStatus(const PrinterFacts& facts);

// Follows each print job to the paper. The page of a job the queue took is kept aside in
// <folder>/.sent/<job>-<name> until the job completed; one that ends otherwise (aborted, cancelled,
// dropped by a stopped queue) goes back into the folder, where it waits with the pages no queue took,
// counted and printable again with printWaiting(). The print system is asked once a second while a job
// is open, every five seconds while the printer has a problem, and once every 30 seconds otherwise
// (to see a queue that was stopped meanwhile).
class PrintFollowUp final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrintFollowUp)

public:
    static constexpr int kFollowMs = 1000;
    static constexpr int kProblemMs = 5000; // a printer with a problem, no job open: seen mended soon
    static constexpr int kIdleMs = 30000;

    PrintFollowUp(PrintQueues& queues, QString folder, QObject* parent = nullptr);

    // Settles the pages an earlier run left aside and looks at the printer once.
    void start();
    // The queue took the page at pdfPath as job: it is kept aside and followed.
    void follow(int job, const QString& pdfPath);
    // A page stayed in the folder because no queue took it: counted, and the printer looked at.
    void notSent();
    // Hands every waiting page to the default queue, oldest first; stops at the first it refuses.
    void printWaiting();

    int waitingPages() const { return m_waiting; }
    const DeviceStatus& status() const { return m_status; }

    // Looks now (the timer's work): the jobs' and the printer's states.
    void look();

signals:
    void statusChanged(const DeviceStatus& status);
    void waitingChanged(int pages);

private:
    struct Job
    {
        int id = 0;
        QString kept; // the page, aside
        QString title;
    };
    QString asideFolder() const;
    void giveBack(const Job& job);
    void recount();
    void setStatus(const DeviceStatus& status);
    void schedule();

    PrintQueues& m_queues;
    QString m_folder;
    QList<Job> m_jobs;
    QString m_abortedJob;
    DeviceStatus m_status;
    int m_waiting = 0;
    QTimer m_timer;
};

} // namespace orvane

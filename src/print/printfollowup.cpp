#include "print/printfollowup.h"

#include "base/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace orvane {
namespace {

// The printer's own reasons that need a person, with what the staff are told; a reason is named as
// the print system names it without its -error, -warning or -report suffix.
struct PrinterReason
{
    const char16_t* word;
    const char16_t* text;
};
constexpr PrinterReason kPersonReasons[] = {
    {u"media-empty", u"用紙がありません。用紙を補給してください。"},
    {u"media-needed", u"用紙がありません。用紙を補給してください。"},
    {u"media-jam", u"紙づまりです。詰まった紙を取り除いてください。"},
    {u"door-open", u"カバーが開いています。閉じてください。"},
    {u"cover-open", u"カバーが開いています。閉じてください。"},
    {u"offline", u"プリンタがオフラインです。電源とケーブルを確かめてください。"},
    {u"toner-empty", u"トナーがありません。交換してください。"},
    {u"marker-supply-empty", u"インクがありません。交換してください。"},
    {u"input-tray-missing", u"用紙トレイがありません。差し込んでください。"},
    {u"output-area-full", u"排紙トレイがいっぱいです。取り出してください。"},
};

QString withoutSuffix(const QString& reason, QString* suffix = nullptr)
{
    for (const QLatin1StringView end : {"-error"_L1, "-warning"_L1, "-report"_L1})
        if (reason.endsWith(end)) {
            if (suffix)
                *suffix = end;
            return reason.chopped(end.size());
        }
    return reason;
}

const QString kKept = u"ページは prints フォルダに残ります。"_s;

} // namespace

DeviceStatus printerStatus(const PrinterFacts& facts)
{
    if (!facts.unreachable.isEmpty())
        return DeviceStatus::problem(u"no-scheduler"_s,
                                     u"印刷サービス (CUPS) に接続できません (%1)。"_s.arg(facts.unreachable) +
                                         kKept + u"PC を再起動するか、IT 担当者に連絡してください。"_s);
    if (!facts.queue)
        return DeviceStatus::problem(
            u"no-default-queue"_s,
            (facts.missingQueue.isEmpty()
                 ? u"既定のプリンタがありません。"_s
                 : u"既定のプリンタ %1 が印刷サービスにありません。"_s.arg(facts.missingQueue)) +
                kKept + u"プリンタを設定してください。"_s);
    const QString printer = u"プリンタ %1: "_s.arg(*facts.queue);
    const QString waiting = facts.openJobs > 0 ? u" (印刷待ち %1 件)"_s.arg(facts.openJobs) : QString();
    if (facts.state) {
        for (const QString& reason : facts.state->reasons) {
            QString suffix;
            const QString word = withoutSuffix(reason, &suffix);
            if (suffix == u"-report" && word != u"offline")
                continue;
            for (const PrinterReason& known : kPersonReasons)
                if (word == QStringView(known.word))
                    return DeviceStatus::problem(word, printer + QString::fromUtf16(known.text) + waiting);
            if (suffix == u"-error")
                return DeviceStatus::problem(
                    word, printer +
                              u"プリンタが異常を知らせています (%1)。%2"_s.arg(word, facts.state->message) +
                              waiting);
        }
        if (facts.state->printer == QueueState::Printer::Stopped) {
            const bool paused = facts.state->reasons.contains(u"paused"_s);
            return DeviceStatus::problem(
                paused ? u"queue-paused"_s : u"queue-stopped"_s,
                printer + (paused ? u"印刷が一時停止されています。"_s : u"印刷キューが停止しています。"_s) +
                    (facts.state->message.isEmpty() ? QString() : u"(%1) "_s.arg(facts.state->message)) +
                    u"プリンタの電源と接続を確かめ、キューを再開してください (IT 担当者: cupsenable %1)。"_s
                        .arg(*facts.queue) +
                    waiting);
        }
        if (!facts.state->accepting)
            return DeviceStatus::problem(
                u"queue-rejecting"_s,
                printer + u"プリンタが印刷を受け付けていません。"_s + kKept +
                    u"IT 担当者に連絡してください (cupsaccept %1)。"_s.arg(*facts.queue));
    }
    if (!facts.abortedJob.isEmpty())
        return DeviceStatus::problem(u"job-aborted"_s,
                                     printer + u"「%1」が印刷されませんでした。"_s.arg(facts.abortedJob) +
                                         kKept + u"「未印刷を印刷」で印刷し直してください。"_s);
    return DeviceStatus::ok(printer + (facts.openJobs > 0 ? u"印刷中"_s + waiting : u"印刷できます"_s));
}

PrintFollowUp::PrintFollowUp(PrintQueues& queues, QString folder, QObject* parent)
    : QObject(parent), m_queues(queues), m_folder(std::move(folder))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PrintFollowUp::look);
}

QString PrintFollowUp::asideFolder() const
{
    return QDir(m_folder).filePath(u".sent"_s);
}

void PrintFollowUp::start()
{
    // Pages a killed run left aside: followed again, so that their job's state settles them now.
    const QDir aside(asideFolder());
    for (const QString& name : aside.entryList({u"*.pdf"_s}, QDir::Files, QDir::Name)) {
        bool number = false;
        const int id = name.section(u'-', 0, 0).toInt(&number);
        const Job job{id, aside.filePath(name), name.section(u'-', 1)};
        if (number)
            m_jobs.append(job);
        else
            giveBack(job); // not named after a job: no queue can say it printed
    }
    look();
}

void PrintFollowUp::follow(int job, const QString& pdfPath)
{
    QDir().mkpath(asideFolder());
    const QString kept = QDir(asideFolder()).filePath(u"%1-%2"_s.arg(job).arg(QFileInfo(pdfPath).fileName()));
    if (!QFile::rename(pdfPath, kept)) {
        qCWarning(lcPrint) << "cannot keep" << pdfPath << "aside while job" << job << "prints; it stays";
        return;
    }
    m_jobs.append({job, kept, QFileInfo(pdfPath).completeBaseName()});
    recount();
    look();
}

void PrintFollowUp::notSent()
{
    recount();
    look();
}

void PrintFollowUp::giveBack(const Job& job)
{
    const QString name = QFileInfo(job.kept).fileName().section(u'-', 1);
    QString back = QDir(m_folder).filePath(name);
    for (int n = 2; QFileInfo::exists(back); ++n)
        back =
            QDir(m_folder).filePath(QFileInfo(name).completeBaseName() + u'-' + QString::number(n) + u".pdf");
    if (!QFile::rename(job.kept, back))
        qCWarning(lcPrint) << "cannot put" << job.kept << "back into" << m_folder;
    m_abortedJob = job.title;
    qCWarning(lcPrint) << "job" << job.id << "ended without printing; its page waits as" << back;
}

void PrintFollowUp::look()
{
    // The jobs first: one that ended is settled now.
    for (qsizetype i = 0; i < m_jobs.size();) {
        const Result<JobState> state = m_queues.jobState(m_jobs[i].id);
        if (!state) { // the print system cannot say now: asked again
            ++i;
            continue;
        }
        if (*state == JobState::Completed) {
            QFile::remove(m_jobs[i].kept);
            m_jobs.removeAt(i);
        } else if (*state == JobState::Cancelled || *state == JobState::Aborted || *state == JobState::Gone) {
            giveBack(m_jobs[i]);
            m_jobs.removeAt(i);
        } else if (*state == JobState::Stopped) {
            // Stopped for good (the printer's driver failed): it prints from the page given back, once;
            // a job left in the queue would print it a second time when someone restarts it.
            if (const Result<> cancelled = m_queues.cancelJob(m_jobs[i].id); !cancelled)
                qCWarning(lcPrint) << "cannot cancel the stopped job" << m_jobs[i].id << ":"
                                   << cancelled.error();
            giveBack(m_jobs[i]);
            m_jobs.removeAt(i);
        } else {
            ++i;
        }
    }
    recount();
    PrinterFacts facts;
    const DefaultQueue queue = m_queues.defaultQueue();
    if (queue.available) {
        facts.queue = queue.name;
        if (const Result<QueueState> state = m_queues.queueState(*queue.name))
            facts.state = *state;
    } else if (!queue.schedulerAnswers) {
        facts.unreachable = queue.reason;
    } else {
        facts.missingQueue = queue.name.value_or(QString());
    }
    facts.openJobs = int(m_jobs.size());
    if (m_waiting == 0)
        m_abortedJob.clear(); // its page was printed again (or removed by hand)
    facts.abortedJob = m_abortedJob;
    setStatus(printerStatus(facts));
    schedule();
}

void PrintFollowUp::printWaiting()
{
    const DefaultQueue queue = m_queues.defaultQueue();
    if (!queue.available) {
        look();
        return;
    }
    const QDir folder(m_folder);
    for (const QString& name : folder.entryList({u"*.pdf"_s}, QDir::Files, QDir::Name)) {
        const QString path = folder.filePath(name);
        const Result<int> job = m_queues.submitPdf(*queue.name, path, QFileInfo(name).completeBaseName());
        if (!job) {
            qCWarning(lcPrint) << "print queue" << *queue.name << "refused" << path << ":" << job.error();
            break;
        }
        follow(*job, path);
    }
    look();
}

void PrintFollowUp::recount()
{
    const int pages = int(QDir(m_folder).entryList({u"*.pdf"_s}, QDir::Files).size());
    if (pages != m_waiting) {
        m_waiting = pages;
        emit waitingChanged(pages);
    }
}

void PrintFollowUp::setStatus(const DeviceStatus& status)
{
    if (m_status.sameAs(status))
        return;
    m_status = status;
    emit statusChanged(status);
}

void PrintFollowUp::schedule()
{
    m_timer.start(!m_jobs.isEmpty()                        ? kFollowMs
                  : m_status.state == DeviceState::Problem ? kProblemMs
                                                           : kIdleMs);
}

} // namespace orvane

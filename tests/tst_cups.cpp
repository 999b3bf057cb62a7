#include "channel/commandsources.h"
#include "platform/printqueues.h"
#include "print/fonts.h"
#include "print/printfollowup.h"
#include "print/qtprintsurface.h"
#include "print/receipt.h"
#include "print/statement.h"
#include "support/desk.h"
#include "support/formservices.h"
#include "support/pdftext.h"
#include "support/privatecups.h"
#include "support/testsupport.h"
#include "window/statusrow.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cups/cups.h>

using namespace Qt::StringLiterals;

using namespace orvane;

namespace {

// The desk's own command source, noting what became of each command (what a page would hear).
class OutcomeRecorder final : public CommandSource
{
public:
    OutcomeRecorder(std::unique_ptr<CommandSource> source, QList<CommandOutcome>& outcomes)
        : m_source(std::move(source)), m_outcomes(outcomes)
    {
        connect(m_source.get(), &CommandSource::commandArrived, this, &CommandSource::commandArrived);
    }
    Result<> start() override { return m_source->start(); }
    void tick() override { m_source->tick(); }
    void stop() override { m_source->stop(); }
    void commandDone(const CommandOutcome& outcome) override { m_outcomes.append(outcome); }

private:
    std::unique_ptr<CommandSource> m_source;
    QList<CommandOutcome>& m_outcomes;
};

} // namespace

// Receipts and statements through a real CUPS scheduler (one of the test's own) to a queue whose
// device is a file: where the page lands, what the job is called, and what happens when the queue
// refuses, pauses or goes away.
class TestCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void printsAtThePrintableAreasOrigin();
    void keepsThePageWhenTheQueueRefuses();
    void holdsTheJobOnAPausedQueue();
    void keepsThePageWhenTheQueueIsDeleted();
    void keepsThePageWhenTheSchedulerIsDown();
    void followsEachPrintToThePaper_data();
    void followsEachPrintToThePaper();
    void namesWhatThePrinterNeeds_data();
    void namesWhatThePrinterNeeds();

private:
    // Prints through the default printer (queues given) or to a PDF; returns the kept PDF, if any.
    QString printReceipt(bool toPrinter);
    QString printStatement(bool toPrinter);
    // Brings about a fault of the followUp test's rows, and mends it.
    void cause(const QString& fault);
    void mend(const QString& fault);
    // The titles of the queue's jobs in the given state, sorted.
    static QStringList jobTitles(int whichJobs);
    // Each word of the fallback PDF must stand in the printed one shifted by (dx, dy), within 0.5 pt.
    static void compareShifted(const QString& printed, const QString& fallback, double dx, double dy);

    std::unique_ptr<test::PrivateCups> m_cups;
    std::unique_ptr<test::WorkingFolder> m_dir;
    CupsPrintQueues m_queues;
};

void TestCups::initTestCase()
{
    installFontSubstitutions();
    m_cups = std::make_unique<test::PrivateCups>();
    if (!m_cups->start())
        QSKIP(
            qPrintable(u"no private CUPS scheduler can run here, so printing through CUPS is not tested: "_s +
                       m_cups->error()));
}

void TestCups::init()
{
    m_dir.reset(); // the last one gives back the folder it entered before the next one enters its own
    m_dir = std::make_unique<test::WorkingFolder>();
    if (!m_cups->running())
        QVERIFY2(m_cups->start(), qPrintable(m_cups->error())); // a test stopped it
    QVERIFY(m_cups->addQueue());
    m_cups->run(u"cancel"_s, {u"-a"_s, u"desk"_s});
    QVERIFY(m_cups->run(u"lpadmin"_s, {u"-p"_s, u"desk"_s, u"-o"_s, u"printer-error-policy=stop-printer"_s}));
    m_cups->setSwitch(u"paper-out"_s, false);
    m_cups->setSwitch(u"failing"_s, false);
    QFile::remove(m_cups->output());
}

void TestCups::cleanupTestCase()
{
    m_cups.reset();
}

QString TestCups::printReceipt(bool toPrinter)
{
    test::writeFile(u"counter.txt"_s, " 23\r\n"); // the same number either way
    QtPrintSurface surface(toPrinter ? QtPrintSurface::Target::DefaultPrinter : QtPrintSurface::Target::Pdf,
                           u"prints"_s, toPrinter ? &m_queues : nullptr);
    Settings settings;
    settings.name1 = u"オルヴェイン歯科"_s;
    orvane::printReceipt(surface, u"rsh山田様/12000/960/3"_s, settings, QDate(2026, 12, 8), u"counter.txt"_s);
    return surface.lastPdf();
}

QString TestCups::printStatement(bool toPrinter)
{
    QtPrintSurface surface(toPrinter ? QtPrintSurface::Target::DefaultPrinter : QtPrintSurface::Target::Pdf,
                           u"prints"_s, toPrinter ? &m_queues : nullptr);
    Settings settings;
    settings.name1 = u"オルヴェイン歯科"_s;
    orvane::printStatement(surface, test::statementCommand(u"12345"_s, 20, u"2026-12-08"_s), settings);
    return surface.lastPdf();
}

QStringList TestCups::jobTitles(int whichJobs)
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "desk", 0, whichJobs);
    QStringList titles;
    for (int i = 0; i < count; ++i)
        titles.append(QString::fromUtf8(jobs[i].title));
    cupsFreeJobs(count, jobs);
    titles.sort(); // the scheduler lists jobs completed in the same second in either order
    return titles;
}

void TestCups::compareShifted(const QString& printed, const QString& fallback, double dx, double dy)
{
    const QList<test::PdfWord> expected = test::readPdfWords(fallback);
    const QList<test::PdfWord> actual = test::readPdfWords(printed);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(actual.size(), expected.size());
    // Words are matched by page, text and the order among their namesakes: the reading order of the
    // extraction may differ once the page has margins.
    const auto occurrences = [](const QList<test::PdfWord>& words, const test::PdfWord& word) {
        QList<const test::PdfWord*> same;
        for (const test::PdfWord& candidate : words)
            if (candidate.page == word.page && candidate.text == word.text)
                same.append(&candidate);
        std::sort(same.begin(), same.end(), [](const test::PdfWord* a, const test::PdfWord* b) {
            return std::pair(a->box.top(), a->box.left()) < std::pair(b->box.top(), b->box.left());
        });
        return same;
    };
    for (const test::PdfWord& word : expected) {
        const QList<const test::PdfWord*> wanted = occurrences(expected, word);
        const QList<const test::PdfWord*> found = occurrences(actual, word);
        QCOMPARE(found.size(), wanted.size());
        const qsizetype n = wanted.indexOf(&word);
        QCOMPARE(found[n]->pageSize, word.pageSize);
        const QPointF shift = found[n]->box.topLeft() - word.box.topLeft();
        QVERIFY2(qAbs(shift.x() - dx) <= 0.5 && qAbs(shift.y() - dy) <= 0.5,
                 qPrintable(word.text + u" moved by "_s + QString::number(shift.x()) + u", "_s +
                            QString::number(shift.y())));
    }
}

void TestCups::printsAtThePrintableAreasOrigin()
{
    // The receipt, landscape: the sheet turned, so the printable area's top-left is 18 pt from the
    // page's left (the sheet's bottom margin) and 12 pt from its top (the sheet's left margin).
    QVERIFY(printReceipt(true).isEmpty()); // nothing kept: the job went to the queue
    QTRY_COMPARE_WITH_TIMEOUT(jobTitles(CUPS_WHICHJOBS_COMPLETED), QStringList{u"receipt 0000-23"_s}, 10000);
    const QString receipt = m_dir->filePath(u"printed-receipt.pdf"_s);
    QVERIFY2(QFile::copy(m_cups->output(), receipt), qPrintable(m_cups->log().right(900)));
    compareShifted(receipt, printReceipt(false), 18, 12);

    // The statement, portrait, two pages: 12 pt from the left, 15 from the top.
    QVERIFY(printStatement(true).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(jobTitles(CUPS_WHICHJOBS_COMPLETED),
                              (QStringList{u"receipt 0000-23"_s, u"statement 12345"_s}), 10000);
    const QString statement = m_dir->filePath(u"printed-statement.pdf"_s);
    QVERIFY2(QFile::copy(m_cups->output(), statement), qPrintable(m_cups->log().right(900)));
    compareShifted(statement, printStatement(false), 12, 15);
    QCOMPARE(test::readBarcodes(statement, 2), QStringList{u"Codabar:A0123450A"_s});
    QVERIFY(QDir(u"prints"_s).entryList(QDir::Files).size() == 2); // only the two fallback jobs
}

void TestCups::keepsThePageWhenTheQueueRefuses()
{
    QVERIFY(m_cups->run(u"cupsreject"_s, {u"desk"_s}));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(u"print queue \"desk\" refused the job \"receipt 0000-23\""_s));
    const QString kept = printReceipt(true);
    QVERIFY(QFile::exists(kept));
    QVERIFY(kept.startsWith(u"prints/"_s));
    QCOMPARE(test::readFile(u"counter.txt"_s), QByteArray(" 24\r\n"));
}

void TestCups::holdsTheJobOnAPausedQueue()
{
    QVERIFY(m_cups->run(u"cupsdisable"_s, {u"desk"_s}));
    QTest::failOnWarning(QRegularExpression(u"print queue"_s));
    QVERIFY(printReceipt(true).isEmpty());
    QVERIFY(jobTitles(CUPS_WHICHJOBS_ACTIVE).contains(u"receipt 0000-23"_s)); // waiting in the queue
    QVERIFY(!QDir(u"prints"_s).exists() || QDir(u"prints"_s).entryList(QDir::Files).isEmpty());
    QVERIFY(m_cups->run(u"cancel"_s, {u"-a"_s, u"desk"_s}));
}

void TestCups::keepsThePageWhenTheQueueIsDeleted()
{
    QVERIFY(m_cups->run(u"lpadmin"_s, {u"-x"_s, u"desk"_s}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"print queue \"desk\" is not available"_s));
    QVERIFY(QFile::exists(printReceipt(true)));
}

void TestCups::keepsThePageWhenTheSchedulerIsDown()
{
    m_cups->stop();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"print queue \"desk\" is not available"_s));
    QVERIFY(QFile::exists(printStatement(true)));
}

void TestCups::cause(const QString& fault)
{
    if (fault == u"paper-out" || fault == u"failing")
        m_cups->setSwitch(fault, true);
    if (fault == u"paused")
        QVERIFY(m_cups->run(u"cupsdisable"_s, {u"desk"_s}));
    if (fault == u"rejecting")
        QVERIFY(m_cups->run(u"cupsreject"_s, {u"desk"_s}));
    if (fault == u"no scheduler")
        m_cups->stop();
}

void TestCups::mend(const QString& fault)
{
    m_cups->setSwitch(u"paper-out"_s, false);
    m_cups->setSwitch(u"failing"_s, false);
    if (fault == u"no scheduler") {
        QVERIFY(m_cups->start());
        QVERIFY(m_cups->addQueue());
    }
    QVERIFY(m_cups->run(u"cupsenable"_s, {u"desk"_s}));
    QVERIFY(m_cups->run(u"cupsaccept"_s, {u"desk"_s}));
}

void TestCups::followsEachPrintToThePaper_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // the printer's reason word while the fault lasts
    QTest::addColumn<int>("waiting");    // pages in prints/ meanwhile
    // What the command's page hears: known at the print ("" carried out), or "?" for a fault the
    // printer finds only once it runs the job.
    QTest::addColumn<QString>("told");
    const QString problem = u"printer-problem"_s;
    QTest::newRow("none") << QString() << QString() << 0 << QString();
    QTest::newRow("paper out: the job waits") << u"paper-out"_s << u"media-empty"_s << 0 << u"?"_s;
    QTest::newRow("a printer that fails: CUPS stops the job, its page comes back")
        << u"failing"_s << u"job-aborted"_s << 1 << u"?"_s;
    QTest::newRow("paused") << u"paused"_s << u"queue-paused"_s << 0 << problem;
    QTest::newRow("rejecting: the page waits") << u"rejecting"_s << u"queue-rejecting"_s << 1 << problem;
    QTest::newRow("no scheduler: the page waits") << u"no scheduler"_s << u"no-scheduler"_s << 1 << problem;
}

void TestCups::followsEachPrintToThePaper()
{
    // The desk's window on this scheduler: a receipt command while the printer has a fault is seen in
    // the status row and in orvane --status (asking this window as it asks a running bridge) within
    // five seconds, with its page in one place and counted; mended, and the page printed (a waiting one
    // with the staff's button), both say so and nothing is left aside.
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QFETCH(int, waiting);
    QFETCH(QString, told);
    m_dir.reset();
    test::Desk desk;
    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\n"));
    cause(fault);
    PrintFollowUp followUp(m_queues, u"prints"_s);
    test::FakeNotifier notifier;
    test::FakeDialler dialler;
    FormServices services = test::formServices(desk.winePrefix(), &desk.launcher(), &notifier, &dialler);
    services.makePrintSurface = [&] {
        return std::make_unique<QtPrintSurface>(QtPrintSurface::Target::DefaultPrinter, u"prints"_s,
                                                &m_queues, &followUp);
    };
    services.printFollowUp = &followUp;
    QList<CommandOutcome> outcomes;
    services.makeCommandSource = [&outcomes, mapper = services.mapper](const Settings& settings,
                                                                       const QString& user) {
        return std::make_unique<OutcomeRecorder>(makeCommandSource(settings, user, mapper), outcomes);
    };
    const std::unique_ptr<Form1> form = test::startWindow(services);
    QVERIFY(form);
    const auto askStatus = [] {
        QProcess status; // runs while this window answers it
        status.start(test::builtProgram(u"orvane"_s), {u"--status"_s, u"--json"_s});
        for (QDeadlineTimer bound(10000); status.state() != QProcess::NotRunning && !bound.hasExpired();)
            QTest::qWait(20);
        return std::pair{status.exitCode(), QJsonDocument::fromJson(status.readAllStandardOutput()).object()};
    };
    desk.writeCookie("uketsuke\nrsh山田様/1000/80/\nclinic.example/\n", 1);
    QTRY_COMPARE(form->deskStatus().toJson()[u"today"_s][u"receipts"_s].toInt(), 1);
    QCOMPARE(outcomes.size(), 1);
    if (told != u"?")
        QCOMPARE(outcomes.first().reason, told);
    QTRY_VERIFY2_WITH_TIMEOUT(followUp.status().reason == reason, qPrintable(followUp.status().text), 5000);
    if (!reason.isEmpty() && fault != u"no scheduler") // each page in one place: held in CUPS or waiting here
        QCOMPARE(jobTitles(CUPS_WHICHJOBS_ACTIVE).size(), waiting > 0 ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(form->statusRow()->unprintedCount->text(), u"未印刷 %1 枚"_s.arg(waiting),
                              5000);
    QCOMPARE(form->statusRow()->printUnprinted->isEnabled(), waiting > 0);
    const QLabel* printer = form->statusRow()->indicator(Device::Printer);
    const auto [problem, report] = askStatus();
    const QJsonObject said = report[u"devices"_s][u"printer"_s].toObject();
    QCOMPARE(problem, reason.isEmpty() ? 0 : 1);
    QCOMPARE(said[u"reason"_s].toString(), reason);
    QCOMPARE(printer->text(), reason.isEmpty() ? u"印刷 ○"_s : u"印刷 ×"_s);
    QCOMPARE(printer->toolTip(), u"印刷: "_s + said[u"text"_s].toString());
    QCOMPARE(report[u"unprinted"_s].toInt(), waiting);
    QCOMPARE(report[u"today"_s][u"receipts"_s].toInt(), 1);

    mend(fault);
    if (waiting > 0)
        QTest::mouseClick(form->statusRow()->printUnprinted, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_cups->output()), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(QDir(u"prints/.sent"_s).isEmpty(), 10000); // nothing kept once printed
    QTRY_COMPARE_WITH_TIMEOUT(printer->toolTip(), u"印刷: プリンタ desk: 印刷できます"_s, 5000);
    QCOMPARE(form->statusRow()->unprintedCount->text(), u"未印刷 0 枚"_s);
    QCOMPARE(askStatus().second[u"devices"_s][u"printer"_s][u"state"_s].toString(), u"ok"_s);
}

void TestCups::namesWhatThePrinterNeeds_data()
{
    // The facts as CUPS gives them: the default queue ("" none), why the scheduler cannot be reached,
    // the queue the desk is set up for that CUPS lacks, the printer's reasons, and a stopped queue.
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QString>("unreachable");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("reason"); // "" when the printer is fine
    QTest::addColumn<QString>("says");
    const QString none;
    QTest::newRow("a warning needs nobody")
        << u"desk"_s << none << none << QStringList{u"toner-low-warning"_s} << false << none
        << u"印刷できます"_s;
    QTest::newRow("a known reason without its suffix")
        << u"desk"_s << none << none << QStringList{u"media-jam-error"_s} << false << u"media-jam"_s
        << u"プリンタ desk: 紙づまりです"_s;
    QTest::newRow("offline, though only a report")
        << u"desk"_s << none << none << QStringList{u"offline-report"_s} << false << u"offline"_s
        << u"オフライン"_s;
    QTest::newRow("an error of another kind")
        << u"desk"_s << none << none << QStringList{u"spool-area-full-error"_s} << false
        << u"spool-area-full"_s << u"(spool-area-full)"_s;
    QTest::newRow("stopped by CUPS") << u"desk"_s << none << none << QStringList{} << true
                                     << u"queue-stopped"_s << u"cupsenable desk"_s;
    QTest::newRow("no scheduler") << none << u"the print scheduler at /run/cups/cups.sock does not answer"_s
                                  << u"desk"_s << QStringList{} << false << u"no-scheduler"_s
                                  << u"(the print scheduler at /run/cups/cups.sock does not answer)"_s;
    QTest::newRow("the desk's queue deleted") << none << none << u"desk"_s << QStringList{} << false
                                              << u"no-default-queue"_s << u"既定のプリンタ desk が"_s;
    QTest::newRow("never a printer") << none << none << none << QStringList{} << false
                                     << u"no-default-queue"_s << u"既定のプリンタがありません"_s;
}

void TestCups::namesWhatThePrinterNeeds()
{
    QFETCH(QString, queue);
    QFETCH(QString, unreachable);
    QFETCH(QString, missing);
    QFETCH(QStringList, reasons);
    QFETCH(bool, stopped);
    QFETCH(QString, reason);
    QFETCH(QString, says);
    PrinterFacts facts;
    if (!queue.isEmpty())
        facts.queue = queue;
    facts.unreachable = unreachable;
    facts.missingQueue = missing;
    facts.state =
        QueueState{stopped ? QueueState::Printer::Stopped : QueueState::Printer::Idle, true, reasons, {}};
    const DeviceStatus status = printerStatus(facts);
    QCOMPARE(status.reason, reason);
    QCOMPARE(status.state, reason.isEmpty() ? DeviceState::Ok : DeviceState::Problem);
    QVERIFY2(status.text.contains(says), qPrintable(status.text));
}

QTEST_MAIN(TestCups)
#include "tst_cups.moc"

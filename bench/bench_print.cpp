// Print jobs through the Qt adapter: to PDF, as on a desk without a printer, and to a CUPS queue (a
// private scheduler, its device a file) up to the moment the scheduler has accepted the job.
#include "print/fonts.h"
#include "print/qtprintsurface.h"
#include "print/receipt.h"
#include "print/statement.h"

#include "support/privatecups.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

orvane::Settings clinicSettings()
{
    orvane::Settings settings;
    settings.name1 = QStringLiteral("オルヴェイン");
    settings.name2 = QStringLiteral("デンタルクリニック");
    settings.addr = QStringLiteral("東京都港区芝公園1-2-3");
    settings.tel = QStringLiteral("03-0000-0000");
    return settings;
}

QString longStatement()
{
    QStringList fields{QStringLiteral("4711"), QStringLiteral("山田太郎様"), QStringLiteral("98")};
    for (int i = 1; i <= 98; ++i)
        fields.append(QStringLiteral("回?処置%1?1?1500?1500").arg(i));
    return QStringLiteral("prt") + fields.join(u'_');
}

// The scheduler of the CUPS benchmarks, started once; nullptr where none can run.
orvane::test::PrivateCups* scheduler()
{
    static std::unique_ptr<orvane::test::PrivateCups> cups = [] {
        auto started = std::make_unique<orvane::test::PrivateCups>();
        if (!started->start() || !started->addQueue())
            started.reset();
        return started;
    }();
    return cups.get();
}

void printReceipts(benchmark::State& state, orvane::PrintQueues* queues)
{
    QTemporaryDir dir;
    orvane::QtPrintSurface surface(queues ? orvane::QtPrintSurface::Target::DefaultPrinter
                                          : orvane::QtPrintSurface::Target::Pdf,
                                   dir.filePath(QStringLiteral("prints")), queues);
    const orvane::Settings settings = clinicSettings();
    const QString counter = dir.filePath(QStringLiteral("counter.txt"));
    for (auto _ : state)
        orvane::printReceipt(surface, QStringLiteral("rsh山田太郎様/12000/960/3"), settings,
                             QDate::currentDate(), counter);
    if (queues && !surface.lastPdf().isEmpty())
        state.SkipWithError("a job was not accepted");
}

// The longest statement the layout holds: 98 items, 7 pages.
void printStatements(benchmark::State& state, orvane::PrintQueues* queues)
{
    QTemporaryDir dir;
    orvane::QtPrintSurface surface(queues ? orvane::QtPrintSurface::Target::DefaultPrinter
                                          : orvane::QtPrintSurface::Target::Pdf,
                                   dir.filePath(QStringLiteral("prints")), queues);
    orvane::Settings settings = clinicSettings();
    settings.foot1 = QStringLiteral("お大事になさってください");
    const QString command = longStatement();
    int pages = 0;
    for (auto _ : state)
        pages = orvane::printStatement(surface, command, settings).pages;
    if (pages != 7)
        state.SkipWithError("not 7 pages");
    if (queues && !surface.lastPdf().isEmpty())
        state.SkipWithError("a job was not accepted");
}

void BM_ReceiptToPdf(benchmark::State& state)
{
    printReceipts(state, nullptr);
}

void BM_StatementToPdf(benchmark::State& state)
{
    printStatements(state, nullptr);
}

void BM_ReceiptToCups(benchmark::State& state)
{
    if (!scheduler())
        return state.SkipWithError("no private CUPS scheduler can run here");
    orvane::CupsPrintQueues queues;
    printReceipts(state, &queues);
}

void BM_StatementToCups(benchmark::State& state)
{
    if (!scheduler())
        return state.SkipWithError("no private CUPS scheduler can run here");
    orvane::CupsPrintQueues queues;
    printStatements(state, &queues);
}

} // namespace

BENCHMARK(BM_ReceiptToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatementToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiptToCups)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatementToCups)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    orvane::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

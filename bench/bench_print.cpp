// Print jobs to PDF through the Qt adapter, as on a desk without a printer.
#include "print/fonts.h"
#include "print/qtprintsurface.h"
#include "print/receipt.h"
#include "print/statement.h"

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

void BM_ReceiptToPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    orvane::QtPrintSurface surface(orvane::QtPrintSurface::Target::Pdf,
                                   dir.filePath(QStringLiteral("prints")));
    const orvane::Settings settings = clinicSettings();
    const QString counter = dir.filePath(QStringLiteral("counter.txt"));
    for (auto _ : state)
        orvane::printReceipt(surface, QStringLiteral("rsh山田太郎様/12000/960/3"), settings,
                             QDate::currentDate(), counter);
}

// The longest statement the layout holds: 98 items, 7 pages.
void BM_StatementToPdf(benchmark::State& state)
{
    QTemporaryDir dir;
    orvane::QtPrintSurface surface(orvane::QtPrintSurface::Target::Pdf,
                                   dir.filePath(QStringLiteral("prints")));
    orvane::Settings settings = clinicSettings();
    settings.foot1 = QStringLiteral("お大事になさってください");
    QStringList fields{QStringLiteral("4711"), QStringLiteral("山田太郎様"), QStringLiteral("98")};
    for (int i = 1; i <= 98; ++i)
        fields.append(QStringLiteral("回?処置%1?1?1500?1500").arg(i));
    const QString command = QStringLiteral("prt") + fields.join(u'_');
    int pages = 0;
    for (auto _ : state)
        pages = orvane::printStatement(surface, command, settings).pages;
    if (pages != 7)
        state.SkipWithError("not 7 pages");
}

} // namespace

BENCHMARK(BM_ReceiptToPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatementToPdf)->Unit(benchmark::kMillisecond);

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

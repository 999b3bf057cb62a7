// Print jobs to PDF through the Qt adapter, as on a desk without a printer.
#include "print/fonts.h"
#include "print/qtprintsurface.h"
#include "print/receipt.h"

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
    orvane::QtPrintSurface surface(orvane::QtPrintSurface::Target::Pdf, dir.filePath(QStringLiteral("prints")));
    const orvane::Settings settings = clinicSettings();
    const QString counter = dir.filePath(QStringLiteral("counter.txt"));
    for (auto _ : state)
        orvane::printReceipt(surface, QStringLiteral("rsh山田太郎様/12000/960/3"), settings, QDate::currentDate(), counter);
}

} // namespace

BENCHMARK(BM_ReceiptToPdf)->Unit(benchmark::kMillisecond);

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

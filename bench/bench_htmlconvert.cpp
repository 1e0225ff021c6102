// Converting 100 reports of 20 pages each to HTML: through the frame's
// conversion run (limits, failure list, closing message) and, beside it,
// calling the HTML exporter directly on the same files. The frame's run
// should cost no more than the exporter's own work.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include "engine/creporthandle.h"
#include "exchange/chtmlexporter.h"
#include "frames/cmainframe.h"

namespace {

struct Reports {
    QTemporaryDir dir;
    QStringList files;
    bool ok = true;
    Reports() {
        for (int i = 0; i < 100 && ok; ++i) {
            const QString path = dir.filePath(QStringLiteral("r%1.rep").arg(i));
            CReportHandle made(path);
            ok = made.IsOpen() && made.AppendRowColPage(20, 2) == 0 && made.Save() == 0;
            files << path;
        }
    }
    // The page files of the last run go, so each run writes them anew
    // rather than asking whether to replace them.
    void clearPages() { QDir(dir.filePath(QStringLiteral("html"))).removeRecursively(); }
};

Reports* reports() {
    static Reports* r = new Reports;
    return r;
}

void BM_HtmlConversionRun(benchmark::State& state) {
    Reports* r = reports();
    if (!r->ok) {
        state.SkipWithError("the reports could not be made");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        r->clearPages();
        state.ResumeTiming();
        const qor::frames::HtmlConversion result = qor::frames::ConvertReportsToHtml(r->files);
        benchmark::DoNotOptimize(result.converted);
        if (result.converted != 100) state.SkipWithError("a report was not converted");
    }
}
BENCHMARK(BM_HtmlConversionRun)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_HtmlExporterDirect(benchmark::State& state) {
    Reports* r = reports();
    if (!r->ok) {
        state.SkipWithError("the reports could not be made");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        r->clearPages();
        state.ResumeTiming();
        int written = 0;
        for (const QString& file : r->files) {
            CHtmlExporter exporter;
            if (exporter.OpenSource(file, 0) && exporter.ExportPages()) ++written;
        }
        benchmark::DoNotOptimize(written);
    }
}
BENCHMARK(BM_HtmlExporterDirect)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

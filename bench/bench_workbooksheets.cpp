// Workbooks of many sheets and of many cells:
//   - a report of 300 and of 3,000 pages (5 x 3 cells each) saved as .xlsx
//     and read back into a new report; the 3,000-page run reports its time
//     over the 300-page one ("vs_300_pages", linear is 10, aim at most 15);
//   - an .xlsx of one million cells (one sheet of 10,000 rows by 100
//     columns, every tenth column text) read into the workbook engine:
//     "peak_MiB_per_Mcells" is the growth of the resident set at its
//     highest over the read (aim under 300), "kept_MiB_per_Mcells" what the
//     workbook read still holds.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <memory>

#include "bench/peakmemory.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelexportdriver.h"
#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::map<int, double> g_pageSeconds;

void BM_WorkbookPagesRoundTrip(benchmark::State& state) {
    const int pages = int(state.range(0));
    QTemporaryDir dir;
    const QString report = dir.path() + QStringLiteral("/pages.rep");
    const QString book = dir.path() + QStringLiteral("/pages.xlsx");
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    {
        CReportHandle h(report);
        uint16_t rows = 5, cols = 3;
        h.AccessTableSize(1, &rows, &cols);
        h.EnterDataState();
        h.AppendRowColPage(pages, 2);
        for (int p = 1; p <= pages; ++p) h.SetCellValue(CellValue::ofNumber(p), 1, 1, p);
        if (h.Save() != 0) state.SkipWithError("the report was not saved");
    }
    double seconds = 0, exporting = 0;
    int run = 0;
    for (auto _ : state) {
        auto source = std::make_unique<CReportHandle>(report, CReportHandle::OpenMode::OpenExisting);
        auto target = std::make_unique<CReportHandle>(
            dir.path() + QStringLiteral("/back%1.rep").arg(++run));
        const auto start = std::chrono::steady_clock::now();
        if (ExportReportToExcel(source.get(), book) != 1) state.SkipWithError("export failed");
        exporting += secondsSince(start);
        if (qor::ImportExcelWorkbook(target.get(), book, nullptr) != 1)
            state.SkipWithError("import failed");
        seconds += secondsSince(start);
        if (target->GetPageCount() != pages) state.SkipWithError("pages lost");
    }
    qor::setTraceHook(quiet);
    const double n = double(state.iterations());
    g_pageSeconds[pages] = seconds / n;
    g_pageSeconds[-pages] = exporting / n;
    state.counters["export_s"] = exporting / n;
    state.counters["import_s"] = (seconds - exporting) / n;
    if (pages == 3000 && g_pageSeconds[300] > 0) {
        state.counters["vs_300_pages"] = g_pageSeconds[3000] / g_pageSeconds[300];
        // The export's share is mostly the file system making and
        // dropping the writer's temporary file of each sheet.
        state.counters["import_vs_300_pages"] = (g_pageSeconds[3000] - g_pageSeconds[-3000]) /
                                                (g_pageSeconds[300] - g_pageSeconds[-300]);
    }
}
BENCHMARK(BM_WorkbookPagesRoundTrip)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_XlsxMillionCellsMemory(benchmark::State& state) {
    constexpr int kRows = 10000, kCols = 100;
    QTemporaryDir dir;
    const QString book = dir.path() + QStringLiteral("/cells.xlsx");
    {
        std::unique_ptr<qor::XlStreamWriter> w = qor::OpenWorkbookWriter(book, {QStringLiteral("S")}, 0);
        qor::XlWorksheet ws(QStringLiteral("S"));
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= kCols; ++c) {
                qor::XlCell& cell = ws.cell(r, c);
                if (c % 10 == 0) {
                    cell.kind = qor::XlCell::Text;
                    cell.text = QStringLiteral("项目%1-%2").arg(r).arg(c);
                } else {
                    cell.kind = qor::XlCell::Number;
                    cell.number = r * 1000.25 + c;
                }
            }
        w->writeSheet(0, ws);
        w->commit();
    }
    const double mcells = double(kRows) * kCols / 1e6;
    double peak = 0, kept = 0;
    for (auto _ : state) {
        qorbench::PeakMemory memory;
        const double before = qorbench::statusKiB("VmRSS:");
        std::unique_ptr<qor::XlWorkbook> wb = qor::ReadXlsxWorkbook(book);
        peak = std::max(peak, memory.growthMiB());
        kept = (qorbench::statusKiB("VmRSS:") - before) / 1024;
        benchmark::DoNotOptimize(wb.get());
    }
    state.counters["peak_MiB_per_Mcells"] = peak / mcells;
    state.counters["kept_MiB_per_Mcells"] = kept / mcells;
}
BENCHMARK(BM_XlsxMillionCellsMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

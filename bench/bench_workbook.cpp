// Workbook (.xlsx) export of a 1,000 x 100 report of 12 pages, beside
// libxlsxwriter writing the same numbers with one number format, with and
// without its constant-memory mode. The export runs last and reports its
// time over each raw loop's ("vs_raw", "vs_raw_constant"; the aim is at
// most 2.5) and how far its resident memory grew for 1 and for 12 pages
// ("peak_mib"; the aim is that it does not grow with the pages).
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <map>

#include "bench/peakmemory.h"
#include "engine/creporthandle.h"
#include "exchange/excelexportdriver.h"
#include "engine/messages.h"

namespace {

constexpr uint16_t kRows = 1000;
constexpr uint16_t kCols = 100;
constexpr int kPages = 12;

double value(int page, int row, int col) { return row * 1000.25 + col + page; }

struct Fixture {
    QTemporaryDir dir;
    QString report;

    Fixture() {
        report = dir.path() + "/wb.rep";
        CReportHandle h(report);
        uint16_t r = kRows, c = kCols;
        h.AccessTableSize(1, &r, &c);
        int32_t kind = kCellNumber;
        const CellArea all = CellArea::area(1, 1, kRows, kCols);
        h.AccessAreaFormat(1, 0, &kind, &all);
        h.EnterDataState();
        h.AppendRowColPage(kPages, 2);
        for (int p = 1; p <= kPages; ++p)
            for (int row = 1; row <= kRows; ++row)
                for (int col = 1; col <= kCols; ++col)
                    h.SetCellValue(CellValue::ofNumber(value(p, row, col)), row, col, p);
        h.Save();
    }
    // A copy of the report keeping its first `pages` pages.
    QString withPages(int pages) {
        const QString path = dir.path() + QStringLiteral("/wb%1.rep").arg(pages);
        if (QFile::exists(path)) return path;
        QFile::copy(report, path);
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        if (pages < kPages) h.DeleteRowColPage(pages + 1, kPages - pages, 2);
        h.Save();
        return path;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::map<int, double> g_rawSeconds;  // by constant-memory mode

void BM_RawLibxlsxwriter(benchmark::State& state) {
    Fixture& f = fixture();
    const bool constantMemory = state.range(0) != 0;
    const QByteArray out = QFile::encodeName(f.dir.path() + "/raw.xlsx");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lxw_workbook_options options{};
        options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
        lxw_workbook* wb = workbook_new_opt(out.constData(), &options);
        lxw_format* format = workbook_add_format(wb);
        format_set_num_format(format, "###.00");
        for (int p = 1; p <= kPages; ++p) {
            lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
            for (int row = 1; row <= kRows; ++row)
                for (int col = 1; col <= kCols; ++col)
                    worksheet_write_number(ws, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                           value(p, row, col), format);
        }
        if (workbook_close(wb) != LXW_NO_ERROR) state.SkipWithError("raw write failed");
        seconds += secondsSince(start);
    }
    g_rawSeconds[int(constantMemory)] = seconds / double(state.iterations());
    state.SetLabel(constantMemory ? "constant memory" : "in memory");
}
BENCHMARK(BM_RawLibxlsxwriter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_WorkbookExport(benchmark::State& state) {
    Fixture& f = fixture();
    const int pages = int(state.range(0));
    const QString report = f.withPages(pages);
    const QString out = f.dir.path() + "/export.xlsx";
    // The export's progress lines are not what is measured.
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto h = std::make_unique<CReportHandle>(report, CReportHandle::OpenMode::OpenExisting);
        state.ResumeTiming();
        const qorbench::PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (ExportReportToExcel(h.get(), out) != 1) state.SkipWithError("export failed");
        seconds += secondsSince(start);
        peak = std::max(peak, memory.growthMiB());
        state.PauseTiming();
        h.reset();
        state.ResumeTiming();
    }
    qor::setTraceHook(quiet);
    state.counters["peak_mib"] = peak;
    state.counters["cells"] = double(kRows) * kCols * pages;
    const double perIteration = seconds / double(state.iterations());
    if (pages == kPages) {
        if (g_rawSeconds.count(0)) state.counters["vs_raw"] = perIteration / g_rawSeconds[0];
        if (g_rawSeconds.count(1))
            state.counters["vs_raw_constant"] = perIteration / g_rawSeconds[1];
    }
}
BENCHMARK(BM_WorkbookExport)->Arg(1)->Arg(4)->Arg(kPages)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

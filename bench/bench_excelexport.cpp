// Workbook export of a full-size report (9,999 x 255, 12 pages; numbers,
// every tenth column Chinese text) as .xlsx and as .xls, each run beside
// libxlsxwriter in its constant-memory mode writing the same cells with one
// format for numbers and one for texts. The two sides alternate within each
// benchmark; medians are compared. Counters:
//   ratio             .xlsx export time over the reference's (aim 1.3 or less)
//   vs_xlsx_reference the same for the .xls export (no aim: for comparison)
//   peak_mib          how far resident memory grew during the export
//   peak_over_report  that growth over the report file's size (aim below 0.5)
//   ref_peak_mib      the same growth for the reference
// QOR_BENCH_EXPORT_PAGES sets fewer pages for a quick run.
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/peakmemory.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelexportdriver.h"

namespace {

constexpr uint16_t kRows = 9999;
constexpr uint16_t kCols = 255;

int pageCount() {
    const int n = qEnvironmentVariableIntValue("QOR_BENCH_EXPORT_PAGES");
    return n > 0 ? std::min(n, 12) : 12;
}

bool isTextColumn(int col) { return col % 10 == 0; }
double value(int page, int row, int col) { return row * 100.25 + col + page; }
QString text(int row, int col) { return QStringLiteral("项目%1-%2").arg(row).arg(col); }

struct Fixture {
    QTemporaryDir dir;
    QString report;
    int pages = pageCount();
    double reportMiB = 0;

    Fixture() {
        report = dir.path() + QStringLiteral("/big.rep");
        CReportHandle h(report);
        uint16_t r = kRows, c = kCols;
        h.AccessTableSize(1, &r, &c);
        int32_t kind = kCellNumber;
        const CellArea all = CellArea::area(1, 1, kRows, kCols);
        h.AccessAreaFormat(1, qor::kFmtKind, &kind, &all);
        kind = kCellText;
        for (int col = 10; col <= kCols; col += 10) {
            const CellArea column = CellArea::area(1, col, kRows, col);
            h.AccessAreaFormat(1, qor::kFmtKind, &kind, &column);
        }
        h.EnterDataState();
        h.AppendRowColPage(pages, 2);
        for (int p = 1; p <= pages; ++p)
            for (int row = 1; row <= kRows; ++row)
                for (int col = 1; col <= kCols; ++col)
                    h.SetCellValue(isTextColumn(col) ? CellValue::ofText(text(row, col))
                                                     : CellValue::ofNumber(value(p, row, col)),
                                   row, col, p);
        h.Save();
        reportMiB = double(QFileInfo(report).size()) / (1024.0 * 1024.0);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

struct Run {
    double seconds = 0;
    double peakMiB = 0;
};

template <class F>
Run measure(F f) {
    const qorbench::PeakMemory memory;
    const auto start = std::chrono::steady_clock::now();
    f();
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakMiB = memory.growthMiB();
    return r;
}

// The same cells through libxlsxwriter alone, row by row.
bool writeReference(const QByteArray& path, int pages) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.constData(), &options);
    if (!wb) return false;
    lxw_format* number = workbook_add_format(wb);
    format_set_num_format(number, "##0");
    format_set_border(number, LXW_BORDER_THIN);
    lxw_format* label = workbook_add_format(wb);
    format_set_num_format(label, "@");
    format_set_border(label, LXW_BORDER_THIN);
    for (int p = 1; p <= pages; ++p) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
        for (int row = 1; row <= kRows; ++row)
            for (int col = 1; col <= kCols; ++col) {
                const lxw_row_t r = lxw_row_t(row - 1);
                const lxw_col_t c = lxw_col_t(col - 1);
                if (isTextColumn(col))
                    worksheet_write_string(ws, r, c, text(row, col).toUtf8().constData(), label);
                else
                    worksheet_write_number(ws, r, c, value(p, row, col), number);
            }
    }
    return workbook_close(wb) == LXW_NO_ERROR;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_ReportExport(benchmark::State& state, const char* suffix) {
    Fixture& f = fixture();
    const QString out = f.dir.path() + QStringLiteral("/export.") + QLatin1String(suffix);
    const QByteArray reference = QFile::encodeName(f.dir.path() + QStringLiteral("/reference.xlsx"));
    // The export's progress lines are not what is measured.
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    std::vector<double> ours, theirs, ourPeak, theirPeak;
    for (auto _ : state) {
        const Run ref = measure([&] {
            if (!writeReference(reference, f.pages)) state.SkipWithError("reference failed");
        });
        QFile::remove(QFile::decodeName(reference));
        auto h = std::make_unique<CReportHandle>(f.report, CReportHandle::OpenMode::OpenExisting);
        const Run run = measure([&] {
            if (ExportReportToExcel(h.get(), out) != 1) state.SkipWithError("export failed");
        });
        h.reset();
        QFile::remove(out);
        ours.push_back(run.seconds);
        theirs.push_back(ref.seconds);
        ourPeak.push_back(run.peakMiB);
        theirPeak.push_back(ref.peakMiB);
        state.SetIterationTime(run.seconds);
    }
    qor::setTraceHook(quiet);
    // The .xls has no writer of its own kind to compare with: its aim is
    // memory only, and its time is shown beside the .xlsx reference's.
    const bool xlsx = QLatin1String(suffix) == QLatin1String("xlsx");
    state.counters[xlsx ? "ratio" : "vs_xlsx_reference"] = median(ours) / median(theirs);
    state.counters["export_s"] = median(ours);
    state.counters["reference_s"] = median(theirs);
    state.counters["peak_mib"] = *std::max_element(ourPeak.begin(), ourPeak.end());
    state.counters["ref_peak_mib"] = *std::max_element(theirPeak.begin(), theirPeak.end());
    state.counters["report_mib"] = f.reportMiB;
    state.counters["peak_over_report"] = state.counters["peak_mib"] / f.reportMiB;
    state.SetLabel(QStringLiteral("9,999 x 255, %1 pages").arg(f.pages).toStdString());
}
BENCHMARK_CAPTURE(BM_ReportExport, xlsx, "xlsx")
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_ReportExport, xls, "xls")
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(3);

}  // namespace

// Memory of reading numeric sheets into a report, per cell kept: the same
// 1,000 x 255 numbers (255,000 cells; QOR_BENCH_XMLSHEET_ROWS sets the
// rows, up to 9,999) as spreadsheet XML, whose figures the report keeps as
// labels, and as .xlsx, whose numbers it keeps as numbers. Each is imported
// into a new report and saved, as `qor convert` does, and reports:
//   - "peak_MiB": the resident growth over the import and the save;
//   - "bytes_per_cell": that growth over the cells kept (the aim: the
//     spreadsheet XML import no dearer a cell than the .xlsx import);
//   - "seconds" and "cells".
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>

#include "bench/peakmemory.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelimport.h"
#include "exchange/spreadsheetxml.h"

namespace {

constexpr int kCols = 255;

int rowCount() {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("QOR_BENCH_XMLSHEET_ROWS", &ok);
    return ok && v > 0 ? std::min(v, 9999) : 1000;
}

// The figure of a cell: two decimals, six to nine characters.
double figure(int r, int c) { return double((r * kCols + c) * 37) / 100.0; }

struct Books {
    QTemporaryDir dir;
    QString xml, xlsx;
    int rows = rowCount();

    Books() {
        xml = dir.path() + QStringLiteral("/numbers.xml");
        QFile f(xml);
        if (!f.open(QIODevice::WriteOnly)) {
            xml.clear();
        } else {
            f.write("<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\""
                    " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n<Worksheet ss:Name=\"S\"><Table>\n");
            for (int r = 0; r < rows; ++r) {
                QByteArray row = "<Row>";
                for (int c = 0; c < kCols; ++c)
                    row += "<Cell><Data ss:Type=\"Number\">" + QByteArray::number(figure(r, c), 'f', 2) +
                           "</Data></Cell>";
                f.write(row + "</Row>\n");
            }
            f.write("</Table></Worksheet></Workbook>\n");
        }
        xlsx = dir.path() + QStringLiteral("/numbers.xlsx");
        lxw_workbook* wb = workbook_new(QFile::encodeName(xlsx).constData());
        lxw_worksheet* ws = workbook_add_worksheet(wb, "S");
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < kCols; ++c) worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), figure(r, c), nullptr);
        if (workbook_close(wb) != LXW_NO_ERROR) xlsx.clear();
    }
};

Books& books() {
    static Books b;
    return b;
}

// Imports into a new report with `import` and saves it, once.
template <class Import>
void measure(benchmark::State& state, const QString& book, Import import) {
    const Books& b = books();
    if (book.isEmpty()) {
        state.SkipWithError("the book was not written");
        return;
    }
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    const QString report = b.dir.path() + QStringLiteral("/import.rep");
    for (auto _ : state) {
        QFile::remove(report);
        qorbench::PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        {
            auto h = std::make_unique<CReportHandle>(report);
            if (!import(*h, book)) state.SkipWithError("the import failed");
            if (h->Save() != 0) state.SkipWithError("the report was not saved");
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cells = double(b.rows) * kCols;
        state.SetIterationTime(seconds);
        state.counters["peak_MiB"] = memory.growthMiB();
        state.counters["bytes_per_cell"] = memory.growthMiB() * 1024 * 1024 / cells;
        state.counters["seconds"] = seconds;
        state.counters["cells"] = cells;
    }
    QFile::remove(report);
    qor::setTraceHook(quiet);
}

void BM_SpreadsheetXmlNumbersMemory(benchmark::State& state) {
    measure(state, books().xml,
            [](CReportHandle& h, const QString& path) { return qor::ImportSpreadsheetXml(h, path).ok; });
}
BENCHMARK(BM_SpreadsheetXmlNumbersMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_XlsxNumbersMemory(benchmark::State& state) {
    measure(state, books().xlsx, [](CReportHandle& h, const QString& path) {
        return qor::ImportExcelWorkbook(&h, path, nullptr) == 1;
    });
}
BENCHMARK(BM_XlsxNumbersMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

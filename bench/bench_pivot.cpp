// The pivot of 255 cells over 1,000 pages: building its grid against the
// same cell reads alone, and saving it against writing the same values
// into a new report with SetCellValue.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "dialogs/pivot_logic.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/textutil.h"

namespace {

constexpr int kPages = 1000;
constexpr int kCells = 255;

struct PivotReport {
    QTemporaryDir dir;
    std::unique_ptr<CReportHandle> h;
    PivotReport() {
        h = std::make_unique<CReportHandle>(dir.path() + "/pivot.rep");
        uint16_t r = 1, c = kCells;
        h->AccessTableSize(1, &r, &c);
        h->EnterDataState();
        h->AppendRowColPage(kPages, 2);
        for (int p = 1; p <= kPages; ++p)
            for (int c = 1; c <= kCells; ++c) h->SetCellValue(CellValue::ofNumber(p * 1000 + c), 1, c, p);
        h->Save();
        h->SetCurPage(1);
    }
    static PivotReport& get() {
        static PivotReport r;
        return r;
    }
};

QList<CalcRange> wholeRow() {
    CalcRange a;
    a.r1 = 0;
    a.c1 = 0;
    a.r2 = 0;
    a.c2 = kCells - 1;
    return {a};
}

void BM_PivotGridBuild(benchmark::State& state) {
    PivotReport& r = PivotReport::get();
    for (auto _ : state) benchmark::DoNotOptimize(qor::BuildPivotGrid(*r.h, wholeRow(), {}));
}
BENCHMARK(BM_PivotGridBuild)->Unit(benchmark::kMillisecond);

void BM_PivotSameReadsAlone(benchmark::State& state) {
    PivotReport& r = PivotReport::get();
    for (auto _ : state) {
        CellValue v;
        for (int p = 1; p <= kPages; ++p)
            for (int c = 1; c <= kCells; ++c) {
                r.h->GetCellValue(&v, 1, c, p);
                benchmark::DoNotOptimize(v);
            }
    }
}
BENCHMARK(BM_PivotSameReadsAlone)->Unit(benchmark::kMillisecond);

void BM_PivotSave(benchmark::State& state) {
    PivotReport& r = PivotReport::get();
    const qor::PivotGrid grid = qor::BuildPivotGrid(*r.h, wholeRow(), {});
    QTemporaryDir out;
    for (auto _ : state) {
        QString error;
        benchmark::DoNotOptimize(qor::SavePivotGrid(grid, out.path() + "/saved.rep", &error));
    }
}
BENCHMARK(BM_PivotSave)->Unit(benchmark::kMillisecond);

void BM_PivotSameWritesAlone(benchmark::State& state) {
    PivotReport& r = PivotReport::get();
    const qor::PivotGrid grid = qor::BuildPivotGrid(*r.h, wholeRow(), {});
    QTemporaryDir out;
    for (auto _ : state) {
        QFile::remove(out.path() + "/plain.rep");
        CReportHandle h(out.path() + "/plain.rep");
        uint16_t rows = uint16_t(grid.rows), cols = kCells;
        h.AccessTableSize(1, &rows, &cols);
        h.EnterDataState();
        h.AppendRowColPage(1, 2);
        for (int row = 1; row < grid.rows; ++row)
            for (int c = 1; c <= kCells; ++c)
                h.SetCellValue(CellValue::ofNumber(ParseDouble(grid.at(row, c))), row + 1, c, 1);
        h.Save();
    }
}
BENCHMARK(BM_PivotSameWritesAlone)->Unit(benchmark::kMillisecond);

}  // namespace

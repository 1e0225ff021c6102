// Cell values: every cell of a full-size page read and written in memory.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"

namespace {

constexpr uint16_t kRows = 9999;
constexpr uint16_t kCols = 255;

struct FullPage {
    QTemporaryDir dir;
    std::unique_ptr<CReportHandle> h;
    FullPage() {
        h = std::make_unique<CReportHandle>(dir.path() + "/cells.rep");
        uint16_t r = kRows, c = kCols;
        h->AccessTableSize(1, &r, &c);
        h->EnterDataState();
        h->AppendRowColPage(1, 2);
        h->SetCurPage(1);
    }
};

void BM_WriteEveryCell(benchmark::State& state) {
    FullPage f;
    for (auto _ : state) {
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= kCols; ++c)
                f.h->SetCellValue(CellValue::ofNumber(r * 0.25 + c), r, c);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kRows) * kCols);
}
BENCHMARK(BM_WriteEveryCell)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadEveryCell(benchmark::State& state) {
    FullPage f;
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kCols; ++c)
            f.h->SetCellValue(CellValue::ofNumber(state.range(0) ? r * 0.25 + c : r + c), r, c);
    double sum = 0;
    for (auto _ : state) {
        CellValue v;
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= kCols; ++c) {
                f.h->GetCellValue(&v, r, c, 0);
                sum += v.number;
            }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * int64_t(kRows) * kCols);
}
BENCHMARK(BM_ReadEveryCell)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

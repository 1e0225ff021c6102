// Recalculating a page that holds 20,000 cell formulas, each reading its
// neighbour, so the dependency order matters.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "cmdlang/enginehooks.h"
#include "engine/creporthandle.h"
#include "engine/textutil.h"

namespace {

constexpr int kRows = 200;
constexpr int kFormulaCols = 100;

void BM_RecalcPageOf20000Formulas(benchmark::State& state) {
    qor::cmd::InstallEngineHooks();
    QTemporaryDir dir;
    CReportHandle h(dir.path() + "/recalc.rep");
    uint16_t rows = kRows, cols = kFormulaCols + 1;
    h.AccessTableSize(1, &rows, &cols);
    // Column B reads A, C reads B, and so on: chains of 100 formulas.
    for (int r = 1; r <= kRows; ++r)
        for (int c = 2; c <= kFormulaCols + 1; ++c) {
            CellArea a = CellArea::cell(r, c);
            const QString prev = FormatCellRef(c - 2, r - 1);
            if (h.SetAreaFormula(&a, prev + "+1") != 0) state.SkipWithError("formula refused");
        }
    h.EnterDataState(0);
    h.AppendRowColPage(1, 2);
    h.SetCurPage(1);
    int seed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int r = 1; r <= kRows; ++r) h.SetCellValue(CellValue::ofNumber(r + seed), r, 1);
        ++seed;
        state.ResumeTiming();
        if (h.RecalcPage(1) != 0) state.SkipWithError("recalculation failed");
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kRows) * kFormulaCols);
}
BENCHMARK(BM_RecalcPageOf20000Formulas)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

// Format edits on a report with many pages: inserting rows in format state
// and switching back to data state must cost in proportion to the pages'
// size, not their count squared.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "engine/creporthandle.h"

namespace {

void BM_InsertRowsThenDataState(benchmark::State& state) {
    const int pages = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.path() + "/pages.rep";
    {
        CReportHandle h(path);
        uint16_t r = 200, c = 20;
        h.AccessTableSize(1, &r, &c);
        h.EnterDataState();
        h.AppendRowColPage(pages, 2);
        for (int p = 1; p <= pages; ++p) {
            h.SetCurPage(p);
            for (int row = 1; row <= 200; row += 7)
                h.SetCellValue(CellValue::ofNumber(p * 1000 + row), row, 3);
        }
        h.Save();
    }
    for (auto _ : state) {
        state.PauseTiming();
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        state.ResumeTiming();
        h.EnterFormatState();
        uint16_t n = 3;
        h.InsertRowColPage(10, &n, 0);
        h.EnterDataState();
        h.Save();
    }
    state.SetComplexityN(pages);
}
BENCHMARK(BM_InsertRowsThenDataState)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Complexity(benchmark::oN);

}  // namespace

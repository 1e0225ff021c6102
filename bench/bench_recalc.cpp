// Recalculation: a page of 20,000 chained formulas; one cell set (open,
// set, recalculate, save) in reports of 1 to 2,000 pages whose format
// holds totals over pages, against the same reports without them; a script
// writing one cell on each of 1,000 pages, and a host doing the same
// through the engine; and a chain across 2,000 pages.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "cmdlang/ccalcinterpreter.h"
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

// A finance report of 20 x 8 numbers a page; with totals its format holds
// C4 = TOTAL(B4) and C5 = AVG(B5).
void makeTotalsReport(const QString& path, int pages, bool totals) {
    qor::cmd::InstallEngineHooks();
    CReportHandle h(path);
    uint16_t rows = 20, cols = 8;
    h.AccessTableSize(1, &rows, &cols);
    if (totals) {
        CellArea c4 = CellArea::cell(4, 3), c5 = CellArea::cell(5, 3);
        h.SetAreaFormula(&c4, QStringLiteral("TOTAL(B4)"));
        h.SetAreaFormula(&c5, QStringLiteral("AVG(B5)"));
    }
    h.EnterDataState(0);
    h.AppendRowColPage(pages, 2);
    for (int p = 1; p <= pages; ++p)
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= cols; ++c)
                if (!totals || c != 3 || (r != 4 && r != 5))
                    h.SetCellValue(CellValue::ofNumber(r * 100.5 + c + p), r, c, p);
    h.RecalcAll();
    h.Save();
}

// One set of B4 on the middle page as `qor set` does it: open, set, save
// (the save works out what reads the cell).
void BM_SetOneCell(benchmark::State& state) {
    const int pages = int(state.range(0));
    const bool totals = state.range(1) != 0;
    QTemporaryDir dir;
    const QString path = dir.path() + "/set.rep";
    makeTotalsReport(path, pages, totals);
    double v = 1;
    for (auto _ : state) {
        CReportHandle h(path);
        const int page = (pages + 1) / 2;
        h.SetCurPage(page);
        h.SetCellValue(CellValue::ofNumber(v++), 4, 2, page);
        if (h.Save() != 0 || h.LastRecalcSummary().errorCells)
            state.SkipWithError("save or recalculation failed");
    }
    state.SetLabel(totals ? "with totals" : "without formulas");
}
BENCHMARK(BM_SetOneCell)
    ->ArgsProduct({{1, 500, 2000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A script writing one cell on every page (FIND FOR MRECNO()=k, LET B4 =
// k, or LET B4 = B3*2+k reading a typed amount of the page), then saving.
void BM_LoopWritingEveryPage(benchmark::State& state) {
    constexpr int kPages = 1000;
    const bool totals = state.range(0) != 0;
    const bool reads = state.range(1) != 0;
    QTemporaryDir dir;
    const QString path = dir.path() + "/loop.rep";
    makeTotalsReport(path, kPages, totals);
    for (auto _ : state) {
        CReportHandle h(path);
        h.SetCurPage(1);
        CCalcInterpreter ci;
        ci.SetRunMode(0, CCalcInterpreter::kModeQuiet);
        ci.SetReport(&h);
        for (int k = 1; k <= kPages; ++k) {
            if (ci.RunLine(QStringLiteral("FIND FOR MRECNO()=%1").arg(k)) != 0 ||
                ci.RunLine(
                    (reads ? QStringLiteral("LET B4 = B3*2+%1") : QStringLiteral("LET B4 = %1"))
                        .arg(k)) != 0) {
                state.SkipWithError("script failed");
                break;
            }
        }
        if (h.Save() != 0) state.SkipWithError("save failed");
    }
    state.SetLabel(
        QStringLiteral("%1, %2")
            .arg(totals ? QStringLiteral("with totals") : QStringLiteral("without formulas"),
                 reads ? QStringLiteral("reading B3") : QStringLiteral("constant"))
            .toStdString());
}
BENCHMARK(BM_LoopWritingEveryPage)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A host (the Reader) reading B3 and writing B4 on every page, then saving.
void BM_HostLoopEveryPage(benchmark::State& state) {
    constexpr int kPages = 1000;
    const bool totals = state.range(0) != 0;
    QTemporaryDir dir;
    const QString path = dir.path() + "/host.rep";
    makeTotalsReport(path, kPages, totals);
    for (auto _ : state) {
        CReportHandle h(path);
        CellValue v;
        for (int k = 1; k <= kPages; ++k) {
            if (h.GetCellValue(&v, 3, 2, k) != 0 ||
                h.SetCellValue(CellValue::ofNumber(v.number + k), 4, 2, k) != 0) {
                state.SkipWithError("read or write failed");
                break;
            }
        }
        if (h.Save() != 0) state.SkipWithError("save failed");
    }
    state.SetLabel(totals ? "with totals" : "without formulas");
}
BENCHMARK(BM_HostLoopEveryPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// Row r of column B reads B(r+1) of page r+1: a chain through every page
// (pages x pages formula cells, since every page holds the chain), worked
// out after its far end changes.
void BM_ChainAcrossPages(benchmark::State& state) {
    const int pages = int(state.range(0));
    qor::cmd::InstallEngineHooks();
    QTemporaryDir dir;
    CReportHandle h(dir.path() + "/chain.rep");
    uint16_t rows = uint16_t(pages), cols = 2;
    h.AccessTableSize(1, &rows, &cols);
    for (int r = 1; r < pages; ++r) {
        CellArea a = CellArea::cell(r, 2);
        h.SetAreaFormula(&a, QStringLiteral("B%1@%1+1").arg(r + 1));
    }
    h.EnterDataState(0);
    h.AppendRowColPage(pages, 2);
    h.SetCurPage(1);
    h.RecalcAll();
    double v = 1;
    for (auto _ : state) {
        h.SetCellValue(CellValue::ofNumber(v++), pages, 2, pages);
        if (h.RecalcDependents(pages, pages, 2) != 0 || h.LastRecalcSummary().errorCells)
            state.SkipWithError("recalculation failed");
    }
}
BENCHMARK(BM_ChainAcrossPages)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

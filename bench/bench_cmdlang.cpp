// The command language: evaluating simple cell formulas against a page,
// and a TOTAL over a report of 1,000 pages.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "cmdlang/calcenvironment.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "cmdlang/parser.h"
#include "engine/creporthandle.h"

namespace {

constexpr int kFormulaCount = 1000000;

// A1+B1*2 moved over the cells of a 100 x 7 area, a million times in all.
void BM_EvaluateSimpleCellFormulas(benchmark::State& state) {
    QTemporaryDir dir;
    CReportHandle h(dir.path() + "/eval.rep");
    uint16_t rows = 100, cols = 9;
    h.AccessTableSize(1, &rows, &cols);
    h.EnterDataState(0);
    h.AppendRowColPage(1, 2);
    h.SetCurPage(1);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) h.SetCellValue(CellValue::ofNumber(r * c), r, c);
    const std::unique_ptr<qor::cmd::Formula> f = qor::cmd::ParseFormula(u"A1+B1*2");
    const qor::cmd::ReportScope scope = qor::cmd::ReportScope::Of(&h, nullptr);
    qor::cmd::ReportPageEnvironment env(scope, 1, h.GetPage(1));
    double sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < kFormulaCount; ++i) {
            qor::cmd::Evaluator ev(env, i % 100, i % 7);
            sum += ev.evaluateFormula(*f).value.asNumber();
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * int64_t(kFormulaCount));
}
BENCHMARK(BM_EvaluateSimpleCellFormulas)->Unit(benchmark::kMillisecond)->Iterations(3);

// TOTAL over 1,000 pages of 50 x 7 numbers with a variable area of 10
// lines, the result page appended and taken away again each round.
void BM_TotalOver1000Pages(benchmark::State& state) {
    qor::cmd::InstallEngineHooks();
    QTemporaryDir dir;
    CReportHandle h(dir.path() + "/total.rep");
    int kind = 1, start = 20, extent = 10;
    h.AccessVarArea(1, &kind, &start, &extent);
    h.EnterDataState(0);
    h.AppendRowColPage(1000, 2);
    for (int p = 1; p <= 1000; ++p) {
        h.SetCurPage(p);
        int lines = 10;
        h.AccessVarCount(1, &lines);
        h.SetPageKeyword(2, qor::KeywordValue{1, double(2000 + p % 5), {}}, p);
        for (int r = 1; r <= 59; ++r)
            for (int c = 1; c <= 7; ++c) h.SetCellValue(CellValue::ofNumber(p + r + c), r, c, p);
    }
    h.SetCurPage(1);
    CCalcInterpreter ci;
    ci.SetRunMode(0, CCalcInterpreter::kModeQuiet);
    ci.SetReport(&h);
    for (auto _ : state) {
        if (ci.RunLine(QStringLiteral("TOTAL ")) != 0) state.SkipWithError("TOTAL failed");
        state.PauseTiming();
        h.DeleteRowColPage(h.GetPageCount(), 1, 2);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_TotalOver1000Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

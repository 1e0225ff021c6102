// The formula list of a report with 20,000 cell formulas: filling the
// dialog's list and saving it as UTF-16 text, against building the list
// text alone, measured in the same run (aim: at most twice the CPU time;
// the save's wall time also holds the flush to disk that makes it safe).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "cmdlang/enginehooks.h"
#include "dialogs/cformulalistdlg.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"

namespace {

constexpr int kRows = 200;
constexpr int kFormulaCols = 100;

bool ensureWidgetApp() {
    if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qorbench";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return true;
}

// One report with a formula in each of 200 x 100 cells, made once.
struct ReportWithFormulas {
    CQorsDoc doc;
    bool ok = false;
    ReportWithFormulas() {
        qor::cmd::InstallEngineHooks();
        if (!doc.Files().OnNewDocument() || !doc.ResizeTable(kRows, kFormulaCols + 1)) return;
        CReportHandle* h = doc.GetReport();
        for (int r = 1; r <= kRows; ++r)
            for (int c = 2; c <= kFormulaCols + 1; ++c) {
                CellArea a = CellArea::cell(r, c);
                if (h->SetAreaFormula(&a, FormatCellRef(c - 2, r - 1) + "*2+1") != 0) return;
            }
        ok = true;
    }
};

ReportWithFormulas& report() {
    static ReportWithFormulas r;
    return r;
}

void BM_BuildFormulaListText(benchmark::State& state) {
    ReportWithFormulas& r = report();
    if (!r.ok) {
        state.SkipWithError("report not made");
        return;
    }
    for (auto _ : state) {
        QString text;
        r.doc.BuildFormulaListText(0, &text);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kRows) * kFormulaCols);
}
BENCHMARK(BM_BuildFormulaListText)->Unit(benchmark::kMillisecond);

void BM_FormulaListFillAndSave(benchmark::State& state) {
    if (!ensureWidgetApp()) {
        state.SkipWithError("needs a widget application");
        return;
    }
    ReportWithFormulas& r = report();
    if (!r.ok) {
        state.SkipWithError("report not made");
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.path() + "/formulas.txt";
    qor::UiServices s = qor::uiServices();
    s.chooseFile = [&](const qor::FilePrompt&) -> std::optional<QString> { return path; };
    const qor::UiServices previous = qor::installUiServices(s);
    // As a user does it: the dialog opens filled, and 保存 writes the list.
    for (auto _ : state) {
        CFormulaListDlg dlg;
        dlg.SetDocument(&r.doc);
        dlg.OnInitDialog();
        dlg.OnSave();
    }
    qor::installUiServices(previous);
    state.SetItemsProcessed(state.iterations() * int64_t(kRows) * kFormulaCols);
}
BENCHMARK(BM_FormulaListFillAndSave)->Unit(benchmark::kMillisecond);

}  // namespace

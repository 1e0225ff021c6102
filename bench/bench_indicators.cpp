// The financial-indicator computation: 1,000 indicators into the result
// library without the window's pacing, beside the same 1,000 "let" lines
// run straight through the command language.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "cmdlang/ccalcinterpreter.h"
#include "fininterface/indicatorrun.h"
#include "platform/inifile.h"

namespace {

constexpr int kIndicators = 1000;

QString expressionOf(int i) { return QStringLiteral("%1*2+%endyear%-1").arg(i); }

void put(const QString& path, const QString& text) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text.toUtf8());
}

// The interface file and the two libraries of 1,000 indicators.
struct Libraries {
    QTemporaryDir dir;
    qor::IndicatorSettings settings;
    Libraries() {
        QString ind = QStringLiteral("[ReportSoft]\r\nDecimal=2\r\n");
        QString formulas;
        for (int i = 0; i < kIndicators; ++i) {
            ind += QStringLiteral("[z%1]\r\nName=n%1\r\n").arg(i);
            formulas += QStringLiteral("[z%1]\r\nExpressions=%2\r\n").arg(i).arg(expressionOf(i));
        }
        put(dir.filePath("ind.ini"), ind + QStringLiteral("[end]\r\n"));
        put(dir.filePath("f.ini"), formulas);
        put(dir.filePath("i.ini"),
            QStringLiteral(
                "[InterCS]\r\nEndTime=2004-12-31\r\nCWZBK_File=%1/ind.ini\r\n"
                "CWGSK_File=%1/f.ini\r\nCWSJK_File=%1/out.ini\r\nLog_File=%1/log.txt\r\n")
                .arg(dir.path()));
        qor::ReadInterfaceFile(dir.filePath("i.ini"), &settings);
    }
};

void BM_Compute1000Indicators(benchmark::State& state) {
    const Libraries libs;
    const qor::IndicatorSettings& settings = libs.settings;
    // Five trace lines per indicator still go to the log file and the trace
    // hook; only their echo on the console is off, which measures the
    // terminal rather than the computation.
    QLoggingCategory::setFilterRules(QStringLiteral("qor.trace.debug=false"));
    const auto computeAll = [&settings] {
        qor::CIndicatorRun run(settings, [](const QString& line) {
            return RunCommandLineForDocument(nullptr, line, 0x12);
        });
        QString message;
        run.Start(&message);
        while (!run.Done()) run.Step();
        run.Finish();
    };
    // One run before the timed ones, as the baseline gets: what a process
    // does once (the code-page converter, the command language's tables)
    // is not the computation's cost per run.
    computeAll();
    for (auto _ : state) computeAll();
    state.SetItemsProcessed(state.iterations() * kIndicators);
}
BENCHMARK(BM_Compute1000Indicators)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Run1000LetLines(benchmark::State& state) {
    const auto runAll = [] {
        for (int i = 0; i < kIndicators; ++i) {
            RunCommandLineForDocument(nullptr, QStringLiteral("let &abcdefg = -1.7E+308"), 0x12);
            RunCommandLineForDocument(nullptr, QStringLiteral("let &abcdefg = %1*2+2004-1").arg(i),
                                      0x12);
            RunCommandLineForDocument(nullptr, QStringLiteral("free &abcdefg"), 0x12);
        }
    };
    runAll();
    for (auto _ : state) runAll();
    state.SetItemsProcessed(state.iterations() * kIndicators);
}
BENCHMARK(BM_Run1000LetLines)->Unit(benchmark::kMillisecond)->Iterations(10);

// The one command line a run still hands the language per indicator (the
// unset mark and the free go straight to the variable table): what the
// run costs beyond the language's own work is the difference.
void BM_Run1000ExpressionLines(benchmark::State& state) {
    CCalcRuntime& rt = CCalcInterpreter::Instance().Runtime();
    for (auto _ : state) {
        for (int i = 0; i < kIndicators; ++i) {
            RunCommandLineForDocument(nullptr, QStringLiteral("let &abcdefg = %1*2+2004-1").arg(i),
                                      0x12);
            rt.FreeVariable(u"&abcdefg");
        }
    }
    state.SetItemsProcessed(state.iterations() * kIndicators);
}
BENCHMARK(BM_Run1000ExpressionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// What a run cannot do without: reading the indicator and formula
// libraries once.
void BM_Read1000IndicatorLibraries(benchmark::State& state) {
    const Libraries libs;
    for (auto _ : state) {
        const qor::IniFile indicators(libs.settings.indicatorLib);
        const qor::IniFile formulas(libs.settings.formulaLib);
        benchmark::DoNotOptimize(indicators.exists() && formulas.exists());
    }
}
BENCHMARK(BM_Read1000IndicatorLibraries)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

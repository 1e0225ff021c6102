// The financial-indicator computation: 1,000 indicators into the result
// library without the window's pacing, beside the same 1,000 "let" lines
// run straight through the command language.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "cmdlang/ccalcinterpreter.h"
#include "fininterface/indicatorrun.h"

namespace {

constexpr int kIndicators = 1000;

QString expressionOf(int i) { return QStringLiteral("%1*2+%endyear%-1").arg(i); }

void put(const QString& path, const QString& text) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text.toUtf8());
}

void BM_Compute1000Indicators(benchmark::State& state) {
    QTemporaryDir dir;
    QString ind = QStringLiteral("[ReportSoft]\r\nDecimal=2\r\n");
    QString formulas;
    for (int i = 0; i < kIndicators; ++i) {
        ind += QStringLiteral("[z%1]\r\nName=n%1\r\n").arg(i);
        formulas += QStringLiteral("[z%1]\r\nExpressions=%2\r\n").arg(i).arg(expressionOf(i));
    }
    put(dir.filePath("ind.ini"), ind + QStringLiteral("[end]\r\n"));
    put(dir.filePath("f.ini"), formulas);
    put(dir.filePath("i.ini"),
        QStringLiteral("[InterCS]\r\nEndTime=2004-12-31\r\nCWZBK_File=%1/ind.ini\r\n"
                       "CWGSK_File=%1/f.ini\r\nCWSJK_File=%1/out.ini\r\nLog_File=%1/log.txt\r\n")
            .arg(dir.path()));
    qor::IndicatorSettings settings;
    qor::ReadInterfaceFile(dir.filePath("i.ini"), &settings);
    for (auto _ : state) {
        qor::CIndicatorRun run(settings, [](const QString& line) {
            return RunCommandLineForDocument(nullptr, line, 0x12);
        });
        QString message;
        run.Start(&message);
        while (!run.Done()) run.Step();
        run.Finish();
    }
    state.SetItemsProcessed(state.iterations() * kIndicators);
}
BENCHMARK(BM_Compute1000Indicators)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Run1000LetLines(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < kIndicators; ++i) {
            RunCommandLineForDocument(nullptr, QStringLiteral("let &abcdefg = -1.7E+308"), 0x12);
            RunCommandLineForDocument(nullptr, QStringLiteral("let &abcdefg = %1*2+2004-1").arg(i),
                                      0x12);
            RunCommandLineForDocument(nullptr, QStringLiteral("free &abcdefg"), 0x12);
        }
    }
    state.SetItemsProcessed(state.iterations() * kIndicators);
}
BENCHMARK(BM_Run1000LetLines)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

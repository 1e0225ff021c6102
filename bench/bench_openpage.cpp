// Reading one page of a full-size report from the command line: whole
// `qor` processes (started through QProcess, i.e. fork and exec), each side
// measured alternately in the same run and compared by medians.
//  - `qor get big.rep 12 9999 255` against the same call on a 50 x 7 x 12
//    report: the large one's floor is reading its format stream and
//    checking the one page record asked for.
//  - `qor pages big.rep` against `cat big.rep`: listing keywords reads
//    every page record once and builds no page.
// Both read the cell formats only when used: `get` reads its one word
// through a small buffer, `pages` none. The peak resident memory of the
// largest child (`peak_mib`) shows what a large report's `get` holds.
// QOR_BENCH_QOR names another `qor` to measure instead (an older build,
// for figures before and after a change).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "engine/creporthandle.h"

namespace {

constexpr uint16_t kRows = 9999;
constexpr uint16_t kCols = 255;
constexpr int kPages = 12;

// Large fixtures go to memory-backed storage when there is some: the
// figures then compare the program with the copy of the same bytes, not
// the disk.
QString fixtureRoot() {
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
}

// A report of rows x cols x kPages with a value in the last cell of the
// last page and a keyword on every page.
QString makeReport(const QString& path, uint16_t rows, uint16_t cols) {
    QFile::remove(path);
    CReportHandle h(path);
    h.AccessTableSize(1, &rows, &cols);
    h.AppendRowColPage(kPages, 2);
    h.EnterDataState();
    for (int p = 1; p <= kPages; ++p)
        h.SetPageKeyword(0, qor::KeywordValue{2, 0, QStringLiteral("单位%1").arg(p)}, p, 0);
    h.SetCurPage(kPages);
    h.GetCurrentPage()->SetNumber(rows, cols, 42.5);
    h.Save();
    return h.GetPathName();
}

struct Runner {
    QTemporaryDir dir{fixtureRoot() + QStringLiteral("/qor-bench-XXXXXX")};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString large, small;

    Runner() {
        env.insert("QOR_HOME", dir.path() + "/home");
        env.insert("QOR_REGISTRY", dir.path() + "/registry.ini");
        large = makeReport(dir.path() + "/big.rep", kRows, kCols);
        small = makeReport(dir.path() + "/small.rep", 50, 7);
        run(binary(), {"get", small, "1", "1", "1"});  // registers
    }
    // Seconds the process took, start to end; its output is thrown away.
    double run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        p.waitForFinished(120000);
        const double s = double(t.nsecsElapsed()) / 1e9;
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return -1;
        return s;
    }
    double qor(const QStringList& args) { return run(binary(), args); }
    static QString binary() {
        const QString other = qEnvironmentVariable("QOR_BENCH_QOR");
        return other.isEmpty() ? QStringLiteral(QOR_APP_BINARY) : other;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Alternates the two sides pair by pair; counters in milliseconds.
template <class A, class B>
void comparePairs(benchmark::State& state, const char* aName, const char* bName, A a, B b) {
    std::vector<double> as, bs;
    for (auto _ : state) {
        const double x = a();
        const double y = b();
        if (x < 0 || y < 0) {
            state.SkipWithError("a process failed");
            return;
        }
        as.push_back(x);
        bs.push_back(y);
        state.SetIterationTime(x);
    }
    const double ma = median(as), mb = median(bs);
    state.counters[aName] = ma * 1e3;
    state.counters[bName] = mb * 1e3;
    state.counters["ratio"] = ma / mb;
}

Runner& runner() {
    static Runner r;
    return r;
}

void BM_QorGetLastPageLargeVsSmall(benchmark::State& state) {
    Runner& r = runner();
    const QString p = QString::number(kPages);
    comparePairs(
        state, "large_ms", "small_ms",
        [&] { return r.qor({"get", r.large, p, QString::number(kRows), QString::number(kCols)}); },
        [&] { return r.qor({"get", r.small, p, "50", "7"}); });
    // Its peak resident memory, once, through time(1) (a child's own
    // figure from the kernel; a forked child starts with ours).
    if (QFile::exists(QStringLiteral("/usr/bin/time"))) {
        QProcess timed;
        timed.setProcessEnvironment(r.env);
        timed.setStandardOutputFile(QProcess::nullDevice());
        timed.start(QStringLiteral("/usr/bin/time"),
                    {"-f", "%M", Runner::binary(), "get", r.large, p, QString::number(kRows),
                     QString::number(kCols)});
        timed.waitForFinished(120000);
        const QList<QByteArray> lines = timed.readAllStandardError().trimmed().split('\n');
        state.counters["peak_mib"] = lines.last().toDouble() / 1024.0;
    }
}
BENCHMARK(BM_QorGetLastPageLargeVsSmall)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

void BM_QorPagesLargeVsCat(benchmark::State& state) {
    Runner& r = runner();
    comparePairs(
        state, "pages_ms", "cat_ms", [&] { return r.qor({"pages", r.large}); },
        [&] { return r.run(QStringLiteral("cat"), {r.large}); });
}
BENCHMARK(BM_QorPagesLargeVsCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace

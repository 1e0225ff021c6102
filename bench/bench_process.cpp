// The floor of every call: a whole `qor get` process on a small report
// against `qor --help`, which starts the program and does nothing else.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>


namespace {

struct QorRunner {
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QorRunner() {
        env.insert("QOR_HOME", dir.path() + "/home");
        env.insert("QOR_REGISTRY", dir.path() + "/registry.ini");
    }
    // Seconds the process took, start to end.
    double run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(QStringLiteral(QOR_APP_BINARY), args);
        p.waitForFinished(60000);
        return double(t.nsecsElapsed()) / 1e9;
    }
};

void BM_QorGetProcessVsHelp(benchmark::State& state) {
    QorRunner q;
    const QString report = q.dir.path() + "/small.rep";
    q.run({"new", report, "--pages", "1"});
    q.run({"get", report, "1", "1", "1"});  // the first call registers the components
    double help = 0;
    constexpr int kHelpRuns = 20;
    for (int i = 0; i < kHelpRuns; ++i) help += q.run({"--help"});
    help /= kHelpRuns;
    double get = 0;
    for (auto _ : state) {
        const double s = q.run({"get", report, "1", "1", "1"});
        get += s;
        state.SetIterationTime(s);
    }
    get /= double(state.iterations());
    state.counters["help_ms"] = help * 1e3;
    state.counters["get_ms"] = get * 1e3;
    state.counters["ratio"] = get / help;
}
BENCHMARK(BM_QorGetProcessVsHelp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

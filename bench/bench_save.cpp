// Saving one changed cell of a full-size report (9,999 x 255, 12 pages,
// about 373 MiB) against copying the same file with the kernel and
// syncing it, which is what `cp` plus a sync costs: the floor of any save
// that writes a new file and renames it into place. The main reference
// copies over an earlier copy, since a save too lets go of the file it
// replaces; "ratio_fresh" is against a copy to a new name.
//
// The pairs alternate which side goes first; the counters are medians.
// The fixture lives in QOR_BENCH_DIR when set (put it on the disk the
// reports live on: a tmpfs makes every sync free), else in the temporary
// folder.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "engine/creporthandle.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Fixture {
    const QByteArray oldHome = qgetenv("QOR_HOME");
    QTemporaryDir dir;
    QString report;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    Fixture()
        : dir(qEnvironmentVariableIsSet("QOR_BENCH_DIR")
                  ? qEnvironmentVariable("QOR_BENCH_DIR") + "/qorbench-save-XXXXXX"
                  : QDir::tempPath() + "/qorbench-save-XXXXXX") {
        // Working copies on the same disk as the report, as a user's data
        // folder usually is.
        const QString home = dir.path() + "/home";
        QDir().mkpath(home);
        qputenv("QOR_HOME", QFile::encodeName(home));
        env.insert("QOR_HOME", home);
        env.insert("QOR_REGISTRY", dir.path() + "/registry.ini");
        report = dir.path() + "/large.rep";
        run(QStringLiteral(QOR_APP_BINARY),
            {"new", report, "--rows", "9999", "--cols", "255", "--pages", "12"});
        run(QStringLiteral(QOR_APP_BINARY), {"set", report, "12", "1", "1", "1"});
    }

    ~Fixture() {
        if (oldHome.isNull())
            qunsetenv("QOR_HOME");
        else
            qputenv("QOR_HOME", oldHome);
    }

    double run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        p.waitForFinished(600000);
        return double(t.nsecsElapsed()) / 1e9;
    }

    // The reference: the kernel copies the file over an earlier copy of it
    // (whose pages and blocks are let go first, as a save lets go of the
    // file it replaces), and the copy is synced: `cp` onto an existing
    // file followed by a sync. fresh: onto a new name, nothing let go.
    double copyAndSync(bool fresh) {
        const QString to = dir.path() + "/copy.rep";
        if (fresh) QFile::remove(to);
        QElapsedTimer t;
        t.start();
        const int in = ::open(QFile::encodeName(report).constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(QFile::encodeName(to).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        struct stat st {};
        ::fstat(in, &st);
        for (off_t left = st.st_size; left > 0;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(left), 0);
            if (n <= 0) break;
            left -= n;
        }
        ::fsync(out);
        ::close(out);
        ::close(in);
        return double(t.nsecsElapsed()) / 1e9;
    }
};

// In one process: the report is open and one cell of its last page
// changed; only Save() is timed.
void BM_OneCellSaveVsCopy(benchmark::State& state) {
    Fixture f;
    std::vector<double> saves, copies, freshCopies;
    int value = 0;
    f.copyAndSync(true);
    for (auto _ : state) {
        const bool copyFirst = saves.size() % 2 == 0;
        if (copyFirst) {
            freshCopies.push_back(f.copyAndSync(true));
            copies.push_back(f.copyAndSync(false));
        }
        double s = 0;
        {
            CReportHandle h(f.report, CReportHandle::OpenMode::OpenExisting);
            auto page = h.GetPage(12);
            if (!page) {
                state.SkipWithError("cannot read the report");
                break;
            }
            page->SetNumber(9999, 255, ++value);
            QElapsedTimer t;
            t.start();
            if (h.Save() != 0) state.SkipWithError("save failed");
            s = double(t.nsecsElapsed()) / 1e9;
        }
        saves.push_back(s);
        if (!copyFirst) {
            copies.push_back(f.copyAndSync(false));
            freshCopies.push_back(f.copyAndSync(true));
        }
        state.SetIterationTime(s);
    }
    state.counters["save_ms"] = median(saves) * 1e3;
    state.counters["copy_ms"] = median(copies) * 1e3;
    state.counters["ratio"] = median(saves) / median(copies);
    state.counters["fresh_copy_ms"] = median(freshCopies) * 1e3;
    state.counters["ratio_fresh"] = median(saves) / median(freshCopies);
    state.counters["file_MiB"] = double(QFileInfo(f.report).size()) / (1 << 20);
}
BENCHMARK(BM_OneCellSaveVsCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// Whole processes, as a user runs them: `qor set` of one cell against
// `dd conv=fsync` of the file (which also copies it and syncs it).
void BM_QorSetProcessVsDd(benchmark::State& state) {
    Fixture f;
    const QString to = f.dir.path() + "/copy.rep";
    // Over the copy of the run before, as a save replaces the report.
    auto dd = [&] {
        return f.run(QStringLiteral("dd"),
                     {"if=" + f.report, "of=" + to, "bs=1M", "conv=fsync", "status=none"});
    };
    dd();
    std::vector<double> sets, copies;
    int value = 0;
    for (auto _ : state) {
        const bool copyFirst = sets.size() % 2 == 0;
        if (copyFirst) copies.push_back(dd());
        const double s = f.run(QStringLiteral(QOR_APP_BINARY),
                               {"set", f.report, "12", "9999", "255", QString::number(++value)});
        sets.push_back(s);
        if (!copyFirst) copies.push_back(dd());
        state.SetIterationTime(s);
    }
    state.counters["set_ms"] = median(sets) * 1e3;
    state.counters["dd_ms"] = median(copies) * 1e3;
    state.counters["ratio"] = median(sets) / median(copies);
}
BENCHMARK(BM_QorSetProcessVsDd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace

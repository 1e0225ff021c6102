// Report to data file, against the floor of each format, measured in one
// run, the two sides alternating, medians of the pairs:
//   dbf: the 12,000 x 100 table of a 1,000 x 100 x 12 report (every tenth
//        column text) saved as a dBASE file, against shapelib writing the
//        same values with its own DBFWrite*Attribute calls;
//   mdb: the same report saved as an Access file, against mdbtools'
//        mdb-export reading every table of that file back.
// "ratio" is ours over the reference (the aim is at most 1.5); "peak_mib"
// is what our export grew the process by, beside the report's size.
#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "bench/benchreports.h"
#include "bench/peakmemory.h"
#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "platform/codepage.h"

namespace {

// QOR_BENCH_DATAEXPORT="rows,cols,pages[,pairs]" sizes the report
// otherwise (the memory aim is for the full-size 9999,255,12 report).
int sizeAt(int index, int fallback) {
    const QList<QByteArray> parts = qgetenv("QOR_BENCH_DATAEXPORT").split(',');
    return parts.size() > index && parts.at(index).toInt() > 0 ? parts.at(index).toInt() : fallback;
}
const uint16_t kRows = uint16_t(sizeAt(0, 1000));
const uint16_t kCols = uint16_t(sizeAt(1, 100));
const int kPages = sizeAt(2, 12);
const int kPairs = sizeAt(3, 5);

double numberAt(int page, int row, int col) { return row * 1000.25 + col + page - 0.5 * (col % 3); }

struct Fixture : qorbench::FilledReport {
    Fixture() : FilledReport(kRows, kCols, kPages, numberAt) {}
    double reportMiB() const { return double(QFile(report).size()) / (1024.0 * 1024.0); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double secondsOf(const std::function<bool()>& work, bool* ok) {
    const auto start = std::chrono::steady_clock::now();
    *ok = work() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Runs ours and the reference kPairs times, alternating, and sets the
// counters from the medians.
void comparePairs(benchmark::State& state, const std::function<bool()>& ours,
                  const std::function<bool()>& reference) {
    std::vector<double> mine, theirs;
    double peak = 0;
    bool ok = true;
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            const qorbench::PeakMemory memory;
            mine.push_back(secondsOf(ours, &ok));
            peak = std::max(peak, memory.growthMiB());
            theirs.push_back(secondsOf(reference, &ok));
        }
    }
    if (!ok) state.SkipWithError("a side failed");
    state.counters["ours_ms"] = median(mine) * 1000;
    state.counters["ref_ms"] = median(theirs) * 1000;
    state.counters["ratio"] = median(mine) / median(theirs);
    state.counters["peak_mib"] = peak;
    state.counters["report_mib"] = fixture().reportMiB();
}

bool exportReport(const QString& out) {
    CReportHandle h(fixture().report, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    QStringList notes;
    return ExportReportToDataFile(&h, out, 0, nullptr, &notes) == 1;
}

void BM_DbfExportVsShapelib(benchmark::State& state) {
    Fixture& f = fixture();
    std::vector<QByteArray> texts;
    for (int row = 1; row <= kRows; ++row) texts.push_back(qor::encodeCp936(qorbench::TextAt(row)));
    const QByteArray raw = QFile::encodeName(f.path("raw.dbf"));
    comparePairs(
        state, [&] { return exportReport(f.path("out.dbf")); },
        [&] {
            DBFHandle dbf = DBFCreateEx(raw.constData(), "LDID/77");
            if (!dbf) return false;
            for (int col = 1; col <= kCols; ++col) {
                const QByteArray name = QByteArray("F") + QByteArray::number(col);
                if (col % 10) DBFAddField(dbf, name.constData(), FTDouble, 21, 7);
                else DBFAddField(dbf, name.constData(), FTString, 8, 0);
            }
            int record = 0;
            for (int p = 1; p <= kPages; ++p)
                for (int row = 1; row <= kRows; ++row, ++record)
                    for (int col = 1; col <= kCols; ++col) {
                        if (col % 10) DBFWriteDoubleAttribute(dbf, record, col - 1, numberAt(p, row, col));
                        else DBFWriteStringAttribute(dbf, record, col - 1, texts[size_t(row - 1)].constData());
                    }
            DBFClose(dbf);
            return true;
        });
}
BENCHMARK(BM_DbfExportVsShapelib)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MdbExportVsMdbExport(benchmark::State& state) {
    Fixture& f = fixture();
    const QString mdb = f.path("out.mdb");
    if (!exportReport(mdb)) {
        state.SkipWithError("export failed");
        return;
    }
    comparePairs(
        state, [&] { return exportReport(f.path("again.mdb")); },
        [&] {
            for (int p = 1; p <= kPages; ++p) {
                QProcess read;
                read.setStandardOutputFile(QProcess::nullDevice());
                read.start(QStringLiteral("mdb-export"), {mdb, QStringLiteral("Sheet%1").arg(p)});
                if (!read.waitForFinished(120000) || read.exitCode() != 0) return false;
            }
            return true;
        });
}
BENCHMARK(BM_MdbExportVsMdbExport)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

// Data files: a report of 1,000 rows x 100 columns x 12 pages (every tenth
// column text, as in bench_ownxml) saved as a dBASE file, a text file and a
// working database, and opened again; one INDB value read from the dBASE
// file. Raw libraries doing the same work give the scale, reported as
// ratios (ours over theirs; the aim is at most 4):
//   dbf_vs_shapelib   report -> .dbf against shapelib writing the values;
//   mdb_vs_sqlite     report -> working database against SQLite's C API
//                     inserting the same rows in one transaction;
//   txt_vs_sqlite     report -> .txt (which fills a working database first)
//                     against the same insert;
//   open_*_vs_sqlite  the opens back into a report against the same insert.
#include <benchmark/benchmark.h>
#include <shapefil.h>
#include <sqlite3.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "bench/benchreports.h"
#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/dbreaders.h"
#include "exchange/reportmdb.h"

namespace {

constexpr uint16_t kRows = 1000;
constexpr uint16_t kCols = 100;
constexpr int kPages = 12;
constexpr double kPageCells = double(kRows) * kCols * kPages;

double numberAt(int page, int row, int col) { return row * 1000.25 + col + page; }

struct Fixture : qorbench::FilledReport {
    Fixture() : FilledReport(kRows, kCols, kPages, numberAt) {}
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds an iteration took, by benchmark, for the ratios.
double g_toDbf = 0, g_toMdb = 0, g_toTxt = 0, g_openDbf = 0, g_openTxt = 0, g_openMdb = 0;

// Runs save once per iteration into a fresh name and keeps the mean.
template <typename Fn>
void timeSaves(benchmark::State& state, const QString& ext, double* mean, Fn save) {
    Fixture& f = fixture();
    CReportHandle h(f.report, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    double seconds = 0;
    int n = 0;
    for (auto _ : state) {
        const QString out = f.path(QStringLiteral("out%1.%2").arg(n++).arg(ext));
        const auto start = std::chrono::steady_clock::now();
        if (!save(&h, out)) state.SkipWithError("save failed");
        seconds += secondsSince(start);
    }
    *mean = seconds / double(state.iterations());
    state.counters["cells"] = benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReportToDbf(benchmark::State& state) {
    timeSaves(state, "dbf", &g_toDbf, [](CReportHandle* h, const QString& out) {
        QStringList notes;
        return ExportReportToDataFile(h, out, 0, nullptr, &notes) == 1;
    });
}
BENCHMARK(BM_ReportToDbf)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReportToTxt(benchmark::State& state) {
    timeSaves(state, "txt", &g_toTxt, [](CReportHandle* h, const QString& out) {
        QStringList notes;
        return ExportReportToDataFile(h, out, 0, nullptr, &notes) == 1;
    });
}
BENCHMARK(BM_ReportToTxt)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReportToWorkingDatabase(benchmark::State& state) {
    timeSaves(state, "mdb", &g_toMdb,
              [](CReportHandle* h, const QString& out) { return ExportReportToMdb(h, out) == 1; });
}
BENCHMARK(BM_ReportToWorkingDatabase)->Unit(benchmark::kMillisecond)->Iterations(1);

template <typename Fn>
void timeOpens(benchmark::State& state, double* mean, Fn open) {
    Fixture& f = fixture();
    double seconds = 0;
    int n = 0;
    for (auto _ : state) {
        const QString rep = f.path(QStringLiteral("back%1.rep").arg(n++));
        const auto start = std::chrono::steady_clock::now();
        if (!open(rep)) state.SkipWithError("open failed");
        seconds += secondsSince(start);
    }
    *mean = seconds / double(state.iterations());
    state.counters["cells"] = benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_OpenDbf(benchmark::State& state) {
    timeOpens(state, &g_openDbf, [](const QString& rep) {
        CReportHandle h(rep);
        QStringList notes;
        return ImportDataFileToReport(fixture().path("out0.dbf"), &h, nullptr, &notes) == 1;
    });
}
BENCHMARK(BM_OpenDbf)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OpenTxt(benchmark::State& state) {
    timeOpens(state, &g_openTxt, [](const QString& rep) {
        CReportHandle h(rep);
        QStringList notes;
        return ImportDataFileToReport(fixture().path("out0.txt"), &h, nullptr, &notes) == 1;
    });
}
BENCHMARK(BM_OpenTxt)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OpenWorkingDatabase(benchmark::State& state) {
    timeOpens(state, &g_openMdb, [](const QString& rep) {
        QStringList notes;
        return ImportMdbToReport(fixture().path("out0.mdb"), rep, nullptr, &notes) == 1;
    });
}
BENCHMARK(BM_OpenWorkingDatabase)->Unit(benchmark::kMillisecond)->Iterations(1);

// One value of the 12,000-record dBASE file, as a cell's INDB reads it:
// the file is read by the first call and kept while it stays as it was.
void BM_IndbOneValue(benchmark::State& state) {
    const QString path = fixture().path("out0.dbf");
    for (auto _ : state) {
        QVariant v;
        if (!ReadDbfFieldValue(&v, path, QStringLiteral("B"), QString(), 6000)) state.SkipWithError("no value");
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_IndbOneValue)->Unit(benchmark::kMicrosecond)->Iterations(100);

// shapelib writing the same 12,000 x 100 values: numbers as N fields,
// every tenth column a C field.
void BM_ShapelibWritesTheValues(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    for (auto _ : state) {
        const QByteArray out = QFile::encodeName(f.path("raw.dbf"));
        const auto start = std::chrono::steady_clock::now();
        DBFHandle dbf = DBFCreateEx(out.constData(), "CP936");
        if (!dbf) {
            state.SkipWithError("shapelib cannot create");
            break;
        }
        for (int col = 1; col <= kCols; ++col) {
            const QByteArray name = QByteArray("F") + QByteArray::number(col);
            if (col % 10) DBFAddField(dbf, name.constData(), FTDouble, 21, 7);
            else DBFAddField(dbf, name.constData(), FTString, 16, 0);
        }
        int record = 0;
        for (int p = 1; p <= kPages; ++p)
            for (int row = 1; row <= kRows; ++row, ++record)
                for (int col = 1; col <= kCols; ++col) {
                    if (col % 10) DBFWriteDoubleAttribute(dbf, record, col - 1, numberAt(p, row, col));
                    else DBFWriteStringAttribute(dbf, record, col - 1, qorbench::TextAt(row).toLocal8Bit().constData());
                }
        DBFClose(dbf);
        seconds += secondsSince(start);
    }
    const double raw = seconds / double(state.iterations());
    if (g_toDbf > 0) state.counters["dbf_vs_shapelib"] = g_toDbf / raw;
    state.counters["cells"] = benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ShapelibWritesTheValues)->Unit(benchmark::kMillisecond)->Iterations(1);

// SQLite's C API inserting the same rows: 12 tables of 1,000 rows of 100
// values, one prepared statement a table, one transaction.
void BM_SqliteInsertsTheValues(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    int n = 0;
    for (auto _ : state) {
        const QByteArray out = QFile::encodeName(f.path(QStringLiteral("raw%1.db").arg(n++)));
        const auto start = std::chrono::steady_clock::now();
        sqlite3* db = nullptr;
        if (sqlite3_open(out.constData(), &db) != SQLITE_OK) {
            state.SkipWithError("sqlite cannot open");
            break;
        }
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int p = 1; p <= kPages; ++p) {
            QByteArray create = "CREATE TABLE t" + QByteArray::number(p) + "(";
            QByteArray insert = "INSERT INTO t" + QByteArray::number(p) + " VALUES(";
            for (int col = 1; col <= kCols; ++col) {
                create += (col > 1 ? ",c" : "c") + QByteArray::number(col);
                insert += col > 1 ? ",?" : "?";
            }
            sqlite3_exec(db, (create + ")").constData(), nullptr, nullptr, nullptr);
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, (insert + ")").constData(), -1, &st, nullptr);
            for (int row = 1; row <= kRows; ++row) {
                for (int col = 1; col <= kCols; ++col) {
                    if (col % 10) {
                        sqlite3_bind_double(st, col, numberAt(p, row, col));
                    } else {
                        const QByteArray t = qorbench::TextAt(row).toUtf8();
                        sqlite3_bind_text(st, col, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                    }
                }
                sqlite3_step(st);
                sqlite3_reset(st);
            }
            sqlite3_finalize(st);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        seconds += secondsSince(start);
    }
    const double raw = seconds / double(state.iterations());
    if (g_toMdb > 0) state.counters["mdb_vs_sqlite"] = g_toMdb / raw;
    if (g_toTxt > 0) state.counters["txt_vs_sqlite"] = g_toTxt / raw;
    if (g_openDbf > 0) state.counters["open_dbf_vs_sqlite"] = g_openDbf / raw;
    if (g_openTxt > 0) state.counters["open_txt_vs_sqlite"] = g_openTxt / raw;
    if (g_openMdb > 0) state.counters["open_mdb_vs_sqlite"] = g_openMdb / raw;
    state.counters["cells"] = benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SqliteInsertsTheValues)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

// Reading 10,000 rows of a host database through the record set that every
// database formula uses, and 10,000 INDBSQL cells each reading one of those
// rows, against one plain QSqlQuery over the same rows in the same run
// ("ratio": aim at most 2), and a recalculation filling a column of
// 10,000 INDBSQL cells from one query. PostgreSQL needs QOR_TEST_PGSQL:
//   scripts/with-postgres.sh build/bench/qorbench --benchmark_filter=HostDb
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/enginehooks.h"
#include "engine/creporthandle.h"
#include "exchange/dbreaders.h"
#include "exchange/readerhooks.h"
#include "platform/registry.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/cqordb.h"
#include "reader/creaderapp.h"
#include "tests/db/plainsql/plainsql.h"

namespace {

constexpr int kRows = 10000;

// Makes the table with plain Qt; empty when it worked.
QString makeRows(const QString& text) {
    const bool pg = CAdoConnection::ResolveConnectionText(text).driver == QLatin1String("QPSQL");
    return qordbtest::RunPlain(
        text,
        {"drop table if exists bench_rows",
         "create table bench_rows(account varchar(20), amount numeric(18,2), memo text)",
         pg ? QStringLiteral("insert into bench_rows select '1001' || i, i * 1.25, '摘要' "
                             "|| i from generate_series(1, %1) as i")
                  .arg(kRows)
            : QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 "
                             "from n where i < %1) insert into bench_rows select '1001' "
                             "|| i, i * 1.25, '摘要' || i from n")
                  .arg(kRows),
         "create index bench_rows_account on bench_rows(account)"});
}

// The connection text of the benchmark's database, its rows made; empty
// (and the benchmark skipped) when there is none. Argument 1 is the server.
QString benchDatabase(benchmark::State& state, const QTemporaryDir& dir) {
    QString text;
    if (state.range(0) == 1) {
        text = qEnvironmentVariable("QOR_TEST_PGSQL");
        if (text.isEmpty()) {
            state.SkipWithError("no PostgreSQL server: run through scripts/with-postgres.sh");
            return QString();
        }
    } else {
        // An empty file is an empty SQLite database.
        QFile file(dir.path() + "/bench.db");
        file.open(QIODevice::WriteOnly);
        file.close();
        text = QStringLiteral("DRIVER=QSQLITE;DATABASE=") + file.fileName();
    }
    const QString error = makeRows(text);
    if (!error.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return QString();
    }
    return text;
}

// Account set 001 of 2024 reads the benchmark's database, through a
// registry file of the run's own, for as long as this lives.
class AccountSetDatabase {
public:
    AccountSetDatabase(const QTemporaryDir& dir, const QString& text)
        : m_savedRegistry(qgetenv("QOR_REGISTRY")) {
        qputenv("QOR_REGISTRY", QFile::encodeName(dir.path() + "/registry.ini"));
        CQorDB::SetLoginDbNameSource([text] { return text; });
        qor::Registry::writeString(CAdoConnection::kDatabasesKey, QStringLiteral("001_2024"), text);
    }
    ~AccountSetDatabase() {
        CQorDB::SetLoginDbNameSource({});
        qputenv("QOR_REGISTRY", m_savedRegistry);
    }
    AccountSetDatabase(const AccountSetDatabase&) = delete;
    AccountSetDatabase& operator=(const AccountSetDatabase&) = delete;

private:
    QByteArray m_savedRegistry;
};

constexpr const char* kPlainSelect = "select account, amount, memo from bench_rows";

// The plain read: one query, every value taken once; seconds per read.
double plainReadSeconds(CAdoConnection& connection, const char* sql = kPlainSelect,
                        int runs = 10) {
    double plain = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        QSqlQuery q(connection.Database());
        q.setForwardOnly(true);
        q.exec(QString::fromUtf8(sql));
        double sum = 0;
        while (q.next()) {
            sum += q.value(1).toDouble();
            benchmark::DoNotOptimize(q.value(0));
            benchmark::DoNotOptimize(q.value(2));
        }
        benchmark::DoNotOptimize(sum);
        plain += double(t.nsecsElapsed()) / 1e9;
    }
    return plain / runs;
}

void reportRatio(benchmark::State& state, double plain, double layer) {
    layer /= double(state.iterations());
    state.counters["plain_ms"] = plain * 1e3;
    state.counters["layer_ms"] = layer * 1e3;
    state.counters["ratio"] = layer / plain;
}

void BM_HostDbRead10kRows(benchmark::State& state) {
    QTemporaryDir dir;
    const QString text = benchDatabase(state, dir);
    if (text.isEmpty()) return;
    CAdoConnection connection;
    connection.Open(text);
    const QString sql = QStringLiteral("select [account], [amount], [memo] from [bench_rows]");
    const double plain = plainReadSeconds(connection);

    double layer = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        CAdoRecordset rs(&connection);
        rs.Open(CAdoRecordset::adOpenStatic, sql, CAdoRecordset::adCmdText);
        double sum = 0;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            sum += rs.GetFieldValue(1).toDouble();
            benchmark::DoNotOptimize(rs.GetFieldValue(0));
            benchmark::DoNotOptimize(rs.GetFieldValue(2));
        }
        benchmark::DoNotOptimize(sum);
        const double s = double(t.nsecsElapsed()) / 1e9;
        layer += s;
        state.SetIterationTime(s);
    }
    reportRatio(state, plain, layer);
}

// 10,000 cells, each an INDBSQL of account set 001 taking one account's
// amount: INDBSQL("001xxx20240101", "bench_rows", "amount", 1,
// "account = \"1001<n>\"").
void BM_HostDbIndbsql10kCells(benchmark::State& state) {
    QTemporaryDir dir;
    const QString text = benchDatabase(state, dir);
    if (text.isEmpty()) return;
    const AccountSetDatabase accountSet(dir, text);
    double plain = 0;
    double layer = 0;
    {
        CReaderApp app(dir.path() + "/app.ini");
        app.AddAccountSet(QStringLiteral("001"), 2024);
        CAdoConnection connection;
        connection.Open(text);
        plain = plainReadSeconds(connection);

        qor::cmd::DatabaseRequest r;
        r.hostDatabase = true;
        r.file = QStringLiteral("001xxx20240101");
        r.table = QStringLiteral("bench_rows");
        r.field = QStringLiteral("amount");
        r.record = 1;
        QStringList conditions;
        for (int i = 1; i <= kRows; ++i)
            conditions.append(QStringLiteral("account = \"1001%1\"").arg(i));
        for (auto _ : state) {
            QElapsedTimer t;
            t.start();
            double sum = 0;
            for (const QString& c : conditions) {
                r.condition = c;
                sum += qor::ReadDatabaseForFormula(r).asNumber();
            }
            const double s = double(t.nsecsElapsed()) / 1e9;
            if (sum != 1.25 * kRows * (kRows + 1) / 2) state.SkipWithError("wrong sum");
            layer += s;
            state.SetIterationTime(s);
        }
    }
    reportRatio(state, plain, layer);
}

// 10,000 cells (two columns of 5,000: a table holds at most 9,999 rows)
// filled by a recalculation, cell n holding
// INDBSQL("001xxx20240101", "bench_rows", "amount", n, "1 = 1 order by
// account"): one query for all of them as far as the cells are concerned,
// which the recalculation runs a few times (each time further ahead) and
// shares between the cells. The time is the whole recalculation. The first
// one also opens the account set's connection and builds the formulas'
// order, once for the session: it is reported apart (first_ms, and
// first_ratio against the plain read with its connection opened too), and
// each recalculation after it is timed beside plain reads made just before
// it, so both see the same state of the machine.
void BM_HostDbIndbsqlFills10kCells(benchmark::State& state) {
    QTemporaryDir dir;
    const QString text = benchDatabase(state, dir);
    if (text.isEmpty()) return;
    const AccountSetDatabase accountSet(dir, text);
    // As qor and qorview wire it: cell formulas reach the interpreter's
    // database hooks.
    qor::cmd::InstallEngineHooks();
    qor::cmd::InstallInterpreterHooks();
    qor::InstallDatabaseFunctionHooks();
    double plain = 0;
    double unordered = 0;
    double layer = 0;
    {
        CReaderApp app(dir.path() + "/app.ini");
        app.AddAccountSet(QStringLiteral("001"), 2024);
        CAdoConnection connection;
        connection.Open(text);
        // The cells ask for their rows in account order, so the reference
        // asks the server for the same order; the unordered read is
        // reported beside it.
        constexpr const char* kOrdered = "select account, amount, memo from bench_rows order by account";
        unordered = plainReadSeconds(connection);

        CReportHandle h(dir.path() + "/fill.rep");
        constexpr int kColumnCells = kRows / 2;
        uint16_t rows = kColumnCells, cols = 2;
        h.AccessTableSize(1, &rows, &cols);
        for (int r = 1; r <= kRows; ++r) {
            CellArea a = CellArea::cell((r - 1) % kColumnCells + 1, (r - 1) / kColumnCells + 1);
            const QString f = QStringLiteral("INDBSQL(\"001xxx20240101\", \"bench_rows\", \"amount\", %1, "
                                             "\"1 = 1 order by account\")")
                                  .arg(r);
            if (h.SetAreaFormula(&a, f) != 0) {
                state.SkipWithError("formula refused");
                break;
            }
        }
        h.EnterDataState(0);
        h.AppendRowColPage(1, 2);
        h.SetCurPage(1);
        {
            QElapsedTimer t;
            t.start();
            if (h.RecalcPage(1) != 0) state.SkipWithError("recalculation failed");
            const double first = double(t.nsecsElapsed()) / 1e9;
            t.restart();
            CAdoConnection fresh;
            fresh.Open(text);
            const double plainFirst = double(t.nsecsElapsed()) / 1e9 + plainReadSeconds(fresh, kOrdered, 1);
            state.counters["first_ms"] = first * 1e3;
            state.counters["first_ratio"] = first / plainFirst;
        }
        for (auto _ : state) {
            plain += plainReadSeconds(connection, kOrdered, 3);
            QElapsedTimer t;
            t.start();
            if (h.RecalcPage(1) != 0) state.SkipWithError("recalculation failed");
            const double s = double(t.nsecsElapsed()) / 1e9;
            CellValue v;
            h.GetCellValue(&v, kColumnCells, 2, 1);
            if (v.number <= 0) state.SkipWithError(("no value in the last cell: " + h.GetCellText(kColumnCells, 2, 1)).toStdString().c_str());
            layer += s;
            state.SetIterationTime(s);
        }
    }
    reportRatio(state, plain / double(state.iterations()), layer);
    if (unordered > 0) state.counters["ratio_unordered"] = layer / double(state.iterations()) / unordered;
}

}  // namespace

BENCHMARK(BM_HostDbIndbsqlFills10kCells)
    ->ArgName("postgres")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_HostDbRead10kRows)
    ->ArgName("postgres")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_HostDbIndbsql10kCells)
    ->ArgName("postgres")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Peak memory of the readers against the size of what they read, as a
// user meets it: whole `qor` processes under /usr/bin/time. A text file
// and a dBASE file of which a report keeps 9,999 records, a spreadsheet
// XML file past the cell limit, and an exchange file written from and read
// into a report of 12 pages. Each prints the process's peak ("peak_mib"),
// the file's or report's size ("file_mib", "report_mib") and the seconds
// it took. QOR_BENCH_QOR names another qor binary (an older build, for
// before and after); QOR_BENCH_READER_SCALE (default 1) multiplies the
// file sizes (5 gives the 60 MB text and dBASE files) and
// QOR_BENCH_REPORT_ROWS sets the report's rows (default 2,500 of 255
// columns; 9,999 is the largest report).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "bench/benchreports.h"
#include "bench/processrun.h"
#include "engine/creporthandle.h"
#include "tests/common/largefiles.h"

namespace {

using qorbench::ProcessRun;

double mib(const QString& path) { return double(QFile(path).size()) / (1024.0 * 1024.0); }

int envNumber(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

struct Setting {
    QTemporaryDir dir;
    QByteArray qor = qEnvironmentVariableIsEmpty("QOR_BENCH_QOR") ? QByteArray(QOR_APP_BINARY)
                                                                    : qgetenv("QOR_BENCH_QOR");
    std::vector<QByteArray> env;
    Setting() {
        const QByteArray home = QFile::encodeName(dir.path());
        env = {"QOR_HOME=" + home + "/home", "QOR_REGISTRY=" + home + "/registry.ini",
               "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
    }
    QString path(const char* name) const { return dir.path() + u'/' + QLatin1String(name); }
    ProcessRun run(const std::vector<QByteArray>& args) const {
        std::vector<QByteArray> all = {qor};
        all.insert(all.end(), args.begin(), args.end());
        return qorbench::runProcess(all, env, QFile::encodeName(path("peak.txt")));
    }
};

// `qor convert` of file into a new report, ending with status.
void convert(benchmark::State& state, const Setting& s, const QString& file, int status) {
    for (auto _ : state) {
        QFile::remove(s.path("out.rep"));
        const ProcessRun r = s.run({"convert", QFile::encodeName(file), QFile::encodeName(s.path("out.rep"))});
        if (r.status != status) state.SkipWithError("the process ended otherwise");
        state.SetIterationTime(r.seconds);
        state.counters["peak_mib"] = r.peakMiB;
        state.counters["file_mib"] = mib(file);
        state.counters["seconds"] = r.seconds;
    }
}

// `qor convert` of a CSV file of 3 million records of "1,2" a scale (12 MB):
// 9,999 are kept, the rest counted (exit 3).
void BM_ConvertLargeTextFile(benchmark::State& state) {
    Setting s;
    const QString csv = s.path("big.csv");
    qortest::writeRepeated(csv, {}, "1,2\n", qint64(3000000) * envNumber("QOR_BENCH_READER_SCALE", 1), {});
    convert(state, s, csv, 3);
}
BENCHMARK(BM_ConvertLargeTextFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// `qor convert` of a dBASE file of 6 million one-byte records a scale.
void BM_ConvertLargeDbaseFile(benchmark::State& state) {
    Setting s;
    const QString dbf = s.path("big.dbf");
    qortest::writeNarrowDbf(dbf, quint32(6000000) * quint32(envNumber("QOR_BENCH_READER_SCALE", 1)));
    convert(state, s, dbf, 3);
}
BENCHMARK(BM_ConvertLargeDbaseFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// `qor convert` of a spreadsheet XML file of 4 million number cells a
// scale: refused (exit 1) before its tree is built.
void BM_ConvertSpreadsheetXmlPastTheCellLimit(benchmark::State& state) {
    Setting s;
    const QString xml = s.path("cells.xml");
    const QByteArray row = "<Row>" + QByteArray("<Cell><Data ss:Type=\"Number\">1</Data></Cell>").repeated(250) + "</Row>\n";
    qortest::writeRepeated(xml,
                  "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\""
                  " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet ss:Name=\"S\"><Table>\n",
                  row, qint64(16000) * envNumber("QOR_BENCH_READER_SCALE", 1), "</Table></Worksheet></Workbook>\n");
    convert(state, s, xml, 1);
}
BENCHMARK(BM_ConvertSpreadsheetXmlPastTheCellLimit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// `qor export-xml` and `qor import-xml` of a filled report of 255 columns
// and 12 pages: the peak against the report's size ("peak_over_report";
// the aim is below a half).
void BM_OwnXmlExportAndImportOfAFilledReport(benchmark::State& state) {
    Setting s;
    const QString rep = s.path("filled.rep");
    {
        CReportHandle h(rep);
        qorbench::FillReport(h, uint16_t(std::min(envNumber("QOR_BENCH_REPORT_ROWS", 2500), 9999)), 255, 12);
        if (h.Save()) {
            state.SkipWithError("the report is not saved");
            return;
        }
    }
    const QString xml = s.path("filled.xml"), back = s.path("back.rep");
    for (auto _ : state) {
        QFile::remove(xml);
        QFile::remove(back);
        const ProcessRun out = s.run({"export-xml", QFile::encodeName(rep), QFile::encodeName(xml)});
        const ProcessRun in = s.run({"import-xml", QFile::encodeName(xml), QFile::encodeName(back)});
        if (out.status != 0 || in.status != 0) state.SkipWithError("a process failed");
        state.SetIterationTime(out.seconds + in.seconds);
        state.counters["report_mib"] = mib(rep);
        state.counters["xml_mib"] = mib(xml);
        state.counters["export_peak_mib"] = out.peakMiB;
        state.counters["export_seconds"] = out.seconds;
        state.counters["export_peak_over_report"] = out.peakMiB / mib(rep);
        state.counters["import_peak_mib"] = in.peakMiB;
        state.counters["import_seconds"] = in.seconds;
    }
}
BENCHMARK(BM_OwnXmlExportAndImportOfAFilledReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

// The report exchange file: export and import of a 1,000 x 100 report of
// 12 pages, beside libxml2's own parse of the same file for scale. Cells
// are counted per page (1,000 x 100 x 12 each way). The parse runs last and
// reports how export and import compare with it ("vs_parse": the parse's
// time over theirs, so above 1 is faster than libxml2 building its tree of
// the file).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "bench/peakmemory.h"
#include "bench/processrun.h"
#include "bench/benchreports.h"
#include "engine/creporthandle.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"

namespace {

using qorbench::ProcessRun;
using qorbench::runProcess;

constexpr uint16_t kRows = 1000;
constexpr uint16_t kCols = 100;
constexpr int kPages = 12;
constexpr double kPageCells = double(kRows) * kCols * kPages;

struct Fixture {
    QTemporaryDir dir;
    QString report;
    QString xml;

    Fixture() {
#ifdef __GLIBC__
        // The heap keeps what it grew to, as in an application that has run
        // a while. Otherwise each of libxml2's parses pays for faulting in
        // the gigabyte its tree takes, and how much depends on what ran
        // before it in the process, which makes the comparison drift.
        mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
#endif
        report = dir.path() + "/big.rep";
        xml = dir.path() + "/big.xml";
        CReportHandle h(report);
        qorbench::FillReport(h, kRows, kCols, kPages);
        h.Save();
        qor::WriteOwnXml(h, xml, qor::InitialExportSettings(&h));
        // One untimed parse grows the heap to what the largest of the three
        // needs, so that none of them is timed faulting it in.
        QFile file(xml);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        xmlFreeDoc(xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOBLANKS));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Seconds an iteration took, by benchmark, for the comparison at the end.
double g_exportSeconds = 0, g_importSeconds = 0;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_OwnXmlExport(benchmark::State& state) {
    Fixture& f = fixture();
    CReportHandle h(f.report, CReportHandle::OpenMode::OpenExisting);
    const QString out = f.dir.path() + "/out.xml";
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        const qorbench::PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (!qor::WriteOwnXml(h, out, qor::InitialExportSettings(&h)).written)
            state.SkipWithError("export failed");
        seconds += secondsSince(start);
        peak = std::max(peak, memory.growthMiB());
    }
    // The file goes out as it is made: what the export holds, not the file.
    state.counters["peak_mib"] = peak;
    g_exportSeconds = seconds / double(state.iterations());
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = double(QFile(out).size());
}
BENCHMARK(BM_OwnXmlExport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OwnXmlImport(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    double seconds = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = f.dir.path() + QStringLiteral("/in%1.rep").arg(n++);
        auto h = std::make_unique<CReportHandle>(path);
        state.ResumeTiming();
        const qorbench::PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        // As the command line imports: the root looked at, then one reading.
        if (!qor::HasOwnXmlRoot(f.xml) || !qor::ImportOwnXmlReport(*h, f.xml).result)
            state.SkipWithError("import failed");
        seconds += secondsSince(start);
        peak = std::max(peak, memory.growthMiB());
        state.PauseTiming();
        h.reset();
        QFile::remove(path);
        state.ResumeTiming();
    }
    g_importSeconds = seconds / double(state.iterations());
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
    // The resident memory the import grew by, over the file's size (the aim
    // is under a quarter).
    state.counters["peak_mib"] = peak;
    state.counters["peak_over_file"] = peak * 1024 * 1024 / double(QFile(f.xml).size());
}
BENCHMARK(BM_OwnXmlImport)->Unit(benchmark::kMillisecond)->Iterations(3);

// The import parses the file once per pass; this is one parse.
void BM_LibXml2ParseOfTheSameFile(benchmark::State& state) {
    Fixture& f = fixture();
    QFile file(f.xml);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS);
        if (!doc) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
        seconds += secondsSince(start);
    }
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
    const double parseSeconds = seconds / double(state.iterations());
    if (g_exportSeconds > 0) state.counters["export_vs_parse"] = parseSeconds / g_exportSeconds;
    if (g_importSeconds > 0) state.counters["import_vs_parse"] = parseSeconds / g_importSeconds;
}
BENCHMARK(BM_LibXml2ParseOfTheSameFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// libxml2's streaming reader walking every node of the same file, the
// floor for an import that reads the file as a stream. Reports the
// import's time over its own ("import_vs_reader"; the aim is at most 1.5).
void BM_LibXml2ReaderWalk(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray path = QFile::encodeName(f.xml);
    double seconds = 0;
    long nodes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        xmlTextReaderPtr reader = xmlReaderForFile(path.constData(), nullptr, XML_PARSE_NONET);
        if (!reader) {
            state.SkipWithError("no reader");
            break;
        }
        int r;
        while ((r = xmlTextReaderRead(reader)) == 1) ++nodes;
        xmlFreeTextReader(reader);
        if (r != 0) state.SkipWithError("the file does not read");
        seconds += secondsSince(start);
    }
    benchmark::DoNotOptimize(nodes);
    const double readerSeconds = seconds / double(state.iterations());
    if (g_importSeconds > 0) state.counters["import_vs_reader"] = g_importSeconds / readerSeconds;
}
BENCHMARK(BM_LibXml2ReaderWalk)->Unit(benchmark::kMillisecond)->Iterations(3);

// Whole processes, as a user runs them: `qor import-xml` of the file into a
// new report against `xmllint --stream --noout` reading the same file, the
// floor of any reader that streams it (a libxml2 reader pass, no tree). The
// two alternate; each side's median is taken ("ratio": the import's over
// the pass's; the aim is at most 1.3). Peak memory is each process's own
// high-water mark. QOR_BENCH_QOR names another qor binary to measure (an
// older build, for before and after).

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_OwnXmlImportProcessVsXmllintStream(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray qor = qEnvironmentVariableIsEmpty("QOR_BENCH_QOR")
                               ? QByteArray(QOR_APP_BINARY)
                               : qgetenv("QOR_BENCH_QOR");
    const QByteArray xml = QFile::encodeName(f.xml);
    const QByteArray home = QFile::encodeName(f.dir.path());
    const std::vector<QByteArray> env = {"QOR_HOME=" + home + "/home",
                                         "QOR_REGISTRY=" + home + "/registry.ini",
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
    const QByteArray report = home + "/imported.rep";
    const QByteArray peak = home + "/peak.txt";
    std::vector<double> importSeconds, streamSeconds;
    double importPeak = 0, streamPeak = 0;
    for (auto _ : state) {
        QFile::remove(QString::fromLocal8Bit(report));
        const ProcessRun import = runProcess({qor, "import-xml", xml, report}, env, peak);
        const ProcessRun stream =
            runProcess({"/usr/bin/xmllint", "--stream", "--noout", xml}, env, peak);
        if (import.status != 0 || stream.status != 0) {
            state.SkipWithError("a process failed");
            break;
        }
        importSeconds.push_back(import.seconds);
        streamSeconds.push_back(stream.seconds);
        importPeak = std::max(importPeak, import.peakMiB);
        streamPeak = std::max(streamPeak, stream.peakMiB);
        state.SetIterationTime(import.seconds);
    }
    QFile::remove(QString::fromLocal8Bit(report));
    const double importMedian = median(importSeconds), streamMedian = median(streamSeconds);
    state.counters["import_ms"] = importMedian * 1e3;
    state.counters["xmllint_stream_ms"] = streamMedian * 1e3;
    state.counters["ratio"] = streamMedian > 0 ? importMedian / streamMedian : 0;
    state.counters["import_peak_mib"] = importPeak;
    state.counters["xmllint_peak_mib"] = streamPeak;
    state.counters["file_mib"] = double(QFile(f.xml).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_OwnXmlImportProcessVsXmllintStream)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

// The full-size report (9,999 x 255, 12 pages, every cell holding a value,
// every tenth column texts) exported by a `qor export-xml` process, and the
// file read by `xmllint --stream --noout`: proof that the largest report
// goes out as a file an independent reader takes whole, with the time and
// peak memory of each. The file is some gigabytes, so this runs only when
// QOR_BENCH_FULL_SIZE is set (the files go to TMPDIR and are removed).
void BM_OwnXmlFullSizeExportReadByXmllint(benchmark::State& state) {
    constexpr uint16_t kFullRows = 9999, kFullCols = 255;
    QTemporaryDir dir;
    const QString report = dir.path() + "/full.rep";
    {
        CReportHandle h(report);
        qorbench::FillReport(h, kFullRows, kFullCols, kPages);
        if (h.Save()) {
            state.SkipWithError("the report is not saved");
            return;
        }
    }
    const QByteArray home = QFile::encodeName(dir.path());
    const std::vector<QByteArray> env = {"QOR_HOME=" + home + "/home",
                                         "QOR_REGISTRY=" + home + "/registry.ini",
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
    const QByteArray xml = home + "/full.xml", peak = home + "/peak.txt";
    const QByteArray back = home + "/back.rep";
    ProcessRun exported, read, imported;
    for (auto _ : state) {
        exported = runProcess({QByteArray(QOR_APP_BINARY), "export-xml", QFile::encodeName(report),
                               xml, "--force"},
                              env, peak);
        read = runProcess({"/usr/bin/xmllint", "--stream", "--noout", xml}, env, peak);
        QFile::remove(QString::fromLocal8Bit(back));
        imported = runProcess({QByteArray(QOR_APP_BINARY), "import-xml", xml, back}, env, peak);
        if (exported.status != 0 || read.status != 0 || imported.status != 0)
            state.SkipWithError("a process failed");
        state.SetIterationTime(exported.seconds);
    }
    // The report read back holds what the exported one held (a sample of
    // cells on every page, the last cell among them).
    int compared = 0, differ = 0;
    {
        CReportHandle a(report, CReportHandle::OpenMode::OpenExisting);
        CReportHandle b(QString::fromLocal8Bit(back), CReportHandle::OpenMode::OpenExisting);
        a.EnterDataState();
        b.EnterDataState();
        for (int p = 1; p <= kPages; ++p) {
            for (int row = 1; row <= kFullRows; row += row < 9990 ? 97 : 1) {
                for (int col = 1; col <= kFullCols; col += col < 250 ? 13 : 1) {
                    CellValue x, y;
                    a.GetCellValue(&x, row, col, p);
                    b.GetCellValue(&y, row, col, p);
                    ++compared;
                    if (!(x == y) || x.kind == kCellUnset) ++differ;
                }
            }
        }
    }
    state.counters["import_s"] = imported.seconds;
    state.counters["import_peak_mib"] = imported.peakMiB;
    state.counters["cells_compared"] = compared;
    state.counters["cells_differing"] = differ;
    state.counters["report_mib"] = double(QFile(report).size()) / (1024.0 * 1024.0);
    state.counters["xml_mib"] = double(QFile(QString::fromLocal8Bit(xml)).size()) / (1024.0 * 1024.0);
    state.counters["export_s"] = exported.seconds;
    state.counters["export_peak_mib"] = exported.peakMiB;
    state.counters["xmllint_s"] = read.seconds;
    state.counters["xmllint_peak_mib"] = read.peakMiB;
    state.counters["xmllint_exit"] = read.status;
}

const bool g_fullSizeRegistered = [] {
    if (!qEnvironmentVariableIsEmpty("QOR_BENCH_FULL_SIZE"))
        benchmark::RegisterBenchmark("BM_OwnXmlFullSizeExportReadByXmllint",
                                     BM_OwnXmlFullSizeExportReadByXmllint)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    return true;
}();

}  // namespace

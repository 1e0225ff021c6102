// The report exchange file: export and import of a 1,000 x 100 report of
// 12 pages, beside libxml2's own parse of the same file for scale. Cells
// are counted per page (1,000 x 100 x 12 each way).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/creporthandle.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_import.h"

namespace {

constexpr uint16_t kRows = 1000;
constexpr uint16_t kCols = 100;
constexpr int kPages = 12;
constexpr double kPageCells = double(kRows) * kCols * kPages;

struct Fixture {
    QTemporaryDir dir;
    QString report;
    QString xml;

    Fixture() {
        report = dir.path() + "/big.rep";
        xml = dir.path() + "/big.xml";
        CReportHandle h(report);
        uint16_t r = kRows, c = kCols;
        h.AccessTableSize(1, &r, &c);
        // Every tenth column holds texts.
        for (int col = 10; col <= kCols; col += 10) {
            int32_t kind = kCellText;
            const CellArea a = CellArea::area(1, col, kRows, col);
            h.AccessAreaFormat(1, 0, &kind, &a);
        }
        h.EnterDataState();
        h.AppendRowColPage(kPages, 2);
        for (int p = 1; p <= kPages; ++p) {
            for (int row = 1; row <= kRows; ++row) {
                for (int col = 1; col <= kCols; ++col) {
                    const CellValue v = col % 10
                                            ? CellValue::ofNumber(row * 1000.25 + col + p)
                                            : CellValue::ofText(QStringLiteral("项目%1").arg(row));
                    h.SetCellValue(v, row, col, p);
                }
            }
        }
        h.Save();
        qor::WriteOwnXml(h, xml, qor::InitialExportSettings(&h));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_OwnXmlExport(benchmark::State& state) {
    Fixture& f = fixture();
    CReportHandle h(f.report, CReportHandle::OpenMode::OpenExisting);
    const QString out = f.dir.path() + "/out.xml";
    for (auto _ : state) {
        if (!qor::WriteOwnXml(h, out, qor::InitialExportSettings(&h)).written)
            state.SkipWithError("export failed");
    }
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = double(QFile(out).size());
}
BENCHMARK(BM_OwnXmlExport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OwnXmlImport(benchmark::State& state) {
    Fixture& f = fixture();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = f.dir.path() + QStringLiteral("/in%1.rep").arg(n++);
        auto h = std::make_unique<CReportHandle>(path);
        state.ResumeTiming();
        if (!qor::ImportOwnXmlReport(*h, f.xml).result) state.SkipWithError("import failed");
        state.PauseTiming();
        h.reset();
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OwnXmlImport)->Unit(benchmark::kMillisecond)->Iterations(3);

// The import parses the file once per pass; this is one parse.
void BM_LibXml2ParseOfTheSameFile(benchmark::State& state) {
    Fixture& f = fixture();
    QFile file(f.xml);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS);
        if (!doc) state.SkipWithError("parse failed");
        xmlFreeDoc(doc);
    }
    state.counters["cells"] =
        benchmark::Counter(kPageCells, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LibXml2ParseOfTheSameFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

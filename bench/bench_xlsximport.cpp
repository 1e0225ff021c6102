// Reading an .xlsx of 1.2 million cells (12 sheets of 1,000 x 100, every
// tenth column Chinese text in shared strings, a number format and borders
// on every cell) beside the floor any reader pays: every part unzipped with
// libzip and passed once through libxml2's streaming reader. Both sides run
// in turn, several times, and the medians are compared:
//   - "read_vs_floor": the workbook reader alone (aim at most 2);
//   - "import_vs_floor": the import into a new report, as `qor convert`
//     does it (the report's own writing included);
//   - "peak_MiB" against "strings_MiB" (the shared strings part unpacked)
//     and "report_MiB" (the report written): the aim is a peak under four
//     times their sum.
#include <benchmark/benchmark.h>
#include <libxml/xmlreader.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/peakmemory.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelimport.h"
#include "exchange/workbook_read.h"

namespace {

constexpr int kSheets = 12, kRows = 1000, kCols = 100;
constexpr int kPairs = 5;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Fixture {
    QTemporaryDir dir;
    QString book;
    double stringsMiB = 0;

    Fixture() {
        // Written with shared strings, as desktop spreadsheets write them.
        book = dir.path() + QStringLiteral("/book.xlsx");
        const QByteArray path = QFile::encodeName(book);
        lxw_workbook* wb = workbook_new(path.constData());
        lxw_format* number = workbook_add_format(wb);
        format_set_num_format(number, "#,##0.00");
        format_set_border(number, LXW_BORDER_THIN);
        lxw_format* label = workbook_add_format(wb);
        format_set_num_format(label, "@");
        format_set_border(label, LXW_BORDER_THIN);
        for (int s = 1; s <= kSheets; ++s) {
            const QByteArray name = QStringLiteral("第%1页").arg(s).toUtf8();
            lxw_worksheet* ws = workbook_add_worksheet(wb, name.constData());
            worksheet_set_column(ws, 0, kCols - 1, 12, nullptr);
            for (int r = 0; r < kRows; ++r)
                for (int c = 0; c < kCols; ++c) {
                    if ((c + 1) % 10 == 0)
                        worksheet_write_string(
                            ws, lxw_row_t(r), lxw_col_t(c),
                            QStringLiteral("项目%1-%2-%3").arg(s).arg(r).arg(c).toUtf8().constData(),
                            label);
                    else
                        worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c),
                                               (r + 1) * 1000.25 + c + s, number);
                }
        }
        if (workbook_close(wb) != LXW_NO_ERROR) book.clear();
        int err = 0;
        if (zip_t* z = zip_open(path.constData(), ZIP_RDONLY, &err)) {
            zip_stat_t st;
            if (zip_stat(z, "xl/sharedStrings.xml", 0, &st) == 0)
                stringsMiB = double(st.size) / (1 << 20);
            zip_discard(z);
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Every part unpacked and streamed through libxml2's reader: the least a
// reader of the package does. Answers the number of nodes, or -1.
long long floorPass(const QString& book) {
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(book).constData(), ZIP_RDONLY, &err);
    if (!z) return -1;
    long long nodes = 0;
    std::vector<char> bytes;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(z, zip_uint64_t(i), 0, &st) != 0) continue;
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        if (!f) continue;
        bytes.resize(size_t(st.size));
        const zip_int64_t got = zip_fread(f, bytes.data(), st.size);
        zip_fclose(f);
        if (got != zip_int64_t(st.size) || got == 0) continue;
        xmlTextReaderPtr reader =
            xmlReaderForMemory(bytes.data(), int(got), nullptr, nullptr, XML_PARSE_NONET);
        if (!reader) continue;
        while (xmlTextReaderRead(reader) == 1) ++nodes;
        xmlFreeTextReader(reader);
    }
    zip_discard(z);
    return nodes;
}

void BM_XlsxImportVsFloor(benchmark::State& state) {
    Fixture& f = fixture();
    if (f.book.isEmpty()) {
        state.SkipWithError("the workbook was not written");
        return;
    }
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    std::vector<double> floor, read, import;
    double peak = 0, reportMiB = 0;
    int run = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            auto start = std::chrono::steady_clock::now();
            if (floorPass(f.book) <= 0) state.SkipWithError("the floor pass failed");
            floor.push_back(secondsSince(start));

            {
                qorbench::PeakMemory memory;
                start = std::chrono::steady_clock::now();
                std::unique_ptr<qor::XlWorkbook> wb = qor::ReadXlsxWorkbook(f.book);
                read.push_back(secondsSince(start));
                peak = std::max(peak, memory.growthMiB());
                if (wb->sheetCount() != kSheets || wb->sheet(1)->cells().size() != kRows * kCols)
                    state.SkipWithError("cells lost");
            }

            const QString report = f.dir.path() + QStringLiteral("/import%1.rep").arg(++run);
            {
                auto h = std::make_unique<CReportHandle>(report);
                start = std::chrono::steady_clock::now();
                if (qor::ImportExcelWorkbook(h.get(), f.book, nullptr) != 1)
                    state.SkipWithError("import failed");
                import.push_back(secondsSince(start));
                if (h->Save() != 0) state.SkipWithError("the report was not saved");
            }
            reportMiB = double(QFileInfo(report).size()) / (1 << 20);
            QFile::remove(report);
        }
    }
    qor::setTraceHook(quiet);
    const double fl = median(floor);
    state.counters["floor_s"] = fl;
    state.counters["read_s"] = median(read);
    state.counters["import_s"] = median(import);
    state.counters["read_vs_floor"] = median(read) / fl;
    state.counters["import_vs_floor"] = median(import) / fl;
    state.counters["peak_MiB"] = peak;
    state.counters["strings_MiB"] = f.stringsMiB;
    state.counters["report_MiB"] = reportMiB;
    state.counters["peak_vs_aim"] = peak / (4 * (f.stringsMiB + reportMiB));
}
BENCHMARK(BM_XlsxImportVsFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

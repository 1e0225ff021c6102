// Reading an .xlsx of 1.2 million cells (12 sheets of 1,000 x 100, every
// tenth column Chinese text in shared strings, a number format and borders
// on every cell) beside the floor any reader pays: every part unzipped with
// libzip and passed once through libxml2's streaming reader. Both sides run
// in turn, several times, and the medians are compared:
//   - "read_vs_floor": the workbook reader alone (aim at most 2);
//   - "import_vs_floor": the import into a new report, as `qor convert`
//     does it (the report's own writing included);
//   - "orcus_vs_floor" (when liborcus is there to build with): liborcus's
//     own reader filling our workbook model through a factory that takes
//     the values and shared strings only, no styles, no merges, no widths:
//     the least that route would cost;
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

#ifdef QOR_BENCH_ORCUS
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#endif

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
                        worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c),
                                               QStringLiteral("项目%1-%2-%3")
                                                   .arg(s)
                                                   .arg(r)
                                                   .arg(c)
                                                   .toUtf8()
                                                   .constData(),
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

#ifdef QOR_BENCH_ORCUS
namespace oss = orcus::spreadsheet;

// The values of each sheet into our workbook model, the shared strings
// into one table: what a factory of ours would do at the least.
class OrcusStrings final : public oss::iface::import_shared_strings {
public:
    size_t append(std::string_view s) override {
        table.push_back(QString::fromUtf8(s.data(), qsizetype(s.size())));
        return table.size() - 1;
    }
    size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(oss::color_elem_t, oss::color_elem_t, oss::color_elem_t,
                                oss::color_elem_t) override {}
    void append_segment(std::string_view s) override { segments.append(s); }
    size_t commit_segments() override {
        const size_t i = append(segments);
        segments.clear();
        return i;
    }
    std::vector<QString> table;
    std::string segments;
};

class OrcusSheet final : public oss::iface::import_sheet {
public:
    OrcusSheet(qor::XlWorksheet* ws, const std::vector<QString>& strings)
        : m_ws(ws), m_strings(strings) {}
    void set_auto(oss::row_t r, oss::col_t c, std::string_view s) override {
        qor::XlCell cell;
        cell.kind = qor::XlCell::Text;
        cell.text = QString::fromUtf8(s.data(), qsizetype(s.size()));
        m_ws->loadCell(r + 1, c + 1, std::move(cell));
    }
    void set_string(oss::row_t r, oss::col_t c, oss::string_id_t i) override {
        qor::XlCell cell;
        cell.kind = qor::XlCell::Text;
        if (i < m_strings.size()) cell.text = m_strings[i];
        m_ws->loadCell(r + 1, c + 1, std::move(cell));
    }
    void set_value(oss::row_t r, oss::col_t c, double v) override {
        qor::XlCell cell;
        cell.kind = qor::XlCell::Number;
        cell.number = v;
        m_ws->loadCell(r + 1, c + 1, std::move(cell));
    }
    void set_bool(oss::row_t r, oss::col_t c, bool v) override { set_value(r, c, v ? 1 : 0); }
    void set_date_time(oss::row_t, oss::col_t, int, int, int, int, int, double) override {}
    void set_format(oss::row_t, oss::col_t, size_t) override {}
    void set_format(oss::row_t, oss::col_t, oss::row_t, oss::col_t, size_t) override {}
    void fill_down_cells(oss::row_t, oss::col_t, oss::row_t) override {}
    oss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

private:
    qor::XlWorksheet* m_ws;
    const std::vector<QString>& m_strings;
};

// "B12" as the reader needs it for the cells' references.
class OrcusReferences final : public oss::iface::import_reference_resolver {
public:
    oss::src_address_t resolve_address(std::string_view a) override {
        oss::src_address_t out{0, 0, 0};
        size_t i = 0;
        int col = 0, row = 0;
        for (; i < a.size() && a[i] >= 'A' && a[i] <= 'Z'; ++i) col = col * 26 + (a[i] - 'A' + 1);
        for (; i < a.size() && a[i] >= '0' && a[i] <= '9'; ++i) row = row * 10 + (a[i] - '0');
        out.row = row - 1;
        out.column = col - 1;
        return out;
    }
    oss::src_range_t resolve_range(std::string_view r) override {
        const size_t colon = r.find(':');
        const oss::src_address_t first = resolve_address(r.substr(0, colon));
        return {first,
                colon == std::string_view::npos ? first : resolve_address(r.substr(colon + 1))};
    }
};

class OrcusFactory final : public oss::iface::import_factory {
public:
    oss::iface::import_reference_resolver* get_reference_resolver(
        oss::formula_ref_context_t) override {
        return &references;
    }
    oss::iface::import_shared_strings* get_shared_strings() override { return &strings; }
    oss::iface::import_sheet* append_sheet(oss::sheet_t, std::string_view name) override {
        names.emplace_back(name);
        book.emplace_back(std::make_unique<qor::XlWorksheet>(QString()));
        sheets.emplace_back(std::make_unique<OrcusSheet>(book.back().get(), strings.table));
        return sheets.back().get();
    }
    oss::iface::import_sheet* get_sheet(std::string_view name) override {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name) return sheets[i].get();
        return nullptr;
    }
    oss::iface::import_sheet* get_sheet(oss::sheet_t i) override {
        return i >= 0 && size_t(i) < sheets.size() ? sheets[size_t(i)].get() : nullptr;
    }
    void finalize() override {
        for (auto& ws : book) ws->finishLoading();
    }
    OrcusStrings strings;
    OrcusReferences references;
    std::vector<std::string> names;
    std::vector<std::unique_ptr<qor::XlWorksheet>> book;
    std::vector<std::unique_ptr<OrcusSheet>> sheets;
};

// Seconds for liborcus to read the book into our model; negative when it
// cannot.
double orcusRead(const QString& book) {
    const auto start = std::chrono::steady_clock::now();
    try {
        OrcusFactory factory;
        orcus::orcus_xlsx reader(&factory);
        reader.read_file(QFile::encodeName(book).toStdString());
        if (factory.book.size() != kSheets || factory.book[0]->cells().size() != kRows * kCols)
            return -1;
    } catch (const std::exception&) {
        return -1;
    }
    return secondsSince(start);
}
#endif

void BM_XlsxImportVsFloor(benchmark::State& state) {
    Fixture& f = fixture();
    if (f.book.isEmpty()) {
        state.SkipWithError("the workbook was not written");
        return;
    }
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    std::vector<double> floor, read, import, orcus;
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

#ifdef QOR_BENCH_ORCUS
            const double o = orcusRead(f.book);
            if (o < 0) state.SkipWithError("liborcus did not read the workbook");
            orcus.push_back(o);
#endif

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
    if (!orcus.empty()) {
        state.counters["orcus_s"] = median(orcus);
        state.counters["orcus_vs_floor"] = median(orcus) / fl;
    }
    state.counters["peak_MiB"] = peak;
    state.counters["strings_MiB"] = f.stringsMiB;
    state.counters["report_MiB"] = reportMiB;
    state.counters["peak_vs_aim"] = peak / (4 * (f.stringsMiB + reportMiB));
}
BENCHMARK(BM_XlsxImportVsFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

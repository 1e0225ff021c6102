// Binary (.xls) and spreadsheet XML workbooks beside reference readers and
// writers, on a report of 12 pages of 1,000 x 100 cells, every tenth
// column text. Each of ours runs after its reference in the same process
// and reports its time over the reference's as a counter:
//   - export to .xls ("vs_libxlsxwriter", aim at most 3) and to .xlsx, both
//     over libxlsxwriter writing the same sheets of values and formats;
//   - import of that .xls into a report ("vs_freexl", aim at most 5) and of
//     the .xlsx, both over freexl reading every cell of the .xls;
//   - the spreadsheet XML reader over 12 such worksheets ("vs_libxml2", aim
//     at most 3) over libxml2 parsing the file and walking every Cell and
//     its Data.
#include <benchmark/benchmark.h>
#include <freexl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <memory>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/excelexportdriver.h"
#include "exchange/excelimport.h"
#include "exchange/spreadsheetxml.h"

namespace {

constexpr uint16_t kRows = 1000;
constexpr uint16_t kCols = 100;
constexpr int kPages = 12;

bool isTextColumn(int col) { return col % 10 == 0; }
double value(int page, int row, int col) { return row * 1000.25 + col + page; }
QString text(int page, int row, int col) {
    return QStringLiteral("项目%1-%2-%3").arg(page).arg(row).arg(col);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Fixture {
    QTemporaryDir dir;
    QString report, xls, xlsx, xml;

    Fixture() {
        const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
        report = dir.path() + "/wb.rep";
        {
            CReportHandle h(report);
            uint16_t r = kRows, c = kCols;
            h.AccessTableSize(1, &r, &c);
            int32_t kind = kCellNumber, decimals = 2, thousands = 1;
            const CellArea all = CellArea::area(1, 1, kRows, kCols);
            h.AccessAreaFormat(1, 0, &kind, &all);
            h.AccessAreaFormat(1, 3, &decimals, &all);
            h.AccessAreaFormat(1, 5, &thousands, &all);
            kind = kCellText;
            for (int col = 10; col <= kCols; col += 10) {
                const CellArea column = CellArea::area(1, col, kRows, col);
                h.AccessAreaFormat(1, 0, &kind, &column);
            }
            h.EnterDataState();
            h.AppendRowColPage(kPages, 2);
            for (int p = 1; p <= kPages; ++p)
                for (int row = 1; row <= kRows; ++row)
                    for (int col = 1; col <= kCols; ++col)
                        h.SetCellValue(isTextColumn(col) ? CellValue::ofText(text(p, row, col))
                                                         : CellValue::ofNumber(value(p, row, col)),
                                       row, col, p);
            h.Save();
            xls = dir.path() + "/book.xls";
            xlsx = dir.path() + "/book.xlsx";
            ExportReportToExcel(&h, xls);
            ExportReportToExcel(&h, xlsx);
        }
        xml = dir.path() + "/book.xml";
        writeXml();
        qor::setTraceHook(quiet);
    }

    void writeXml() {
        QFile f(xml);
        if (!f.open(QIODevice::WriteOnly)) return;
        f.write("<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:"
                "spreadsheet\" xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
                "<Styles><Style ss:ID=\"n\"><Alignment ss:Vertical=\"Center\"/><Borders>"
                "<Border ss:Position=\"Bottom\" ss:LineStyle=\"Continuous\" ss:Weight=\"1\"/>"
                "</Borders><Font ss:FontName=\"Arial\" ss:Size=\"10\"/>"
                "<NumberFormat ss:Format=\"#,##0.00_ \"/></Style>"
                "<Style ss:ID=\"t\"><Alignment ss:Horizontal=\"Left\"/></Style></Styles>\n");
        for (int p = 1; p <= kPages; ++p) {
            QByteArray sheet = QStringLiteral("<Worksheet ss:Name=\"第%1页\"><Table "
                                              "ss:ExpandedColumnCount=\"%2\" "
                                              "ss:ExpandedRowCount=\"%3\">\n")
                                   .arg(p)
                                   .arg(kCols)
                                   .arg(kRows)
                                   .toUtf8();
            for (int row = 1; row <= kRows; ++row) {
                sheet += "<Row>";
                for (int col = 1; col <= kCols; ++col) {
                    if (isTextColumn(col))
                        sheet += "<Cell ss:StyleID=\"t\"><Data ss:Type=\"String\">" +
                                 text(p, row, col).toUtf8() + "</Data></Cell>";
                    else
                        sheet += "<Cell ss:StyleID=\"n\"><Data ss:Type=\"Number\">" +
                                 QByteArray::number(value(p, row, col), 'g', 15) +
                                 "</Data></Cell>";
                }
                sheet += "</Row>\n";
            }
            sheet += "</Table></Worksheet>\n";
            f.write(sheet);
        }
        f.write("</Workbook>\n");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::map<QString, double> g_reference;  // seconds per run, by reference

// ---- export

void BM_LibxlsxwriterSheets(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray out = QFile::encodeName(f.dir.path() + "/raw.xlsx");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lxw_workbook* wb = workbook_new(out.constData());
        lxw_format* number = workbook_add_format(wb);
        format_set_num_format(number, "#,##0.00");
        format_set_border(number, LXW_BORDER_THIN);
        lxw_format* label = workbook_add_format(wb);
        format_set_num_format(label, "@");
        format_set_border(label, LXW_BORDER_THIN);
        for (int p = 1; p <= kPages; ++p) {
            lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
            for (int row = 1; row <= kRows; ++row)
                for (int col = 1; col <= kCols; ++col) {
                    if (isTextColumn(col))
                        worksheet_write_string(ws, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                               text(p, row, col).toUtf8().constData(), label);
                    else
                        worksheet_write_number(ws, lxw_row_t(row - 1), lxw_col_t(col - 1),
                                               value(p, row, col), number);
                }
        }
        if (workbook_close(wb) != LXW_NO_ERROR) state.SkipWithError("libxlsxwriter failed");
        seconds += secondsSince(start);
    }
    g_reference[QStringLiteral("libxlsxwriter")] = seconds / double(state.iterations());
}
BENCHMARK(BM_LibxlsxwriterSheets)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ExportReport(benchmark::State& state, const char* suffix) {
    Fixture& f = fixture();
    const QString out = f.dir.path() + "/export" + QString::fromLatin1(suffix);
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto h = std::make_unique<CReportHandle>(f.report, CReportHandle::OpenMode::OpenExisting);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (ExportReportToExcel(h.get(), out) != 1) state.SkipWithError("export failed");
        seconds += secondsSince(start);
        state.PauseTiming();
        h.reset();
        state.ResumeTiming();
    }
    qor::setTraceHook(quiet);
    const double reference = g_reference[QStringLiteral("libxlsxwriter")];
    if (reference > 0)
        state.counters["vs_libxlsxwriter"] = seconds / double(state.iterations()) / reference;
}
BENCHMARK_CAPTURE(BM_ExportReport, xls, ".xls")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_ExportReport, xlsx, ".xlsx")->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- import

void BM_FreexlEveryCell(benchmark::State& state) {
    Fixture& f = fixture();
    const QByteArray path = QFile::encodeName(f.xls);
    double seconds = 0, cells = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const void* handle = nullptr;
        if (freexl_open(path.constData(), &handle) != FREEXL_OK) {
            state.SkipWithError("freexl cannot open the workbook");
            break;
        }
        unsigned int sheets = 0;
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
        cells = 0;
        for (unsigned short s = 0; s < sheets; ++s) {
            freexl_select_active_worksheet(handle, s);
            unsigned int rows = 0;
            unsigned short cols = 0;
            freexl_worksheet_dimensions(handle, &rows, &cols);
            for (unsigned int r = 0; r < rows; ++r)
                for (unsigned short c = 0; c < cols; ++c) {
                    FreeXL_CellValue v;
                    if (freexl_get_cell_value(handle, r, c, &v) == FREEXL_OK &&
                        v.type != FREEXL_CELL_NULL)
                        ++cells;
                }
        }
        freexl_close(handle);
        seconds += secondsSince(start);
    }
    state.counters["cells"] = cells;
    g_reference[QStringLiteral("freexl")] = seconds / double(state.iterations());
}
BENCHMARK(BM_FreexlEveryCell)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportWorkbook(benchmark::State& state, bool binary) {
    Fixture& f = fixture();
    const QString book = binary ? f.xls : f.xlsx;
    const qor::TraceHook quiet = qor::setTraceHook([](const QString&) {});
    double seconds = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto h = std::make_unique<CReportHandle>(
            f.dir.path() + QStringLiteral("/import%1-%2.rep").arg(binary).arg(++run));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (qor::ImportExcelWorkbook(h.get(), book, nullptr) != 1)
            state.SkipWithError("import failed");
        seconds += secondsSince(start);
        state.PauseTiming();
        h.reset();
        state.ResumeTiming();
    }
    qor::setTraceHook(quiet);
    const double reference = g_reference[QStringLiteral("freexl")];
    if (reference > 0) state.counters["vs_freexl"] = seconds / double(state.iterations()) / reference;
}
BENCHMARK_CAPTURE(BM_ImportWorkbook, xls, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_ImportWorkbook, xlsx, false)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- spreadsheet XML

void BM_Libxml2CellWalk(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0, cells = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // The bytes are read here: the XML layer lets libxml2 fetch nothing
        // by itself, the document included.
        QFile file(f.xml);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        xmlDocPtr doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_HUGE);
        if (!doc) {
            state.SkipWithError("libxml2 cannot parse the workbook");
            break;
        }
        cells = 0;
        auto named = [](xmlNodePtr n, const char* name) {
            return n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name);
        };
        for (xmlNodePtr ws = xmlDocGetRootElement(doc)->children; ws; ws = ws->next) {
            if (!named(ws, "Worksheet")) continue;
            for (xmlNodePtr t = ws->children; t; t = t->next) {
                if (!named(t, "Table")) continue;
                for (xmlNodePtr row = t->children; row; row = row->next) {
                    if (!named(row, "Row")) continue;
                    for (xmlNodePtr cell = row->children; cell; cell = cell->next) {
                        if (!named(cell, "Cell")) continue;
                        xmlChar* style = xmlGetProp(cell, BAD_CAST "StyleID");
                        xmlFree(style);
                        for (xmlNodePtr d = cell->children; d; d = d->next) {
                            if (!named(d, "Data")) continue;
                            xmlChar* content = xmlNodeGetContent(d);
                            if (content) ++cells;
                            xmlFree(content);
                        }
                    }
                }
            }
        }
        xmlFreeDoc(doc);
        seconds += secondsSince(start);
    }
    state.counters["cells"] = cells;
    g_reference[QStringLiteral("libxml2")] = seconds / double(state.iterations());
}
BENCHMARK(BM_Libxml2CellWalk)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReadWorksheetTables(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto h = std::make_unique<CReportHandle>(f.dir.path() +
                                                 QStringLiteral("/xml%1.rep").arg(++run));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        CSpreadsheetXmlDoc reader;
        reader.Open(f.xml);
        if (reader.LoadFailed()) state.SkipWithError("the workbook did not load");
        for (const qor::XmlNode& ws : reader.GetRootElement().childElements(u"Worksheet"))
            reader.ReadWorksheetTable(ws, h.get(), 1);
        seconds += secondsSince(start);
        state.PauseTiming();
        h.reset();
        state.ResumeTiming();
    }
    const double reference = g_reference[QStringLiteral("libxml2")];
    if (reference > 0)
        state.counters["vs_libxml2"] = seconds / double(state.iterations()) / reference;
}
BENCHMARK(BM_ReadWorksheetTables)->Unit(benchmark::kMillisecond)->Iterations(1);

// The import of a spreadsheet XML file as `qor convert` does it: the file
// read twice as a stream, its first worksheet's rows one at a time, no tree
// of its cells. Its memory is measured outside (/usr/bin/time -v on qor
// convert); here the time.
void BM_ImportSpreadsheetXml(benchmark::State& state) {
    Fixture& f = fixture();
    double seconds = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto h = std::make_unique<CReportHandle>(f.dir.path() +
                                                 QStringLiteral("/sx%1.rep").arg(++run));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (!qor::ImportSpreadsheetXml(*h, f.xml).ok) state.SkipWithError("the workbook did not import");
        seconds += secondsSince(start);
        state.PauseTiming();
        h.reset();
        state.ResumeTiming();
    }
    const double reference = g_reference[QStringLiteral("libxml2")];
    if (reference > 0)
        state.counters["vs_libxml2"] = seconds / double(state.iterations()) / reference;
}
BENCHMARK(BM_ImportSpreadsheetXml)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

// Makes the seed corpora of the fuzz targets with our own writers:
//
//   fuzz_seeds OUTPUT_DIR        (normally fuzz/corpus)
//
// One folder per target; existing seeds of the same name are replaced,
// other files (crashing inputs kept as regression seeds) stay.

#include <zip.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "charts/cgraphitem.h"
#include "charts/coleitem.h"
#include "charts/contentsstream.h"
#include "charts/objectdata.h"
#include "document/doc_others.h"
#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "exchange/jetdriver.h"
#include "exchange/ownxml_export.h"
#include "exchange/ownxml_settings.h"
#include "exchange/workbook_model.h"
#include "fuzz/fuzzsupport.h"
#include "platform/codepage.h"
#include "platform/compoundfile.h"
#include "platform/inifile.h"

using namespace qor;

namespace {

QString g_out;

void seed(const char* target, const QString& name, const QByteArray& bytes) {
    const QString dir = g_out + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    qorfuzz::writeFile(dir + QLatin1Char('/') + name, bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return f.readAll();
}

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_seeds: %s failed\n", what);
    std::exit(1);
}

// ---- reports

void fillPage(CReportHandle& h, int page, int seed) {
    for (int r = 1; r <= 4; ++r)
        for (int c = 2; c <= 4; ++c)
            h.SetCellValue(CellValue::ofNumber(seed * 100 + r * 10 + c + 0.25), r, c, page);
    h.SetCellValue(CellValue::ofText(QStringLiteral("单位%1").arg(seed)), 5, 2, page);
    h.SetPageKeyword(1, KeywordValue{2, 0, QStringLiteral("北京")}, page);
    h.SetPageKeyword(2, KeywordValue{1, 2004, {}}, page);
}

// A small report with one page of each kind of content.
QString plainReport(const QString& path, uint16_t rows = 50, uint16_t cols = 7) {
    CReportHandle h(path);
    check(h.IsOpen(), "new report");
    check(h.AccessTableSize(1, &rows, &cols) == 0, "table size");
    check(h.EnterDataState() == 0, "data state");
    check(h.AppendRowColPage(2, 2) == 0, "pages");
    fillPage(h, 1, 1);
    fillPage(h, 2, 2);
    check(h.Save() == 0, "save plain");
    return path;
}

// Labels, combined cells, a formula, keyword cells, a variable area of
// rows with lines on its pages, page setup and a format password.
QString richReport(const QString& path, uint16_t rows = 12, uint16_t cols = 6) {
    CReportHandle h(path);
    check(h.IsOpen(), "new report");
    check(h.AccessTableSize(1, &rows, &cols) == 0, "table size");
    h.SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("资产负债表")}, 1, 1);
    h.SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("期末数")}, 2, 3);
    CellArea comb = CellArea::area(1, 1, 1, 3);
    h.CombineCells(&comb);
    CellArea f = CellArea::area(8, 3, 8, 4);
    h.SetAreaFormula(&f, QStringLiteral("C3+C4"));
    int kind = 1, start = 4, extent = 5;
    h.AccessVarArea(1, &kind, &start, &extent);
    CellRef kw{0, 10, 2};
    h.AccessKeywordCell(1, 1, &kw);
    PageSetupBlock setup;
    setup.margins = {20, 30, 20, 30};
    setup.scale = 0.8f;
    h.SetPageSetup(setup);
    h.SetFormatPassword(QStringLiteral("pw"));
    check(h.EnterDataState() == 0, "data state");
    check(h.AppendRowColPage(2, 2) == 0, "pages");
    for (int p = 1; p <= 2; ++p) {
        check(h.SetCurPage(p) == 0, "page");
        int used = 3 + p;
        h.AccessVarCount(1, &used);
        fillPage(h, p, p + 5);
    }
    check(h.Save() == 0, "save rich");
    return path;
}

QString columnAreaReport(const QString& dir) {
    const QString path = dir + "/columns.rep";
    CReportHandle h(path);
    check(h.IsOpen(), "new report");
    int kind = 2, start = 3, extent = 4;
    h.AccessVarArea(1, &kind, &start, &extent);
    check(h.EnterDataState() == 0, "data state");
    check(h.AppendRowColPage(1, 2) == 0, "pages");
    check(h.SetCurPage(1) == 0, "page");
    int used = 4;
    h.AccessVarCount(1, &used);
    fillPage(h, 1, 9);
    check(h.Save() == 0, "save columns");
    return path;
}

std::vector<QByteArray> reportStreams(const QString& path) {
    auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    check(cf != nullptr, "open report file");
    return {cf->readAll(QString::fromLatin1(kRepStreamName)),
            cf->readAll(QString::fromLatin1(kPageStreamName)),
            cf->readAll(QString::fromLatin1(kVarStreamName))};
}

void reportSeeds(const QString& work) {
    const QStringList reports = {plainReport(work + "/plain.rep"), richReport(work + "/rich.rep"),
                                 columnAreaReport(work)};
    for (const QString& path : reports) {
        const QString base = QFileInfo(path).completeBaseName();
        const QByteArray file = readFile(path);
        const std::vector<QByteArray> streams = reportStreams(path);
        seed("fuzz_report", base + "-file", QByteArray(1, '\0') + file);
        seed("fuzz_report", base + "-streams", QByteArray(1, '\1') + qorfuzz::joinParts(streams));
        if (base == QLatin1String("rich")) {
            // Opened as the Reader opens it: cell formats read when used.
            seed("fuzz_report", base + "-file-pending", QByteArray(1, '\2') + file);
            seed("fuzz_report", base + "-streams-pending",
                 QByteArray(1, '\3') + qorfuzz::joinParts(streams));
        }
        seed("fuzz_compoundfile", base, file);
        seed("fuzz_inusemark", base + "-file", QByteArray(1, '\0') + file);
        seed("fuzz_inusemark", base + "-stream", QByteArray(1, '\1') + streams[0]);
    }
    // A marked file.
    const QString marked = work + "/marked.rep";
    QFile::copy(reports[0], marked);
    {
        QByteArray stream = reportStreams(marked)[0];
        const QByteArray mark = encodeInUseMark(InUseMark{true, QStringLiteral("OTHER-PC")});
        stream.replace(kMarkerOffset, mark.size(), mark);
        seed("fuzz_inusemark", "marked-stream", QByteArray(1, '\1') + stream);
    }

    // Exchange files of small reports (every cell's format is written out).
    for (const QString& path :
         {plainReport(work + "/xml-plain.rep", 3, 3), richReport(work + "/xml-rich.rep", 10, 4)}) {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        check(h.IsOpen(), "reopen");
        const QString xml = work + "/" + QFileInfo(path).completeBaseName() + ".xml";
        ExportSetMembers all;
        check(WriteOwnXml(h, xml, all).written, "own xml export");
        seed("fuzz_ownxml", QFileInfo(xml).fileName(), readFile(xml));
    }
}

// ---- document streams

void othersSeeds() {
    seed("fuzz_others", "empty", encodeDocOthers(DocOthers{}));
    DocOthers o;
    o.filePassword = QStringLiteral("密码pw");
    o.showPageBreaks = true;
    o.dataState = false;
    o.currentPage = 3;
    o.chartCounter = 2;
    o.manualBreaks[0] = PageBreakEntry{-1, 10, -1};
    o.manualBreaks[1] = PageBreakEntry{-1, -1, 4};
    o.pagePeriods = QStringList{QStringLiteral("2004-5-1"), QStringLiteral("2004-6-1")};
    o.unknownRecords.push_back(OthersRecord{fourcc("NEWR"), QByteArray("\x01\x02\x03", 3)});
    o.clientMarker = kConsolClientMarker;
    seed("fuzz_others", "full", encodeDocOthers(o));
}

void contentsSeeds() {
    using namespace qor::items;
    auto base = std::make_shared<CComItem>();
    base->SetPage(1);
    base->SetPosition(QPoint(10, 20));
    auto chart = std::make_shared<CGraphItem>();
    chart->SetPage(2);
    ChartDesc d = ChartDesc::MakeDefault(400, 300, 1);
    d.SetSourceArea(CellArea::area(3, 2, 8, 6));
    d.SetFont(ChartDesc::kTitleFont, ChartFont{QStringLiteral("宋体"), 14, 0x01000001});
    chart->SetChartDesc(d);
    auto ole = std::make_shared<COleItem>();
    OleClientRecord c;
    c.itemType = OleClientRecord::kLink;
    c.classId = QStringLiteral("Paint.Picture");
    c.linkSource = QStringLiteral("/data/图.png");
    c.presentation = QByteArray("\x89PNG\r\n\x1a\n", 8);
    ole->SetClient(c);
    seed("fuzz_contents", "empty", WriteContents({}));
    seed("fuzz_contents", "three-items", WriteContents({base, chart, ole}));
    seed("fuzz_contents", "chart-object", WriteItemObject(*chart));
    seed("fuzz_contents", "ole-payload", WriteOlePayload(WriteItemObject(*ole), "object bytes"));
    seed("fuzz_contents", "link-source", WriteLinkSource("/srv/a.rep", "Page2!B2:D5"));
}

// ---- workbooks

void xlsxSeeds(const QString& work) {
    XlWorkbook wb(2);
    XlWorksheet* s = wb.sheet(1);
    s->range(QStringLiteral("A1")).setText(QStringLiteral("项目"));
    s->range(QStringLiteral("B1")).setNumber(12.5);
    s->range(QStringLiteral("A2:B2")).setText(QStringLiteral("shared"));
    XlRange styled = s->range(QStringLiteral("B3:C4"));
    styled.setNumber(-3);
    styled.setNumberFormat(QStringLiteral("#,##0.00"));
    styled.setBold(true);
    styled.setFillColor(0x00FFCC00);
    styled.setBorderLineStyle(7, 1);
    styled.merge();
    s->range(QStringLiteral("C1")).setColumnWidth(20);
    s->range(QStringLiteral("A5")).setRowHeight(30);
    const QString path = work + "/book.xlsx";
    wb.saveAs(path);
    seed("fuzz_xlsx", "book-file", QByteArray(1, '\0') + readFile(path));

    // The same package as parts.
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    check(z != nullptr, "open xlsx");
    std::vector<QByteArray> parts;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        check(f != nullptr, "xlsx part");
        QByteArray content(qsizetype(st.size), '\0');
        zip_fread(f, content.data(), st.size);
        zip_fclose(f);
        parts.push_back(QByteArray(st.name) + '\n' + content);
    }
    zip_close(z);
    seed("fuzz_xlsx", "book-parts", QByteArray(1, '\1') + qorfuzz::joinParts(parts));

    // The same workbook as .xls: its stream, and the whole file.
    const QString xls = work + "/book.xls";
    wb.saveAs(xls);
    const std::unique_ptr<CompoundFile> cf = CompoundFile::open(xls, CompoundFile::Mode::ReadOnly);
    check(cf != nullptr, "open xls");
    seed("fuzz_xls", "book-stream", QByteArray(1, '\0') + cf->readAll(QStringLiteral("Workbook")));
    seed("fuzz_xls", "book-file", QByteArray(1, '\1') + readFile(xls));
}

// ---- texts

void textSeeds(const QString& work) {
    const QString script = QStringLiteral(
        "* 样例\r\nFIND FOR MRECNO()=1\r\nLET 年 = 2004\r\nLET A1 = 1200\r\n"
        "LET C1 = A1-B1\r\nLET &x = \"ab\" + STR(3)\r\nTOTAL TO \"t.rep\"\r\nLIST MEMORY\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar ch : script) {
        utf16 += char(ch.unicode() & 0xFF);
        utf16 += char(ch.unicode() >> 8);
    }
    seed("fuzz_script", "utf16le.shl", utf16);
    seed("fuzz_script", "utf8.shl", script.toUtf8());
    seed("fuzz_script", "cp936.shl", encodeCp936(script));
    seed("fuzz_script", "sample.shl",
         readFile(QStringLiteral(QOR_SOURCE_DIR "/samples/sample.shl")));

    seed("fuzz_formula", "line", QByteArray(1, '\0') + QByteArray("LET A1 = SUM(B1:B4)+年*2"));
    seed("fuzz_formula", "formula", QByteArray(1, '\0') + QByteArray("IF(A1>0, A1/B1, 0)"));
    seed("fuzz_formula", "audit", QByteArray(1, '\0') + QByteArray("C1 = A1 - B1\nA5 >= 0"));

    seed("fuzz_readerscript", "calls",
         QByteArray("# a Reader script\nOpen \"r.rep\"\nSetCurPage 1\nSetCurCell 2 3\n"
                    "SetData \"期末 \\\"数\\\"\\n\"\nSetData 12.5\nGetData\nSave\nClose\n"));

    for (auto enc :
         {IniFile::Encoding::Utf16Le, IniFile::Encoding::Utf8, IniFile::Encoding::Gb18030}) {
        const QString path = work + "/ini" + QString::number(int(enc)) + ".ini";
        IniFile ini(path);
        ini.setEncoding(enc);
        ini.setString(QStringLiteral("Software\\Vantix\\QX\\V8.610\\Install"),
                      QStringLiteral("Path"), QStringLiteral("/opt/报表"));
        ini.setString(QStringLiteral("Reader"), QStringLiteral("Count"), QStringLiteral("12"));
        ini.setString(QStringLiteral("Reader"), QStringLiteral("Quoted"), QStringLiteral(" a "));
        check(ini.save(), "ini save");
        QByteArray bytes = readFile(path);
        bytes +=
            enc == IniFile::Encoding::Utf16Le ? QByteArray() : QByteArray("; comment\nno equals\n");
        seed("fuzz_inifile", QFileInfo(path).fileName(), bytes);
    }

    const QString chinese = QStringLiteral("资产负债表 2004年5月 €𠀀");
    seed("fuzz_codepage", "cp936", QByteArray(1, '\0') + encodeCp936(chinese));
    seed("fuzz_codepage", "utf8", QByteArray(1, '\4') + chinese.toUtf8());
    QByteArray gb = encodeText(chinese, "GB18030");
    seed("fuzz_codepage", "gb18030", QByteArray(1, '\2') + gb);
}

// ---- data files: a text table with its Schema.ini, a dBASE file

void dataFileSeeds(const QString& work) {
    jet::LoadedTable t;
    t.fields = {{QStringLiteral("名称"), jet::kText, 20}, {QStringLiteral("Qty"), jet::kDouble, 8},
                {QStringLiteral("Code"), jet::kText, 5}};
    t.rows = {{QStringLiteral("甲, \"乙\""), 1.5, QStringLiteral("007")},
              {QVariant(), -2e3, QString("")},
              {QStringLiteral("line\nbreak"), QVariant(), QStringLiteral("A1")}};
    QStringList notes;
    const QString txt = work + QStringLiteral("/seed.txt");
    QFile::remove(work + QStringLiteral("/Schema.ini"));
    jet::writeTextTable(txt, t, &notes);
    seed("fuzz_datatext", "csv-alone", readFile(txt));
    seed("fuzz_datatext", "csv-with-schema",
         qorfuzz::joinParts({readFile(work + QStringLiteral("/Schema.ini")), readFile(txt)}));
    const QString dbf = work + QStringLiteral("/seed.dbf");
    jet::writeDBaseFile(dbf, t, &notes);
    seed("fuzz_dbf", "table", readFile(dbf));
    const QList<jet::NamedTable> tables{{QStringLiteral("销售"), t}, {QStringLiteral("Sheet2"), t}};
    const QString mdb = work + QStringLiteral("/seed.mdb");
    jet::writeAccessFile(mdb, tables, &notes);
    seed("fuzz_mdb", "two-tables", readFile(mdb));
    const QString wk4 = work + QStringLiteral("/seed.wk4");
    jet::writeLotusFile(wk4, tables, &notes);
    seed("fuzz_wk4", "two-sheets", readFile(wk4));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTPUT_DIR\n");
        return 2;
    }
    g_out = QFile::decodeName(argv[1]);
    const QString work = qorfuzz::scratchDir();
    reportSeeds(work);
    othersSeeds();
    contentsSeeds();
    xlsxSeeds(work);
    textSeeds(work);
    dataFileSeeds(work);
    return 0;
}

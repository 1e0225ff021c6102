// File > Open by type: a workbook written by another program, with its
// sheet question, and the own XML the exporter writes.
#include <QFile>
#include <memory>
#include <new>

#include "document/doc_files.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frame_fixture.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;

namespace {

const char* kTwoSheets = R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
a = wb.active
a.title = "一月"
a["A1"] = 120
a["B1"] = "收入"
b = wb.create_sheet("二月")
b["A1"] = 340
wb.save(sys.argv[1])
)PY";

using OpenByType = FrameFixture;

// qorview started on a file, loading it and leaving at once.
int loadsInQorview(const QString& path) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return qortest::run(QStringLiteral(QOR_VIEW_BINARY), {path, QStringLiteral("--quit-after-load")})
        .exitCode;
}

TEST_F(OpenByType, AWorkbookWithTwoSheetsAsksAndShowsItsValues) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const QString path = qortest::freshDir("frames-xlsx") + "/two.xlsx";
    const qortest::ProcessResult r = qortest::python(QString::fromUtf8(kTwoSheets), {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    files = {path};
    ASSERT_TRUE(frame->Router().Execute(kCmdFileOpen));
    // Two sheets: the sheet choice was shown (and answered with its
    // default, every sheet).
    EXPECT_TRUE(dialogs.contains(QStringLiteral("CSetPageNoDlg"))) << dialogs.join(u' ').toStdString();
    ASSERT_EQ(frame->Children().size(), 1) << messages.join(u'|').toStdString();
    CQorsDoc* doc = frame->ActiveDocument();
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 2);
    double v = 0;
    ASSERT_TRUE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_EQ(v, 120);
    EXPECT_TRUE(fileFilters.last().contains(u"*.xlsx"));
    EXPECT_TRUE(fileFilters.last().contains(u"*.xml"));
    EXPECT_EQ(loadsInQorview(path), 0);
}

TEST_F(OpenByType, OwnXmlFromTheExporterOpensWithItsValues) {
    const QString dir = qortest::freshDir("frames-xml");
    CChildFrame* made = newReport();
    CQorsDoc* doc = made->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText(QStringLiteral("56"), 1), 0);
    ASSERT_TRUE(doc->Files().OnSaveDocument(dir + "/own.xml"));
    if (qortest::needProgram(QStringLiteral("xmllint"))) {
        const qortest::ProcessResult lint =
            qortest::run(QStringLiteral("xmllint"), {QStringLiteral("--noout"), dir + "/own.xml"});
        EXPECT_EQ(lint.exitCode, 0) << lint.err.constData();
    }
    doc->SetModifiedFlag(false);
    CChildFrame* opened = frame->OpenDocumentFile(dir + "/own.xml");
    ASSERT_NE(opened, nullptr) << messages.join(u'|').toStdString();
    EXPECT_NE(opened, made);
    double v = 0;
    ASSERT_TRUE(opened->GetDocument()->GetNumCellValue(0, 0, &v));
    EXPECT_EQ(v, 56);
    EXPECT_EQ(loadsInQorview(dir + "/own.xml"), 0);
    // A damaged binary workbook is refused, and the file stays as it was.
    const QString xls = dir + "/old.xls";
    {
        QFile f(xls);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xD0\xCF\x11\xE0");
    }
    EXPECT_EQ(loadsInQorview(xls), 1);
    QFile f(xls);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xD0\xCF\x11\xE0"));
}

// Save As and Open reach the data files with several tables: Access and
// Lotus files; saving as a binary workbook asks whether formats go too.
TEST_F(OpenByType, SaveAsAndOpenAccessLotusAndValuesWorkbooks) {
    const QString dir = qortest::freshDir("frames-datafiles");
    CChildFrame* made = newReport();
    CQorsDoc* doc = made->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText(QStringLiteral("77"), 1), 0);
    for (const char* ext : {"mdb", "wk4"}) {
        const QString path = dir + "/data." + ext;
        files = {path};
        ASSERT_TRUE(frame->Router().Execute(kCmdFileSaveAs)) << ext;
        ASSERT_TRUE(QFile::exists(path)) << ext << messages.join(u'|').toStdString();
        EXPECT_TRUE(fileFilters.last().contains(QStringLiteral("*.") + ext));
        CChildFrame* opened = frame->OpenDocumentFile(path);
        ASSERT_NE(opened, nullptr) << ext << messages.join(u'|').toStdString();
        double v = 0;
        ASSERT_TRUE(opened->GetDocument()->GetNumCellValue(0, 0, &v));
        EXPECT_EQ(v, 77) << ext;
        made->activateWindow();
        QApplication::processEvents();
    }
    // 62630 answered No: the values alone.
    messages.clear();
    answers = {qor::MsgAnswer::No};
    ASSERT_TRUE(doc->Files().OnSaveDocument(dir + "/values.xls"));
    EXPECT_TRUE(said(QStringLiteral("是否同时将格式转换为Excel"))) << messages.join(u'|').toStdString();
    if (qortest::needPythonModule(QStringLiteral("xlrd"))) {
        const qortest::ProcessResult r = qortest::python(
            QStringLiteral("import sys, xlrd\ns = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                           "print(s.row_values(0)[0], s.row_values(1)[0])\n"),
            {dir + "/values.xls"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QStringLiteral("A 77.0"));
    }
}

}  // namespace

namespace {

const char* kSample =
    "<?xml version=\"1.0\"?>\n"
    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
    " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\" SampleID=\"S01\">\n"
    "<Styles><Style ss:ID=\"h\"><Font ss:Bold=\"1\"/></Style></Styles>\n"
    "<Worksheet ss:Name=\"资产负债表\"><Table ss:ExpandedColumnCount=\"3\" ss:ExpandedRowCount=\"4\">\n"
    "<Row><Cell ss:StyleID=\"h\" ss:MergeAcross=\"2\"><Data ss:Type=\"String\">资产负债表</Data></Cell></Row>\n"
    "<Row ss:Index=\"3\"><Cell><Data ss:Type=\"String\">货币资金</Data></Cell><Cell/></Row>\n"
    "</Table></Worksheet></Workbook>\n";

using qortest::writeFile;

TEST_F(OpenByType, SpreadsheetXmlImportMakesAReportAndRefusesOtherXml) {
    const QString dir = qortest::freshDir("frames-ssxml");
    writeFile(dir + "/sample.xml", kSample);
    writeFile(dir + "/other.xml", "<ReportData/>");
    writeFile(dir + "/broken.xml", "<Workbook><Worksheet>");

    // Neither another XML nor a file that does not load makes a report.
    for (const char* name : {"/other.xml", "/broken.xml"}) {
        messages.clear();
        files = {dir + name};
        ASSERT_TRUE(frame->Router().Execute(kCmdSpreadsheetXmlImport));
        EXPECT_EQ(frame->Children().size(), 0);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], LoadErrorText(qor::str::kUnsupportedXml));
    }
    EXPECT_TRUE(fileFilters.last().contains(u"*.xml"));

    messages.clear();
    files = {dir + "/sample.xml"};
    ASSERT_TRUE(frame->Router().Execute(kCmdSpreadsheetXmlImport));
    ASSERT_EQ(frame->Children().size(), 1) << messages.join(u'|').toStdString();
    CReportHandle* h = frame->ActiveDocument()->GetReport();
    EXPECT_EQ(h->GetRowCount(), 4);
    EXPECT_EQ(h->GetColCount(), 3);
    EXPECT_EQ(h->IsFormatState(), 0);
    EXPECT_EQ(h->GetCellText(1, 1, 1), QStringLiteral("资产负债表"));
    EXPECT_EQ(h->GetCellText(3, 1, 1), QStringLiteral("货币资金"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();

    // File > Open reads the same workbook by its root element.
    frame->ActiveDocument()->SetModifiedFlag(false);
    CChildFrame* opened = frame->OpenDocumentFile(dir + "/sample.xml");
    ASSERT_NE(opened, nullptr) << messages.join(u'|').toStdString();
    EXPECT_EQ(opened->GetDocument()->GetReport()->GetCellText(3, 1, 1), QStringLiteral("货币资金"));
    EXPECT_EQ(frame->OpenDocumentFile(dir + "/other.xml"), nullptr);
}

// A text file whose first line is taken as names and a dBASE file with
// more decimals than a cell keeps open with the box that names the loss,
// as a workbook does.
TEST_F(OpenByType, ADataFileThatLosesSomethingOpensWithTheLossBox) {
    const QString dir = qortest::freshDir("frames-dataloss");
    writeFile(dir + "/names.csv", "项目,金额\n收入,120.5\n");
    // One N(20,10) field holding 0.1234567891, written as dBASE III writes it.
    QByteArray dbf(32, '\0');
    dbf[0] = 0x03;
    dbf[4] = 1;
    dbf[8] = 65;
    dbf[10] = 21;
    QByteArray field("AMT\0\0\0\0\0\0\0\0N\0\0\0\0", 16);
    field += QByteArray("\x14\x0A", 2) + QByteArray(14, '\0');
    dbf += field + '\r' + ' ' + QByteArray("0.1234567891").rightJustified(20, ' ') + '\x1A';
    writeFile(dir + "/amounts.dbf", dbf);
    const struct {
        const char* file;
        QString loss;
        QString first;
    } opened[] = {{"/names.csv", QStringLiteral("第1行“项目,金额”被当作字段名读取"), QStringLiteral("收入")},
                  {"/amounts.dbf", QStringLiteral("小数位超过7位的数值已舍入"), QStringLiteral("0.1234568")}};
    for (const auto& o : opened) {
        SCOPED_TRACE(o.file);
        messages.clear();
        files = {dir + o.file};
        const qsizetype before = frame->Children().size();
        ASSERT_TRUE(frame->Router().Execute(kCmdFileOpen));
        ASSERT_EQ(frame->Children().size(), before + 1) << messages.join(u'|').toStdString();
        ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
        EXPECT_TRUE(messages[0].contains(o.loss)) << messages[0].toStdString();
        EXPECT_EQ(frame->ActiveDocument()->GetReport()->GetCellText(1, 1, 1), o.first);
    }
}

}  // namespace

namespace {

// A reader and writer that run out of memory, as one reading a file far
// larger than the memory left would.
class HungryConverter final : public qor::IDocConverter {
public:
    bool CanImport() const override { return true; }
    bool CanExport() const override { return true; }
    bool Import(CQorsDoc&, CReportHandle&, const QString&, QString*) override {
        throw std::bad_alloc();
    }
    bool Export(CQorsDoc&, const QString&, QString*) override { throw std::bad_alloc(); }
};

}  // namespace

TEST_F(OpenByType, AFileThatRunsOutOfMemoryFailsAloneAndTheOtherReportsStay) {
    const QString dir = qortest::freshDir("frames-nomemory");
    const auto previous =
        qor::RegisterDocConverter(QStringLiteral("hungry"), std::make_shared<HungryConverter>());
    CChildFrame* first = newReport();
    CChildFrame* second = newReport();
    CQorsDoc* doc = second->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(0, 0);
    ASSERT_EQ(doc->SetCellText(QStringLiteral("77"), 1), 0);
    ASSERT_TRUE(doc->IsModified());

    const QString big = dir + "/big.hungry";
    qortest::writeFile(big, "x");
    files = {big};
    messages.clear();
    frame->Router().Execute(kCmdFileOpen);
    EXPECT_EQ(frame->Children().size(), 2);
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    EXPECT_TRUE(messages[0].contains(qor::NoMemoryText(big))) << messages[0].toStdString();

    // Saving as one fails the same way and keeps the report's changes.
    messages.clear();
    EXPECT_FALSE(doc->Files().OnSaveDocument(dir + "/out.hungry"));
    EXPECT_TRUE(messages.join(u'|').contains(qor::NoMemoryText(dir + "/out.hungry")))
        << messages.join(u'|').toStdString();
    EXPECT_TRUE(doc->IsModified());
    double v = 0;
    ASSERT_TRUE(doc->GetNumCellValue(0, 0, &v));
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(frame->Children().contains(first));
    qor::RegisterDocConverter(QStringLiteral("hungry"), previous);
}

// A workbook of one sheet whose name a report cannot keep and a formula
// read as its value: opening it shows one loss box, in the words of
// opening, with every loss the command line's conversion names.
TEST_F(OpenByType, OpeningTellsEveryLossAConversionNames) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const QString dir = qortest::freshDir("frames-xlsx-losses");
    const QString path = dir + "/simple.xlsx";
    const qortest::ProcessResult made = qortest::python(
        QStringLiteral("import sys, openpyxl\n"
                       "wb = openpyxl.Workbook(); ws = wb.active; ws.title = '资产负债'\n"
                       "ws['A1'] = 5; ws['A2'] = '=A1*2'; wb.save(sys.argv[1])\n"),
        {path});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const qortest::ProcessResult converted =
        qortest::run(QStringLiteral(QOR_APP_BINARY),
                     {QStringLiteral("convert"), path, dir + QStringLiteral("/simple.rep")});
    ASSERT_EQ(converted.exitCode, 3) << converted.err.constData();
    QStringList named;
    for (const QString& line : QString::fromUtf8(converted.err).split(u'\n'))
        if (line.startsWith(QStringLiteral("qor convert: left out: ")))
            named << line.mid(int(qstrlen("qor convert: left out: ")));
    ASSERT_FALSE(named.isEmpty()) << converted.err.constData();

    files = {path};
    ASSERT_TRUE(frame->Router().Execute(kCmdFileOpen));
    ASSERT_EQ(frame->Children().size(), 1) << messages.join(u'|').toStdString();
    ASSERT_EQ(messages.size(), 1) << messages.join(u'|').toStdString();
    const QString told = messages.first();
    EXPECT_TRUE(told.startsWith(LoadErrorText(qor::str::kNotReadHeading).arg(QStringLiteral("simple.xlsx"))))
        << told.toStdString();
    EXPECT_FALSE(told.contains(LoadErrorText(qor::str::kLeftOutHeading))) << told.toStdString();
    EXPECT_GE(named.size(), 2) << converted.err.constData();
    for (const QString& loss : named)
        EXPECT_TRUE(told.contains(loss)) << loss.toStdString() << " not in: " << told.toStdString();
}

// Writing reports to the exchange file, checked with independent readers
// (xmllint and python3's xml.etree).
#include "exchange/ownxml_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFile>

#include "exchange/ownxml_import.h"
#include "tests/exchange/ownxml_testutil.h"

using oxtest::etree;
using oxtest::newReport;
using oxtest::setFormat;

namespace {

qor::OwnXmlExportResult exportAll(CReportHandle& h, const QString& target) {
    return qor::WriteOwnXml(h, target, qor::InitialExportSettings(&h));
}

qor::OwnXmlExportResult exportPages(CReportHandle& h, const QString& target,
                                    const QList<int>& pages) {
    qor::ExportSetMembers m = qor::InitialExportSettings(&h);
    m.m_bAllPages = 0;
    qor::ApplyExportPageSelection(&m, pages);
    return qor::WriteOwnXml(h, target, m);
}

// A dialog that answers with fixed members.
class PresetDialog : public qor::IExportSettingsDialog {
public:
    explicit PresetDialog(std::function<bool(qor::ExportSetMembers*)> answer)
        : m_answer(std::move(answer)) {}
    bool RunExportSettings(qor::ExportSetMembers* m) override { return m_answer(m); }

private:
    std::function<bool(qor::ExportSetMembers*)> m_answer;
};

class DialogScope {
public:
    explicit DialogScope(std::shared_ptr<qor::IExportSettingsDialog> d)
        : m_previous(qor::InstallExportSettingsDialog(std::move(d))) {}
    ~DialogScope() { qor::InstallExportSettingsDialog(m_previous); }

private:
    std::shared_ptr<qor::IExportSettingsDialog> m_previous;
};

}  // namespace

TEST(OwnXmlExport, ElementsComeInTheFilesOrderAndXmllintAcceptsTheFile) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/order.rep", 6, 4);
    setFormat(*h, qor::kFmtKind, kCellText, CellArea::cell(1, 1));
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("项目")}, 1, 2), 0);
    CellArea formulaArea = CellArea::area(3, 3, 4, 3);
    ASSERT_EQ(h->SetAreaFormula(&formulaArea, "A3+B3"), 0);
    CellRef kw{0, 5, 1};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &kw), 0);
    const CellArea comb = CellArea::area(5, 2, 6, 3);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    oxtest::toData(*h, 2);
    oxtest::setNumber(*h, 1, 2, 2, 7);
    oxtest::setKeyword(*h, 2, 1, 2004);
    oxtest::setKeyword(*h, 2, 2, 2005);

    const QString xml = dir + "/order.xml";
    const auto r = exportAll(*h, xml);
    ASSERT_TRUE(r.written) << qPrintable(r.detail);
    EXPECT_EQ(r.messageId, qor::str::kConversionDone);

    if (auto lint = xmltest::xmllint({"--noout", xml})) {
        EXPECT_EQ(lint->exitCode, 0) << lint->err.constData();
    }
    const QByteArray head = xmltest::readAll(xml).left(60).toLower();
    EXPECT_TRUE(head.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>")) << head.constData();

    if (!qortest::needPythonModule("xml")) GTEST_SKIP() << "no python3";
    const auto py = etree(xml, R"(
order = ['height','width','start_row','start_col','end_row','end_col','(data_type,(cell_value,)+)?',
 'decimal_digits','has_comma','currency_symbol','has_percent','multi_line','font_name_index',
 'font_style','font_size','(formula,formula_area,)?','((keyword_value,)+keyword_name,)?',
 'horizontal_alignment','vertical_alignment','right_line_type','bottom_line_type',
 'top_line_type','left_line_type','background_color','foreground_color','fill_type']
pattern = re.compile('^' + ''.join(p if p.startswith('(') else p + ',' for p in order) + '$')
assert root.tag == 'iqor_export'
print(list(root.attrib.keys()))
print(root.attrib['format'], root.attrib['data'], root.attrib['formula'], root.attrib['repname'])
kids = [c.tag for c in root]
seen_date = False
for k in kids:
    if k == 'keyword_date': seen_date = True
    else: assert k == 'cell_property' and not seen_date, kids
cells = root.findall('cell_property')
last = (0, 0)
for c in cells:
    tags = ''.join(t.tag + ',' for t in c)
    assert pattern.match(tags), tags
    at = (int(c.find('start_row').text), int(c.find('start_col').text))
    assert at > last, (at, last)
    last = at
print(len(cells), kids.count('keyword_date'))
for c in cells:
    if c.find('formula') is not None:
        print('formula', c.find('start_row').text, c.find('formula').text, c.find('formula_area').text)
    if c.find('keyword_name') is not None:
        print('keyword', [v.text or '' for v in c.findall('keyword_value')], c.find('keyword_name').text)
print([d.text for d in root.findall('keyword_date')])
)");
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    const QStringList lines = QString::fromUtf8(py.out).split('\n');
    EXPECT_EQ(lines.value(0), "['export_type', 'format', 'data', 'formula', 'repname']");
    EXPECT_EQ(lines.value(1), "1 1 1 order");
    // 24 cells, less the three the combined area hides.
    EXPECT_EQ(lines.value(2), "21 2");
    EXPECT_EQ(lines.value(3), "formula 3 A3+B3 C3");
    EXPECT_EQ(lines.value(4), "formula 4 A3+B3 C3") << "every cell of the area names its first";
    EXPECT_EQ(lines.value(5), QStringLiteral("keyword ['', '2004', '2005'] 年"));
    EXPECT_EQ(lines.value(6), "['2004-12-31', '2005-12-31']");
}

TEST(OwnXmlExport, CombinedAreasAreWrittenOnceByTheirFirstCell) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/comb.rep", 8, 6);
    for (CellArea a :
         {CellArea::area(4, 2, 5, 4), CellArea::area(1, 1, 1, 3), CellArea::area(6, 6, 8, 6)})
        ASSERT_EQ(h->CombineCells(&a), 0);
    oxtest::toData(*h, 1);
    const QString xml = dir + "/comb.xml";
    ASSERT_TRUE(exportAll(*h, xml).written);

    auto at = [&](int r, int c) {
        auto q = xmltest::xmllint(
            {"--xpath",
             QStringLiteral("concat(count(//cell_property[start_row=%1][start_col=%2]),':',"
                            "//cell_property[start_row=%1][start_col=%2]/end_row,'/',"
                            "//cell_property[start_row=%1][start_col=%2]/end_col)")
                 .arg(r)
                 .arg(c),
             xml});
        return q ? QString::fromUtf8(q->out.trimmed()) : QString("skip");
    };
    if (at(1, 1) == "skip") GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(at(4, 2), "1:5/4");
    EXPECT_EQ(at(1, 1), "1:1/3") << "one-row area";
    EXPECT_EQ(at(6, 6), "1:8/6") << "one-column area";
    for (auto [r, c] : {std::pair{4, 3}, {4, 4}, {5, 2}, {5, 3}, {5, 4}, {1, 2}, {7, 6}, {8, 6}})
        EXPECT_EQ(at(r, c), "0:/") << r << "," << c;
    EXPECT_EQ(at(3, 3), "1:3/3");
    auto count = xmltest::xmllint({"--xpath", "count(//cell_property)", xml});
    EXPECT_EQ(count->out.trimmed(), QByteArray::number(48 - 5 - 2 - 2));
}

TEST(OwnXmlExport, ChosenPagesGiveOneValueEachAfterTheFormatsOwn) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/pages.rep", 2, 2);
    setFormat(*h, qor::kFmtKind, kCellText, CellArea::cell(1, 2));
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("合计")}, 2, 1), 0);
    CellRef kw{0, 2, 2};
    ASSERT_EQ(h->AccessKeywordCell(1, 4, &kw), 0);
    oxtest::toData(*h, 5);
    for (int p = 1; p <= 5; ++p) {
        if (p != 5) oxtest::setNumber(*h, p, 1, 1, p * 1.5);  // page 5 stays empty
        oxtest::setText(*h, p, 1, 2, QStringLiteral("第%1页").arg(p));
        oxtest::setKeyword(*h, 4, p, p);
    }
    const QString xml = dir + "/pages.xml";
    const auto r = exportPages(*h, xml, {2, 5});
    ASSERT_TRUE(r.written) << qPrintable(r.detail);

    const auto py = etree(xml, R"(
for c in root.findall('cell_property'):
    print(c.find('start_row').text, c.find('start_col').text, c.find('data_type').text,
          [v.text or '' for v in c.findall('cell_value')],
          [v.text or '' for v in c.findall('keyword_value')])
print([d.text for d in root.findall('keyword_date')])
)");
    if (!qortest::needReader(py.started, QStringLiteral("python3"))) GTEST_SKIP() << "no python3";
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    // No year keyword: this year; the month keyword's month, its last day.
    const int year = QDate::currentDate().year();
    EXPECT_EQ(QString::fromUtf8(py.out),
              QStringLiteral("1 1 14 ['', '3', ''] []\n"
                             "1 2 15 ['', '第2页', '第5页'] []\n"
                             "2 1 5 ['合计', '合计', '合计'] []\n"
                             "2 2 14 ['', '', ''] ['', '2', '5']\n"
                             "['%1', '%2-05-31']\n")
                  .arg(QDate(year, 3, 1).addDays(-1).toString("yyyy-MM-dd"))
                  .arg(year));
}

TEST(OwnXmlExport, FormatsAreWrittenThroughTheFilesTables) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/fmt.rep", 2, 2);
    const CellArea a1 = CellArea::cell(1, 1);
    setFormat(*h, qor::kFmtDecimals, 4, a1);
    setFormat(*h, qor::kFmtThousands, 1, a1);
    setFormat(*h, qor::kFmtPercent, 1, a1);
    setFormat(*h, qor::kFmtCurrency, 1, a1);
    setFormat(*h, qor::kFmtWrap, 1, a1);
    setFormat(*h, qor::kFmtFont, 12, a1);
    setFormat(*h, qor::kFmtFontStyle, 5, a1);
    setFormat(*h, qor::kFmtFontSize, 13, a1);
    setFormat(*h, qor::kFmtBackground, 3, a1);
    setFormat(*h, qor::kFmtForeground, 12, a1);
    setFormat(*h, qor::kFmtPattern, 0, a1);
    setFormat(*h, qor::kFmtRightLine, 2, a1);
    setFormat(*h, qor::kFmtBottomLine, 3, a1);
    setFormat(*h, qor::kFmtVAlign, 2, a1);
    setFormat(*h, qor::kFmtKind, kCellText, CellArea::cell(1, 2));
    setFormat(*h, qor::kFmtPattern, 3, CellArea::cell(1, 2));
    int32_t line = -3;  // a byte above 127 reads back negative
    ASSERT_EQ(h->AccessRowColFlag(1, 1, 2, &line), 0);
    line = 5;
    ASSERT_EQ(h->AccessRowColFlag(1, 0, 2, &line), 0);
    uint16_t height = 40000;
    ASSERT_EQ(h->AccessRowColSize(1, 0, 2, &height), 0);
    oxtest::toData(*h, 1);
    const QString xml = dir + "/fmt.xml";
    ASSERT_TRUE(exportAll(*h, xml).written);

    const auto py = etree(xml, R"(
for c in root.findall('cell_property'):
    print(' '.join(t.text or '-' for t in c if t.tag not in ('start_row','start_col','end_row','end_col','cell_value')))
)");
    if (!qortest::needReader(py.started, QStringLiteral("python3"))) GTEST_SKIP() << "no python3";
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    const QStringList lines = QString::fromUtf8(py.out).split('\n');
    EXPECT_EQ(lines.value(0),
              "18 64 14 4 true 1 true 1 Times New Roman BOLD_UNDERLINE 48 right middle 2 3 0 0 "
              "#000080 #FF0000 6");
    EXPECT_EQ(lines.value(1).section(' ', 0, 2), "18 64 15");
    EXPECT_TRUE(lines.value(1).endsWith("left bottom 0 0 -3 0 #FFFFFF #000000 5"))
        << qPrintable(lines.value(1));
    EXPECT_TRUE(lines.value(2).startsWith("40000 64 14")) << qPrintable(lines.value(2));
    EXPECT_TRUE(lines.value(2).endsWith("right bottom 0 0 0 5 #FFFFFF #000000 6"))
        << qPrintable(lines.value(2));
}

TEST(OwnXmlExport, ReportNamesWithMarkupCharactersGiveAWellFormedFile) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/a&b'c<d.rep", 1, 1);
    oxtest::toData(*h, 1);
    const QString xml = dir + "/name.xml";
    ASSERT_TRUE(exportAll(*h, xml).written);
    auto lint = xmltest::xmllint({"--noout", xml});
    if (!lint) GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(lint->exitCode, 0) << lint->err.constData();
    auto name = xmltest::xmllint({"--xpath", "string(/iqor_export/@repname)", xml});
    EXPECT_EQ(name->out.trimmed(), "a&b'c<d");
}

TEST(OwnXmlExport, UnusedVariableLinesAreLeftOutAndLaterRowsFollowThePage) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/var.rep", 20, 2);
    int kind = 1, start = 5, extent = 10;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    setFormat(*h, qor::kFmtKind, kCellText, CellArea::cell(5, 2));
    oxtest::toData(*h, 2);
    int used = 3;
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    for (int line = 0; line < 3; ++line) {
        oxtest::setNumber(*h, 1, 5 + line, 1, 100 + line);
        oxtest::setText(*h, 1, 5 + line, 2, QStringLiteral("L%1").arg(line));
    }
    oxtest::setNumber(*h, 1, 8, 1, 6006);   // stored row 6, shown below the three lines
    oxtest::setNumber(*h, 1, 22, 1, 2020);  // stored row 20, the last
    // Page 2 uses five lines: its rows below the area sit two further down.
    ASSERT_EQ(h->SetCurPage(2), 0);
    used = 5;
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    oxtest::setNumber(*h, 2, 9, 1, 204);
    oxtest::setNumber(*h, 2, 10, 1, 6002);  // stored row 6 on page 2
    ASSERT_EQ(h->SetCurPage(1), 0);

    const QString xml = dir + "/var.xml";
    ASSERT_TRUE(exportAll(*h, xml).written);
    const auto py = etree(xml, R"(
rows = sorted({int(c.find('start_row').text) for c in root.findall('cell_property')})
print(rows[0], rows[-1], len(rows))
def vals(r):
    c = [c for c in root.findall('cell_property') if c.find('start_row').text == str(r) and c.find('start_col').text == '1'][0]
    return [v.text or '' for v in c.findall('cell_value')]
for r in (5, 7, 8, 9, 10, 24):
    print(r, vals(r))
)");
    if (!qortest::needReader(py.started, QStringLiteral("python3"))) GTEST_SKIP() << "no python3";
    ASSERT_EQ(py.exitCode, 0) << py.err.constData();
    // Twenty stored rows, the variable one shown as the five lines the
    // longest page uses: rows 1..24, none missing, none beyond.
    EXPECT_EQ(QString::fromUtf8(py.out),
              "1 24 24\n"
              "5 ['', '100', '']\n"
              "7 ['', '102', '']\n"
              "8 ['', '', '']\n"
              "9 ['', '', '204']\n"
              "10 ['', '6006', '6002']\n"
              "24 ['', '2020', '']\n");
}

TEST(OwnXmlExport, VariableColumnsComeBackAsPlainColumns) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/varcol.rep", 2, 4);
    int kind = 2, start = 2, extent = 5;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    oxtest::toData(*h, 1);
    int used = 2;
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    for (int c = 1; c <= 5; ++c) oxtest::setNumber(*h, 1, 1, c, c * 10);
    const QString xml = dir + "/varcol.xml";
    ASSERT_TRUE(exportAll(*h, xml).written);

    auto back = newReport(dir + "/varcol-back.rep");
    ASSERT_EQ(qor::ImportOwnXmlReport(*back, xml).result, 1);
    EXPECT_EQ(back->GetColCount(), 5);
    EXPECT_EQ(back->GetRowCount(), 2);
    for (int c = 1; c <= 5; ++c) {
        CellValue v;
        ASSERT_EQ(back->GetCellValue(&v, 1, c, 1), 0);
        EXPECT_EQ(v.number, c * 10) << c;
    }
}

TEST(OwnXmlExport, FailuresWriteNothingAndReportFailure) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/fail.rep", 2, 2);
    const QString xml = dir + "/fail.xml";

    // Format state: the pages cannot be read against the pending format.
    auto r = exportAll(*h, xml);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.messageId, qor::str::kProcessingFailed);
    EXPECT_FALSE(QFile::exists(xml));

    oxtest::toData(*h, 2);
    r = exportPages(*h, xml, {3});
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.messageId, qor::str::kProcessingFailed) << "page 3 of a two-page report";
    EXPECT_FALSE(QFile::exists(xml));

    qor::ExportSetMembers bad = qor::InitialExportSettings(h.get());
    bad.m_bAllPages = 0;
    bad.m_strPageList = "1/x/";
    EXPECT_EQ(qor::WriteOwnXml(*h, xml, bad).messageId, qor::str::kProcessingFailed);
    EXPECT_FALSE(QFile::exists(xml));

    if (geteuid() != 0) {
        const QString locked = dir + "/locked";
        ASSERT_TRUE(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        xmltest::MessageCatcher messages;
        EXPECT_EQ(ExportReportXml(locked + "/x.xml", h->GetPathName()), 0);
        EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kNoWriteAccess)});
        EXPECT_FALSE(QFile::exists(locked + "/x.xml"));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A report that is not open: nothing is written.
    EXPECT_EQ(ExportReportXml(xml, dir + "/nowhere.rep"), 0);
    EXPECT_FALSE(QFile::exists(xml));
}

TEST(OwnXmlExport, TheDialogDecidesAndCancelWritesNothing) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/dlg.rep", 1, 1);
    oxtest::toData(*h, 3);
    const QString xml = dir + "/dlg.xml";
    {
        DialogScope scope(std::make_shared<PresetDialog>([&](qor::ExportSetMembers* m) {
            EXPECT_EQ(m->m_pReport, h.get());
            EXPECT_EQ(m->m_nPageCount, 3);
            return false;
        }));
        xmltest::MessageCatcher messages;
        EXPECT_EQ(ExportReportXml(xml, h->GetPathName()), 1);
        EXPECT_TRUE(messages.texts.isEmpty());
        EXPECT_FALSE(QFile::exists(xml));
    }
    {
        DialogScope scope(std::make_shared<PresetDialog>([](qor::ExportSetMembers* m) {
            m->m_bAllPages = 0;
            m->m_bFormula = 0;
            qor::ApplyExportPageSelection(m, {1, 3});
            return true;
        }));
        xmltest::MessageCatcher messages;
        EXPECT_EQ(ExportReportXml(xml, h->GetPathName()), 1);
        // Done names where the file went.
        EXPECT_EQ(
            messages.texts,
            QStringList{
                LoadErrorText(qor::str::kConversionDoneAt).arg(QDir::toNativeSeparators(xml))});
        EXPECT_TRUE(messages.texts.value(0).contains(xml));
    }
    auto q = xmltest::xmllint(
        {"--xpath",
         "concat(/iqor_export/@formula,' ',count(//keyword_date),' ',count(//cell_value))", xml});
    if (!q) GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(q->out.trimmed(), "0 2 3");

    // Without a dialog every page goes.
    xmltest::MessageCatcher messages;
    EXPECT_EQ(ExportReportXml(xml, h->GetPathName()), 1);
    q = xmltest::xmllint({"--xpath", "count(//keyword_date)", xml});
    EXPECT_EQ(q->out.trimmed(), "3");
}

TEST(OwnXmlExport, ExportingAgainReplacesTheFileWhole) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/again.rep", 3, 3);
    oxtest::toData(*h, 1);
    const QString xml = dir + "/again.xml";
    ASSERT_TRUE(xmltest::writeAll(xml, QByteArray(100000, 'x')));
    ASSERT_TRUE(exportAll(*h, xml).written);
    auto lint = xmltest::xmllint({"--noout", xml});
    if (!lint) GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(lint->exitCode, 0) << lint->err.constData();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"again.rep", "again.xml"}));
}

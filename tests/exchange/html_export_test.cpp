// Report pages written as HTML files, read back by xmllint and by
// python's html.parser.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engine/messages.h"
#include "engine/openreports.h"
#include "exchange/chtmlexporter.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

// Rows of TD cells with their attributes, font and text, and the title.
const char* kReadBack = R"PY(
import json, sys
from html.parser import HTMLParser
raw = open(sys.argv[1], 'rb').read()
assert raw[:2] == b'\xff\xfe', 'no byte-order mark'
class P(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell, self.title, self.stack, self.tables = [], None, '', [], 0
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == 'table': self.tables += 1
        if tag == 'tr': self.rows.append([])
        elif tag == 'td':
            self.cell = {'colspan': int(a.get('colspan', 1)), 'rowspan': int(a.get('rowspan', 1)),
                         'bgcolor': a.get('bgcolor'), 'style': a.get('style', ''),
                         'align': a.get('align'), 'valign': a.get('valign'), 'text': '',
                         'tags': [], 'br': False}
            self.rows[-1].append(self.cell)
        elif self.cell is not None:
            if tag == 'br': self.cell['br'] = True
            else: self.cell['tags'].append(tag)
            if tag == 'font':
                self.cell.update(face=a.get('face'), size=a.get('size'), color=a.get('color'))
        if tag != 'br': self.stack.append(tag)
    def handle_endtag(self, tag):
        if tag == 'td': self.cell = None
        if self.stack and self.stack[-1] == tag: self.stack.pop()
    def handle_data(self, data):
        if self.stack and self.stack[-1] == 'title': self.title += data
        elif self.cell is not None: self.cell['text'] += data.strip()
p = P()
p.feed(raw.decode('utf-16'))
print(json.dumps({'rows': p.rows, 'title': p.title, 'tables': p.tables}))
)PY";

QJsonObject readBack(const QString& path) {
    const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kReadBack), {path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return QJsonDocument::fromJson(r.out).object();
}

// xmllint's HTML parser must take the file without a complaint.
void expectCleanHtml(const QString& path) {
    const qortest::ProcessResult r =
        qortest::run(QStringLiteral("xmllint"), {"--html", "--noout", path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HtmlExport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QStringLiteral("html-export-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()));
        UiServices mine = headlessUiServices();
        mine.messageBox = [this](const MessageRequest& m) {
            messages << m.text;
            return m.defaultAnswer;
        };
        previous = installUiServices(mine);
    }
    void TearDown() override { installUiServices(previous); }

    // Five rows by four columns, two pages: A1 a text cell, B1:D2 one
    // combined number cell in red on yellow, A2 a percent cell, row 3 a
    // variable row area (three lines on page 1, one on page 2), the year
    // and unit name keywords in row 4, row 5 empty.
    QString makeReport(const QString& name) {
        const QString path = dir + u'/' + name;
        auto h = newReport(path, 5, 4);
        CReportHandle& r = *h;
        setFormat(r, kFmtKind, kCellText, CellArea::cell(1, 1));
        setFormat(r, kFmtKind, kCellText, CellArea::area(3, 1, 3, 4));
        const CellArea b1d2 = CellArea::area(1, 2, 2, 4);
        EXPECT_EQ(r.CombineCells(&b1d2), 0);
        setFormat(r, kFmtThousands, 1, b1d2);
        setFormat(r, kFmtFontStyle, kFontBoldUnderline, b1d2);
        setFormat(r, kFmtForeground, kColourRed, b1d2);
        setFormat(r, kFmtBackground, kColourYellow, b1d2);
        setFormat(r, kFmtHAlign, kAlignCentre, b1d2);
        setFormat(r, kFmtFont, 9, b1d2);
        setFormat(r, kFmtFontSize, 12, b1d2);
        setFormat(r, kFmtPercent, 1, CellArea::cell(2, 1));
        setFormat(r, kFmtDecimals, 1, CellArea::cell(2, 1));
        int kind = 1, start = 3, extent = 3;
        EXPECT_EQ(r.AccessVarArea(1, &kind, &start, &extent), 0);
        CellRef year{0, 4, 1}, unit{0, 4, 2};
        EXPECT_EQ(r.AccessKeywordCell(1, 2, &year), 0);
        EXPECT_EQ(r.AccessKeywordCell(1, 0, &unit), 0);
        uint16_t width = 80, height = 30;
        EXPECT_EQ(r.AccessRowColSize(1, 1, 1, &width), 0);
        EXPECT_EQ(r.AccessRowColSize(1, 0, 1, &height), 0);
        toData(r, 2);

        setText(r, 1, 1, 1, QStringLiteral("<script>alert(\"x\")</script>"));
        setNumber(r, 1, 1, 2, 1234567.891);
        setNumber(r, 1, 2, 1, 12.5);
        int lines = 3;
        EXPECT_EQ(r.SetCurPage(1), 0);
        EXPECT_EQ(r.AccessVarCount(1, &lines), 0);
        setText(r, 1, 3, 1, QStringLiteral("L1"));
        setText(r, 1, 4, 1, QStringLiteral("a<b & c"));
        setText(r, 1, 5, 1, QStringLiteral("L3"));
        setKeyword(r, 2, 1, 2004);
        setKeywordText(r, 0, 1, QStringLiteral("A&B"));
        setText(r, 2, 1, 1, QStringLiteral("page two"));
        EXPECT_EQ(r.Save(), 0);
        return path;
    }

    QString dir;
    QStringList messages;
    UiServices previous;
};

TEST_F(HtmlExport, EveryPageGetsItsOwnFileWithTheTableOfThatPage) {
    const QString source = makeReport(QStringLiteral("r.REP"));
    CHtmlExporter x;
    ASSERT_EQ(x.OpenSource(source, 0), 1) << messages.join(u'\n').toStdString();
    EXPECT_EQ(x.PageCount(), 2);
    ASSERT_EQ(x.ExportPages(), 1) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(QDir(dir + QStringLiteral("/html")).entryList(QDir::Files),
              (QStringList{"r_1.html", "r_2.html"}));
    // The report was opened for the export alone and is closed again.
    EXPECT_EQ(FindOpenReport(source), nullptr);

    const QString page1 = dir + QStringLiteral("/html/r_1.html");
    expectCleanHtml(page1);
    expectCleanHtml(dir + QStringLiteral("/html/r_2.html"));
    const QByteArray raw = readAll(page1);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData() + 2),
                                            (raw.size() - 2) / 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<HTML>\r\n<HEAD>\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;")));
    EXPECT_FALSE(text.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    EXPECT_TRUE(text.endsWith(QStringLiteral("</TABLE></CENTER>\r\n</BODY>\r\n</HTML>\r\n")));

    const QJsonObject doc = readBack(page1);
    ASSERT_FALSE(doc.isEmpty());
    EXPECT_EQ(doc["tables"].toInt(), 1);
    EXPECT_EQ(doc["title"].toString(), QStringLiteral("VantixQOR报表 - [r_1.html]"));
    const QJsonArray rows = doc["rows"].toArray();
    ASSERT_EQ(rows.size(), 7);  // five rows, the variable row shown three times
    auto cell = [&](int r, int i) { return rows[r].toArray()[i].toObject(); };

    // Row 1: A1 and the combined area, written once at its first cell.
    ASSERT_EQ(rows[0].toArray().size(), 2);
    EXPECT_EQ(cell(0, 0)["text"].toString(), QStringLiteral("<script>alert(\"x\")</script>"));
    EXPECT_EQ(cell(0, 0)["colspan"].toInt(), 1);
    EXPECT_EQ(cell(0, 0)["bgcolor"].toString(), QStringLiteral("#E6CACA"));
    const QJsonObject b1 = cell(0, 1);
    EXPECT_EQ(b1["colspan"].toInt(), 3);
    EXPECT_EQ(b1["rowspan"].toInt(), 2);
    EXPECT_EQ(b1["text"].toString(), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(b1["color"].toString(), QStringLiteral("#FF0000"));  // red, not blue
    EXPECT_EQ(b1["bgcolor"].toString(), QStringLiteral("#FFFF00"));
    EXPECT_EQ(b1["align"].toString(), QStringLiteral("center"));
    EXPECT_EQ(b1["face"].toString(), QStringLiteral("Arial"));
    EXPECT_EQ(b1["size"].toString(), QStringLiteral("6"));
    EXPECT_EQ(b1["tags"].toArray(), (QJsonArray{"b", "u", "font"}));
    EXPECT_EQ(b1["style"].toString(), QStringLiteral("border-top: 1px groove rgb(0,0,0);"
                                                     "border-right: 1px groove rgb(0,0,0)"));

    // Row 2: only A2; the rest belongs to the combined area.
    ASSERT_EQ(rows[1].toArray().size(), 1);
    EXPECT_EQ(cell(1, 0)["text"].toString(), QStringLiteral("12.5%"));
    EXPECT_EQ(cell(1, 0)["align"].toString(), QStringLiteral("right"));
    EXPECT_EQ(cell(1, 0)["face"].toString(), QStringLiteral("宋体"));

    // The variable lines, then the keywords, then the empty last row.
    EXPECT_EQ(cell(2, 0)["text"].toString(), QStringLiteral("L1"));
    EXPECT_EQ(cell(3, 0)["text"].toString(), QStringLiteral("a<b & c"));
    EXPECT_EQ(cell(4, 0)["text"].toString(), QStringLiteral("L3"));
    EXPECT_EQ(cell(2, 0)["align"].toString(), QStringLiteral("left"));
    EXPECT_EQ(cell(5, 0)["text"].toString(), QStringLiteral("2004 年"));
    EXPECT_EQ(cell(5, 1)["text"].toString(), QStringLiteral("单位名称：A&B"));
    for (const QJsonValue& c : rows[6].toArray()) {
        EXPECT_TRUE(c.toObject()["br"].toBool());
        EXPECT_TRUE(c.toObject()["style"].toString().contains(QStringLiteral("border-bottom")));
    }

    const QJsonObject doc2 = readBack(dir + QStringLiteral("/html/r_2.html"));
    const QJsonArray rows2 = doc2["rows"].toArray();
    ASSERT_EQ(rows2.size(), 5);
    EXPECT_EQ(rows2[0].toArray()[0].toObject()["text"].toString(), QStringLiteral("page two"));
    EXPECT_EQ(rows2[3].toArray()[0].toObject()["text"].toString(), QStringLiteral("年"));
}

TEST_F(HtmlExport, SinglePageGoesToTheNamedFileAndAnOpenReportKeepsItsPage) {
    const QString source = makeReport(QStringLiteral("s.rep"));
    CReportHandle open(source, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(open.IsOpen());
    ASSERT_EQ(open.SetCurPage(1), 0);

    CHtmlExporter x;
    const QString base = dir + QStringLiteral("/s");
    ASSERT_EQ(x.OpenSource(base, 2), 1);
    EXPECT_EQ(x.SourcePath(), base + QStringLiteral(".rep"));
    EXPECT_EQ(x.OutputPath(), base + QStringLiteral(".htm"));
    ASSERT_EQ(x.SetOutputPath(dir + QStringLiteral("/out")), 1);
    EXPECT_EQ(x.OutputPath(), dir + QStringLiteral("/out.htm"));
    ASSERT_EQ(x.SetOutputPath(dir + QStringLiteral("/out.HTM")), 1);
    EXPECT_EQ(x.OutputPath(), dir + QStringLiteral("/out.HTM"));

    // An existing file is replaced without a question.
    QFile old(dir + QStringLiteral("/out.HTM"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    ASSERT_EQ(x.ExportPages(), 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(open.GetCurPage(), 1);
    EXPECT_TRUE(open.IsOpen());
    const QJsonObject doc = readBack(dir + QStringLiteral("/out.HTM"));
    EXPECT_EQ(doc["rows"].toArray().size(), 5);
    EXPECT_EQ(doc["title"].toString(), QStringLiteral("VantixQOR报表 - [out.HTM]"));
    // The report is let go after one export.
    EXPECT_EQ(x.ExportPages(), 0);
    EXPECT_EQ(messages.value(0), QStringLiteral("你需要首先运行 SetQORTable() 函数完成初始化!"));
}

TEST_F(HtmlExport, BadSourcesAndPagesAreRefusedWithTheirMessages) {
    const QString source = makeReport(QStringLiteral("p.rep"));
    CHtmlExporter x;
    EXPECT_EQ(x.OpenSource(QString(), 0), 0);
    EXPECT_EQ(x.OpenSource(source, 2), 1);  // the last page
    EXPECT_EQ(x.OpenSource(source, 3), 0);
    EXPECT_EQ(x.OpenSource(source, -1), 0);
    EXPECT_EQ(x.ExportPages(), 0);  // nothing taken
    const QString missing = dir + QStringLiteral("/missing");
    EXPECT_EQ(x.OpenSource(missing, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(missing + QStringLiteral(".rep")));  // not created
    EXPECT_EQ(x.SetOutputPath(QString()), 0);
    ASSERT_EQ(messages.size(), 6);
    EXPECT_EQ(messages[0], QStringLiteral("源表名为空!"));
    EXPECT_EQ(messages[1], QStringLiteral("指定的页码 3 不在合法区域 1-2 之间!"));
    EXPECT_EQ(messages[2], QStringLiteral("指定的页码 -1 不在合法区域 1-2 之间!"));
    // A missing report is told missing, not an older version to convert.
    EXPECT_TRUE(messages[4].endsWith(QStringLiteral("missing.rep：文件不存在"))) << messages[4].toStdString();
}

// A folder, a FIFO or a damaged file at the report's name is told as every
// reader of a report tells it; the FIFO is not waited on.
TEST_F(HtmlExport, WhatIsNoReportIsNotCalledAnOlderVersion) {
    ASSERT_TRUE(QDir(dir).mkpath(QStringLiteral("folder.rep")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + QStringLiteral("/fifo.rep")).constData(), 0600), 0);
    QFile damaged(dir + QStringLiteral("/damaged.rep"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(readAll(makeReport(QStringLiteral("whole.rep"))).left(3000));
    damaged.close();
    CHtmlExporter x;
    for (const char* name : {"/folder.rep", "/fifo.rep", "/damaged.rep"}) {
        SCOPED_TRACE(name);
        messages.clear();
        EXPECT_EQ(x.OpenSource(dir + QString::fromLatin1(name), 0), 0);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_FALSE(messages[0].contains(QStringLiteral("版本转换"))) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(QStringLiteral("不是报表文件")) ||
                    messages[0].contains(QStringLiteral("报表文件已损坏")))
            << messages[0].toStdString();
    }
}

TEST_F(HtmlExport, ExistingPageFilesAreKeptWhenTheUserSaysNoForAll) {
    const QString source = makeReport(QStringLiteral("k.rep"));
    ASSERT_TRUE(QDir(dir).mkpath(QStringLiteral("html")));
    for (const char* name : {"/html/k_1.html", "/html/k_2.html"}) {
        QFile f(dir + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    CHtmlExporter x;
    int asked = 0;
    x.SetOverwriteAsker([&](const QString& question) {
        ++asked;
        EXPECT_TRUE(question.endsWith(QStringLiteral("文件已经存在，是否覆盖")));
        return CHtmlExporter::OverwriteAnswer{false, true};
    });
    ASSERT_EQ(x.OpenSource(source, 0), 1);
    EXPECT_EQ(x.ExportPages(), 1);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readAll(dir + QStringLiteral("/html/k_1.html")), QByteArray("keep"));
    EXPECT_EQ(readAll(dir + QStringLiteral("/html/k_2.html")), QByteArray("keep"));
}

TEST_F(HtmlExport, AFileThatCannotBeWrittenIsReportedAsAFailure) {
    const QString source = makeReport(QStringLiteral("f.rep"));
    // A folder where the page file should go: nothing can be written there.
    ASSERT_TRUE(QDir(dir).mkpath(QStringLiteral("taken.htm")));
    CHtmlExporter x;
    ASSERT_EQ(x.OpenSource(source, 1), 1);
    ASSERT_EQ(x.SetOutputPath(dir + QStringLiteral("/taken.htm")), 1);
    EXPECT_EQ(x.ExportPages(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("创建文件 ")));
    EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/taken.htm")).isDir());

    // Every page: a plain file named "html" blocks the folder.
    QFile blocker(dir + QStringLiteral("/html"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_EQ(x.OpenSource(source, 0), 1);
    EXPECT_EQ(x.ExportPages(), 0);
    // The first page that cannot be written ends the export, with why:
    // every later one would fail the same way.
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(QStringLiteral("f_1.html"))) << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(FileErrorText(ENOTDIR))) << messages[1].toStdString();
    EXPECT_EQ(QDir(dir).entryList({QStringLiteral("*.html")}, QDir::Files).size(), 0);
}

}  // namespace

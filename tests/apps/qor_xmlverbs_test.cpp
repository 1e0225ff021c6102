// The exchange-file verbs of the command-line host, run as a user would.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorRun(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QByteArray xpath(const QString& file, const QString& expression) {
    return qortest::run("xmllint", {"--xpath", expression, file}).out.trimmed();
}

TEST(QorXmlVerbs, ExportChosenPagesAndImportThemAsANewReport) {
    const QString dir = qortest::freshDir("qor-xml");
    const QString rep = dir + "/src.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "3", "--cols", "2", "--pages", "3"}).exitCode, 0);
    for (int p = 1; p <= 3; ++p) {
        auto set = qorRun({"set", rep, QString::number(p), "2", "2", QString::number(p * 11.5)});
        ASSERT_EQ(set.exitCode, 0) << set.err.constData();
        ASSERT_EQ(
            qorRun({"keyword", rep, QString::number(p), "2", QString::number(2000 + p)}).exitCode,
            0);
    }
    const QString xml = dir + "/out.xml";
    auto ex = qorRun({"export-xml", rep, xml, "--pages", "3,1", "--no-formula"});
    // The year is no keyword cell's: the file cannot carry it, and says so.
    ASSERT_EQ(ex.exitCode, 3) << ex.err.constData();
    EXPECT_EQ(ex.err.count("left out:"), 1) << ex.err.constData();
    EXPECT_TRUE(QString::fromUtf8(ex.err).contains(
        QStringLiteral("left out: 未放在单元中的表页关键字（未导出）：共2处，第一处在第3页\n")))
        << ex.err.constData();
    EXPECT_TRUE(ex.out.contains("2 pages")) << ex.out.constData();
    if (qortest::needProgram("xmllint")) {
        EXPECT_EQ(qortest::run("xmllint", {"--noout", xml}).exitCode, 0);
        EXPECT_EQ(
            xpath(xml, "concat(/iqor_export/@format,/iqor_export/@data,/iqor_export/@formula)"),
            "110");
        EXPECT_EQ(xpath(xml, "count(//cell_property)"), "6");
        EXPECT_EQ(xpath(xml, "string(//cell_property[start_row=2][start_col=2]/cell_value[2])"),
                  "34.5");
    }

    const QString back = dir + "/back.rep";
    auto im = qorRun({"import-xml", xml, back});
    ASSERT_EQ(im.exitCode, 0) << im.err.constData();
    EXPECT_TRUE(im.out.contains("3 rows, 2 columns, 2 pages")) << im.out.constData();
    auto get = qorRun({"get", back, "1", "2", "2"});
    EXPECT_TRUE(get.out.contains("34.5")) << get.out.constData();
    get = qorRun({"get", back, "2", "2", "2"});
    EXPECT_TRUE(get.out.contains("11.5")) << get.out.constData();

    // An existing report is never replaced.
    QFile f(back);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    EXPECT_EQ(qorRun({"import-xml", xml, back}).exitCode, 1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(QorXmlVerbs, BadRequestsFailClearlyAndLeaveNoReport) {
    const QString dir = qortest::freshDir("qor-xml-bad");
    const QString rep = dir + "/src.rep";
    ASSERT_EQ(qorRun({"new", rep, "--pages", "2"}).exitCode, 0);
    EXPECT_EQ(qorRun({"export-xml", rep}).exitCode, 2);
    EXPECT_EQ(qorRun({"export-xml", rep, dir + "/x.xml", "--pages", "a"}).exitCode, 2);
    EXPECT_EQ(qorRun({"export-xml", rep, dir + "/x.xml", "--sideways"}).exitCode, 2);
    EXPECT_EQ(qorRun({"export-xml", rep, dir + "/x.xml", "--pages", "5"}).exitCode, 1);
    EXPECT_EQ(qorRun({"export-xml", dir + "/none.rep", dir + "/x.xml"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir + "/x.xml"));

    QFile other(dir + "/other.xml");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("<ReportData/>");
    other.close();
    auto im = qorRun({"import-xml", other.fileName(), dir + "/new.rep"});
    EXPECT_EQ(im.exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir + "/new.rep"));
    const QByteArray notExchange = im.err.left(im.err.indexOf(" ("));

    // A file the format pass refuses: the report made for it goes again.
    QFile bad(dir + "/bad.xml");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<iqor_export><cell_property><start_row>1</start_row></cell_property></iqor_export>");
    bad.close();
    im = qorRun({"import-xml", bad.fileName(), dir + "/new.rep"});
    EXPECT_EQ(im.exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir + "/new.rep"));

    // Only the root is looked at before the import; a file cut short after
    // it still fails as a file that does not load, and leaves no report.
    QFile cut(dir + "/cut.xml");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write("<iqor_export><cell_property><start_row>1</start_row>");
    cut.close();
    im = qorRun({"import-xml", cut.fileName(), dir + "/new.rep"});
    EXPECT_EQ(im.exitCode, 1);
    EXPECT_EQ(im.err.left(im.err.indexOf(" (")), notExchange) << im.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/new.rep"));
}

}  // namespace

#include "engine/creporthandle.h"

namespace {

// The exchange file has no element for a variable area: every way a report
// with one goes into the file and back (export-xml and import-xml, convert
// both ways) names the area and each formula that reads it, and exits 3.
TEST(QorXmlVerbs, AVariableAreaAndTheFormulasReadingItAreNamed) {
    const QString dir = qortest::freshDir("qor-xml-var");
    struct Case {
        int kind;  // 1 rows, 2 columns
        QStringList formulas;  // cell (row, column) and text
        QString area;
    };
    const Case cases[] = {
        {1, {"6,2,GTOTAL(V_B)", "6,3,GCOUNT(V_B)", "1,4,A1+B1"}, QStringLiteral("第3行起的可变行")},
        {2, {"5,2,GTOTAL(V_1)", "1,1,B1+B2"}, QStringLiteral("第C列起的可变列")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const QString rep = dir + QStringLiteral("/var%1.rep").arg(c.kind);
        int readsArea = 0;
        {
            CReportHandle h(rep);
            uint16_t rows = 6, cols = 6;
            ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
            int kind = c.kind, start = 3, extent = 3;
            ASSERT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);
            for (const QString& f : c.formulas) {
                const QStringList parts = f.split(u',');
                CellArea cell = CellArea::cell(parts[0].toInt(), parts[1].toInt());
                ASSERT_EQ(h.SetAreaFormula(&cell, parts[2]), 0) << qPrintable(f);
                if (parts[2].contains(QStringLiteral("V_"))) ++readsArea;
            }
            ASSERT_EQ(h.Save(), 0);
        }
        const QString lostArea = QStringLiteral("可变区（XML文件没有可变区：用到的行列写成了普通行列）：共1处，第一处在") + c.area;
        const QString lostFormulas = QStringLiteral("读可变区的公式（读回时没有可变区，不能设置）：共%1处").arg(readsArea);
        const QString refused = QStringLiteral("公式（报表不能设置，没有导入）：共%1处").arg(readsArea);
        const QString e = dir + QStringLiteral("/e%1.xml").arg(c.kind);
        const QString x = dir + QStringLiteral("/c%1.xml").arg(c.kind);
        for (const QStringList& out : {QStringList{"export-xml", rep, e}, QStringList{"convert", rep, x}}) {
            SCOPED_TRACE(out.first().toStdString());
            const qortest::ProcessResult ex = qorRun(out);
            EXPECT_EQ(ex.exitCode, 3) << ex.err.constData();
            EXPECT_TRUE(QString::fromUtf8(ex.err).contains(lostArea)) << ex.err.constData();
            EXPECT_TRUE(QString::fromUtf8(ex.err).contains(lostFormulas)) << ex.err.constData();
        }
        for (const QStringList& in : {QStringList{"import-xml", e, e + ".rep"}, QStringList{"convert", x, x + ".rep"}}) {
            SCOPED_TRACE(in.first().toStdString());
            const qortest::ProcessResult im = qorRun(in);
            EXPECT_EQ(im.exitCode, 3) << im.err.constData();
            EXPECT_TRUE(QString::fromUtf8(im.err).contains(refused)) << im.err.constData();
            // The formula that reads no variable area came back.
            const QString info = QString::fromUtf8(qorRun({"info", in.last()}).out);
            EXPECT_TRUE(info.contains(QStringLiteral("formulas: %1").arg(c.formulas.size() - readsArea)))
                << qPrintable(info);
        }
    }
}

}  // namespace

namespace {

// A text of blanks alone is a value: it comes back from the file as it
// went, whatever reader keeps or drops layout blanks. A carriage return is
// written as the system's files carry it, and every XML reader reads it as
// a line feed: the export says which texts come back so.
TEST(QorXmlVerbs, BlankTextsComeBackAndCarriageReturnsAreNamed) {
    const QString dir = qortest::freshDir("qor-xml-blanks");
    const QString rep = dir + "/src.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "8", "--cols", "2", "--pages", "2"}).exitCode, 0);
    const QStringList texts{"   ", "\t", "a\nb", "a\r\nb", "a\rb", "\r\n", " x "};
    for (int r = 1; r <= int(texts.size()); ++r) {
        ASSERT_EQ(qorRun({"format", rep, QString::number(r), "1", "kind", "text"}).exitCode, 0);
        for (const char* page : {"1", "2"}) {
            auto set = qorRun({"set", rep, page, QString::number(r), "1", texts[r - 1], "--text"});
            ASSERT_EQ(set.exitCode, 0) << set.err.constData();
        }
    }
    ASSERT_EQ(qorRun({"format", rep, "8", "1", "kind", "label"}).exitCode, 0);
    auto label = qortest::run(QStringLiteral(QOR_APP_BINARY), {"reader-script", "-"},
                              "OpenRep8File \"" + rep.toUtf8() +
                                  "\"\nBeginDesign\nSetCurCell 8 1\nSetData \"  \"\nSave\nCloseFile\n");
    ASSERT_EQ(label.exitCode, 0) << label.out.constData();

    const QString xml = dir + "/out.xml";
    auto ex = qorRun({"export-xml", rep, xml});
    EXPECT_EQ(ex.exitCode, 3) << ex.err.constData();
    EXPECT_TRUE(QString::fromUtf8(ex.err).contains(
        QStringLiteral("回车（CR）读回时成为换行（LF）的文本：共6处，第一处在第1页第4行第1列")))
        << ex.err.constData();
    EXPECT_EQ(ex.err.count("left out:"), 1) << ex.err.constData();
    if (qortest::havePythonModule("xml")) {
        auto py = qortest::python(
            "import sys, xml.etree.ElementTree as E\n"
            "text = open(sys.argv[1], 'rb').read().decode('gb18030').split('?>', 1)[1]\n"
            "for c in E.fromstring(text).iter('cell_property'):\n"
            "    if c.findtext('start_col') == '1':\n"
            "        print(repr([v.text or '' for v in c.findall('cell_value')]))\n",
            {xml});
        ASSERT_EQ(py.exitCode, 0) << py.err.constData();
        EXPECT_TRUE(py.out.contains("['', '   ', '   ']")) << py.out.constData();
        EXPECT_TRUE(py.out.contains("['', '\\t', '\\t']")) << py.out.constData();
        EXPECT_TRUE(py.out.contains("['  ', '  ', '  ']")) << py.out.constData();
    }

    const QString back = dir + "/back.rep";
    auto im = qorRun({"import-xml", xml, back});
    ASSERT_EQ(im.exitCode, 0) << im.err.constData();
    const QStringList cameBack{"   ", "\t", "a\nb", "a\nb", "a\nb", "\n", " x "};
    for (int r = 1; r <= int(cameBack.size()); ++r)
        for (const char* page : {"1", "2"}) {
            auto get = qorRun({"get", back, page, QString::number(r), "1"});
            EXPECT_EQ(QString::fromUtf8(get.out), cameBack[r - 1] + "\n") << r << " " << page;
        }
    EXPECT_EQ(qorRun({"get", back, "1", "8", "1"}).out, "  \n");
}

}  // namespace

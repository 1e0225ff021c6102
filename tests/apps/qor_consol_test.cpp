// qor consol: a client report prepared, saved with its upload file and a
// failing client call, all without a window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult consol(const QString& home, const QString& args) {
    const QString script =
        QStringLiteral("export QOR_HOME='%1' QOR_REGISTRY='%1/registry.ini'\n'%2' consol %3")
            .arg(home, QStringLiteral(QOR_APP_BINARY), args);
    return qortest::run(QStringLiteral("/bin/sh"), {"-c", script});
}

}  // namespace

TEST(QorConsol, OpenPreparesTheReportAndSaveWritesItsUploadFile) {
    const QString home = qortest::freshDir("consol-cli");
    const QString root = home + "/QORTEMP/hbbb";
    qortest::writeFile(root + "/样表/Monthly.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"x\">"
        "<Period><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/></Period>"
        "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"3\" "
        "ss:ExpandedRowCount=\"5\"/></Worksheet></Workbook>"
        "<SampleAlias><SName>Cash</SName><CellCoor>Balance!B4</CellCoor></SampleAlias>"
        "</ReportData>\n");
    qortest::writeFile(root + "/Alpha(001)/Monthly/download/2004-03-01.xml",
        "<ReportData><SampleData><Cash>42</Cash></SampleData></ReportData>");
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";

    auto r = consol(home, "open '" + root + "/Alpha(001)/Monthly/Balance.xml'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    ASSERT_TRUE(QFileInfo::exists(rep));
    EXPECT_FALSE(QFileInfo::exists(root + "/Alpha(001)/Monthly/upload/2004-03-01.xml"));

    r = consol(home, "save '" + rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = root + "/Alpha(001)/Monthly/upload/2004-03-01.xml";
    auto lint = qortest::run("xmllint", {"--xpath", "string(/ReportData/Balance/Cash)", up});
    EXPECT_EQ(QString::fromUtf8(lint.out).trimmed(), "42");

    // No server folder: the client cannot run, and says so.
    r = consol(home, "upload");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("无法调用合并报表上报服务")) << r.err.constData();
    // A name too short to carry an extension is refused.
    EXPECT_EQ(consol(home, "open ab").exitCode, 1);
    EXPECT_EQ(consol(home, "open").exitCode, 2);
}

namespace {

// Any other qor verb, under the same data folder.
qortest::ProcessResult qorIn(const QString& home, const QStringList& args, const QByteArray& input = {}) {
    const QStringList head{"-c",
                           QStringLiteral("export QOR_HOME='%1' QOR_REGISTRY='%1/registry.ini'\n"
                                          "exec '%2' \"$@\"")
                               .arg(home, QStringLiteral(QOR_APP_BINARY)),
                           "qor"};
    return qortest::run(QStringLiteral("/bin/sh"), head + args, input);
}

QString cell(const QString& home, const QString& rep, int page, int row, int col) {
    const auto r = qorIn(home, {"get", rep, QString::number(page), QString::number(row),
                                QString::number(col)});
    return QString::fromUtf8(r.out).trimmed();
}

// One text of the upload file, read by xmllint.
QString uploaded(const QString& file, const QString& xpath) {
    const auto lint = qortest::run("xmllint", {"--xpath", "string(" + xpath + ")", file});
    return QString::fromUtf8(lint.out).trimmed();
}

// A monthly sample of two reports, 资产 and 负债, written by hand as the
// client writes one. A comment stands among the Period's elements.
QString twoSheetSample(const QString& aliases, const QString& rules = {}, int periods = 12) {
    QString months;
    for (int i = 0; i < periods; ++i) months += "<M/>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"月报\">"
           "<Period><!-- monthly -->" + months + "</Period>"
           "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
           "<Worksheet ss:Name=\"资产\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\"/>" +
           rules + "</Worksheet>"
           "<Worksheet ss:Name=\"负债\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\"/>"
           "</Worksheet></Workbook>" + aliases + "</ReportData>\n";
}

const char kAliases[] =
    "<SampleAlias><SName>货币资金</SName><CellCoor>资产!B4</CellCoor>"
    "<SName>短期借款</SName><CellCoor>负债!B4</CellCoor>"
    "<SName>A2</SName><CellCoor>资产!B5</CellCoor><SName>A3</SName><CellCoor>资产!B6</CellCoor>"
    "<SName>A4</SName><CellCoor>资产!B7</CellCoor><SName>A5</SName><CellCoor>资产!B8</CellCoor>"
    "<SName>A6</SName><CellCoor>资产!B9</CellCoor><SName>A7</SName><CellCoor>资产!C4</CellCoor>"
    "<SName>A8</SName><CellCoor>资产!C5</CellCoor></SampleAlias>";

struct ClientFolder {
    QString home, folder, rep;
};

ClientFolder clientWith(const QString& name, const QString& sample,
                        const QList<std::pair<QString, QString>>& downloads) {
    ClientFolder c;
    c.home = qortest::freshDir(name);
    const QString root = c.home + "/QORTEMP/hbbb";
    qortest::writeFile(root + "/样表/月报.xml", sample.toUtf8());
    c.folder = root + QStringLiteral("/星河科技(深圳)有限公司(001)/月报");
    for (const auto& [file, text] : downloads)
        qortest::writeFile(c.folder + "/download/" + file, text.toUtf8());
    c.rep = c.folder + QStringLiteral("/资产.rep");
    return c;
}

}  // namespace

// Every item of the report's sheet lands wherever it stands in the file;
// items of the sample's other sheets are left to their reports; unknown
// items and values that are no amount by the number rule are named, and
// the run ends with 3.
TEST(QorConsol, EveryDownloadedItemLandsOrIsNamed) {
    const ClientFolder c = clientWith(
        "consol-takein", twoSheetSample(kAliases),
        {{"2004-03-01.xml",
          "<ReportData><SampleData><短期借款>5</短期借款><货币资金>1</货币资金><ZZ>9</ZZ>"
          "<A2>12,345.60</A2><A3>abc</A3><A4>1e999</A4><A5>nan</A5><A6>inf</A6><A7>3</A7>"
          "<A8> 7 </A8></SampleData></ReportData>"},
         {"2004-04-01.xml", "<ReportData><SampleData><货币资金>4</货币资金></SampleData></ReportData>"}});
    auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    const QString err = QString::fromUtf8(r.err);
    EXPECT_EQ(r.exitCode, 3) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(QString::fromUtf8(r.out).startsWith("prepared "));
    for (const char* named : {"ZZ", "“abc”", "“1e999”", "“nan”", "“inf”"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("短期借款"))) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("“3”")));

    // March and April are two pages: the comment in Period counts for nothing.
    EXPECT_TRUE(QString::fromUtf8(qorIn(c.home, {"pages", c.rep}).out).startsWith("pages: 2"));
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 2), "1");
    EXPECT_EQ(cell(c.home, c.rep, 1, 5, 2), "12345.6");
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 3), "3");
    EXPECT_EQ(cell(c.home, c.rep, 1, 5, 3), "7");
    for (int row : {6, 7, 8, 9}) {
        const QString v = cell(c.home, c.rep, 1, row, 2).toLower();
        EXPECT_FALSE(v.contains("inf") || v.contains("nan")) << row << " " << v.toStdString();
    }
    EXPECT_EQ(cell(c.home, c.rep, 2, 4, 2), "4");

    // The upload holds what landed, under the firm whose name has brackets
    // of its own: the code is in the last ones.
    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = c.folder + "/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/货币资金")), "1");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A2")), "12345.6");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A7")), "3");
    EXPECT_EQ(uploaded(up, QStringLiteral("count(/ReportData/资产/短期借款)")), "0");
    EXPECT_EQ(uploaded(up, "/ReportData/Surface/ReportFirmCode"), "001");
    EXPECT_EQ(uploaded(up, "/ReportData/Surface/ReportFirmName"), QStringLiteral("星河科技(深圳)有限公司"));
    EXPECT_EQ(uploaded(c.folder + "/upload/2004-04-01.xml", QStringLiteral("/ReportData/资产/货币资金")),
              "4");
}

// An alias owns only the cells between its SName and the next: one with
// no cell on this sheet is another sheet's, one with no cell at all makes
// the sample damaged, refused by name.
TEST(QorConsol, AnAliasNeverTakesAnothersCell) {
    const ClientFolder c = clientWith(
        "consol-alias",
        twoSheetSample("<SampleAlias><SName>A1</SName><CellCoor>负债!B4</CellCoor>"
                       "<SName>A2</SName><CellCoor>资产!B5</CellCoor></SampleAlias>"),
        {{"2004-03-01.xml", "<ReportData><SampleData><A1>7</A1><A2>2</A2></SampleData></ReportData>"}});
    auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cell(c.home, c.rep, 1, 5, 2), "2");
    EXPECT_NE(cell(c.home, c.rep, 1, 5, 2), "7");
    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = c.folder + "/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A2")), "2");
    EXPECT_EQ(uploaded(up, QStringLiteral("count(/ReportData/资产/A1)")), "0");

    const ClientFolder d = clientWith(
        "consol-alias-damaged",
        twoSheetSample("<SampleAlias><SName>A9</SName><SName>A2</SName><CellCoor>资产!B5</CellCoor>"
                       "</SampleAlias>"),
        {{"2004-03-01.xml", "<ReportData><SampleData><A9>7</A9><A2>2</A2></SampleData></ReportData>"}});
    r = consol(d.home, "open '" + d.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("“A9”"))) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(d.rep));
}

// The save writes what the pages hold, or says which page it could not:
// format state, a failed formula and an unreadable upload file never end
// in a quiet "saved" over a smaller upload.
TEST(QorConsol, TheSaveWritesEveryPagesValuesOrNamesThePage) {
    const ClientFolder c = clientWith(
        "consol-save", twoSheetSample(kAliases),
        {{"2004-03-01.xml", "<ReportData><SampleData><货币资金>1</货币资金><A3>7</A3></SampleData></ReportData>"},
         {"2004-04-01.xml", "<ReportData><SampleData><货币资金>2</货币资金></SampleData></ReportData>"}});
    ASSERT_EQ(consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'")).exitCode, 0);
    ASSERT_EQ(consol(c.home, "save '" + c.rep + "'").exitCode, 0);
    const QString march = c.folder + "/upload/2004-03-01.xml";
    const QString april = c.folder + "/upload/2004-04-01.xml";
    ASSERT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/A3")), "7");

    // Kept in format state, the report still uploads its pages' values.
    auto script = qorIn(c.home, {"reader-script", "-"},
                        QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSave\nCloseFile\n").arg(c.rep).toUtf8());
    ASSERT_EQ(script.exitCode, 0) << script.err.constData();
    auto r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/货币资金")), "1");
    EXPECT_EQ(uploaded(april, QStringLiteral("/ReportData/资产/货币资金")), "2");

    // An unreadable upload of page 1 is named, and page 2's is still written.
    ASSERT_EQ(qorIn(c.home, {"set", c.rep, "2", "4", "2", "777"}).exitCode, 0);
    qortest::writeFile(march, "<ReportData><unclosed>");
    r = consol(c.home, "save '" + c.rep + "'");
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("第1页（2004-03-01）"))) << r.err.constData();
    EXPECT_EQ(qortest::fileBytes(march), "<ReportData><unclosed>");
    EXPECT_EQ(uploaded(april, QStringLiteral("/ReportData/资产/货币资金")), "777");
    QFile::remove(march);

    // A3's cell (B6) computed by a formula that fails: the save is refused
    // by name and the upload keeps what was last sent.
    ASSERT_EQ(consol(c.home, "save '" + c.rep + "'").exitCode, 0);
    script = qorIn(c.home, {"reader-script", "-"},
                   QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 6 2\nSetFormula \"B4/B8\"\n"
                                  "Save\nCloseFile\n")
                       .arg(c.rep)
                       .toUtf8());
    // The save in format state works the new formula out and names it failed.
    ASSERT_EQ(script.exitCode, 3) << script.out.constData() << script.err.constData();
    qortest::writeFile(c.home + "/recalc.shl", "RECALC ALL\n");
    qorIn(c.home, {"run", c.home + "/recalc.shl", c.rep});
    r = consol(c.home, "save '" + c.rep + "'");
    EXPECT_EQ(r.exitCode, 1) << r.out.constData();
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("B6 单元（A3）"))) << r.err.constData();
    EXPECT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/A3")), "7");
}

// The data rules' range and number forms, checked alike by qor validate
// and by the client report's save (both read the sample's rules through
// one reader). A rule that cannot be read or reaches past the table is
// named; qor validate then fails, the save goes on.
TEST(QorConsol, DataRulesAreAppliedAsWrittenByValidateAndTheSave) {
    const ClientFolder c = clientWith(
        "consol-rules", twoSheetSample(kAliases),
        {{"2004-03-01.xml", "<ReportData><SampleData><货币资金>1</货币资金></SampleData></ReportData>"}});
    ASSERT_EQ(consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'")).exitCode, 0);
    const QString samplePath = c.home + QStringLiteral("/QORTEMP/hbbb/样表/月报.xml");
    auto rule = [](const QString& range, const QString& min, const QString& max) {
        return QStringLiteral("<DataValidation><Range>%1</Range><Min>%2</Min><Max>%3</Max></DataValidation>")
            .arg(range, min, max);
    };
    // B4's rule with the bound elements as given.
    auto bounds = [](const QString& elements) {
        return QStringLiteral("<DataValidation><Range>R4C2</Range>%1</DataValidation>").arg(elements);
    };
    const QString failsB4 = QStringLiteral("第1页第4行第2列");
    const QString outside = QStringLiteral("超出表格");
    const QString unreadable = QStringLiteral("无法读取");
    struct Case {
        QString rules;
        int row, col;
        QString value;
        int validateExit, saveExit;
        QString told;  // in both runs' messages
    };
    const Case cases[] = {
        {rule("R4C2:R3C2", "0", "1000"), 4, 2, "5000", 1, 1, failsB4},  // reversed
        {rule("r3c2:r4c2", "0", "1000"), 4, 2, "5000", 1, 1, failsB4},  // lower case
        {rule("B3:B4", "0", "1000"), 4, 2, "5000", 1, 1, failsB4},      // A1 form
        {rule("$B$3:B4", "0", "1000"), 4, 2, "5000", 1, 1, failsB4},
        {rule("R3C2,R6C3", "0", "1000"), 6, 3, "5000", 1, 1, QStringLiteral("第1页第6行第3列")},
        {rule("R3C2:R4C2", "0", "1000"), 4, 2, "1000", 0, 0, QString()},
        // Outside a 10-row table: named, never moved onto row 10.
        {rule("R20C2:R30C2", "0", "1000"), 10, 2, "5000", 1, 0, outside},
        {rule("R8C2:R12C2", "0", "1000"), 9, 2, "5000", 1, 1, QStringLiteral("第1页第9行第2列")},
        // Bounds by the number rule: "1,000" is a thousand.
        {rule("R4C2", "1,000", "2,000"), 4, 2, "1500", 0, 0, QString()},
        {rule("R4C2", "1,000", "2,000"), 4, 2, "500", 1, 1, failsB4},
        {rule("R4C2", "abc", "10"), 4, 2, "5000", 1, 0, unreadable},
        {rule("R4C2", "0", "1e999"), 4, 2, "5000", 1, 0, unreadable},
        {rule("R4C", "0", "10"), 4, 2, "5000", 1, 0, unreadable},
        {rule("IZ4", "0", "10"), 4, 2, "5000", 1, 0, unreadable},  // no column of a report
        {rule("R0C2:R4C2", "0", "10"), 4, 2, "5000", 1, 0, unreadable},
        // The file's own form is R1C1: "C4" is a whole column there, "R4" a
        // whole row, "RC2" a relative cell. None is taken for an A1 cell.
        {rule("C4", "0", "1000"), 4, 3, "5000", 1, 0, unreadable},
        {rule("R4", "0", "1000"), 4, 2, "5000", 1, 0, unreadable},
        {rule("r4:r6", "0", "1000"), 4, 2, "5000", 1, 0, unreadable},
        {rule("RC2", "0", "1000"), 4, 2, "5000", 1, 0, unreadable},
        {rule("R[1]C2", "0", "1000"), 4, 2, "5000", 1, 0, unreadable},
        // Column C of the A1 form is written with "$"; a plain A1 cell stays.
        {rule("$C$4", "0", "1000"), 4, 3, "5000", 1, 1, QStringLiteral("第1页第4行第3列")},
        {rule("$C4:D4", "0", "1000"), 4, 3, "5000", 1, 1, QStringLiteral("第1页第4行第3列")},
        {rule("B4", "0", "1000"), 4, 2, "5000", 1, 1, failsB4},
        // A side without its element has no bound; one written empty does
        // not read (it is never 0, which would fail every positive amount).
        {bounds("<Min>0</Min>"), 4, 2, "5000", 0, 0, QString()},
        {bounds("<Min>0</Min>"), 4, 2, "-1", 1, 1, QStringLiteral("不能小于0.000000")},
        {bounds("<Max>1000</Max>"), 4, 2, "-5000", 0, 0, QString()},
        {bounds("<Max>1000</Max>"), 4, 2, "5000", 1, 1, QStringLiteral("不能大于1000.000000")},
        {bounds(""), 4, 2, "5000", 0, 0, QString()},
        {bounds("<Min>0</Min><Max/>"), 4, 2, "500", 1, 0, unreadable},
        {bounds("<Min> </Min><Max>1000</Max>"), 4, 2, "500", 1, 0, unreadable},
        // Bounds the wrong way round would fail every amount.
        {rule("R4C2", "1000", "0"), 4, 2, "500", 1, 0, unreadable},
        {rule("R4C2", "1,000", "999.99"), 4, 2, "1000", 1, 0, unreadable},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.rules.toStdString() + " " + k.value.toStdString());
        qortest::writeFile(samplePath, twoSheetSample(kAliases, k.rules).toUtf8());
        for (int row : {3, 4, 6, 9, 10})
            for (int col : {2, 3})
                ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", QString::number(row), QString::number(col), "0"}).exitCode, 0);
        ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", QString::number(k.row), QString::number(k.col), k.value}).exitCode, 0);
        const auto v = qorIn(c.home, {"validate", c.rep, samplePath});
        EXPECT_EQ(v.exitCode, k.validateExit) << v.err.constData();
        const auto s = consol(c.home, "save '" + c.rep + "'");
        EXPECT_EQ(s.exitCode, k.saveExit) << s.err.constData();
        if (!k.told.isEmpty()) {
            EXPECT_TRUE(QString::fromUtf8(v.err).contains(k.told)) << v.err.constData();
            EXPECT_TRUE(QString::fromUtf8(s.err).contains(k.told)) << s.err.constData();
        }
        // Row 10 is never blamed for a rule that lies below it.
        EXPECT_FALSE(QString::fromUtf8(v.err).contains(QStringLiteral("第1页第10行")));
    }

    // A cell whose formula failed fails its rule, whatever it holds.
    qortest::writeFile(samplePath, twoSheetSample(kAliases, rule("R3C4", "1", "10")).toUtf8());
    const auto script = qorIn(c.home, {"reader-script", "-"},
                              QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 3 4\n"
                                             "SetFormula \"D4/D8\"\nSave\nCloseFile\n")
                                  .arg(c.rep)
                                  .toUtf8());
    ASSERT_EQ(script.exitCode, 3) << script.out.constData() << script.err.constData();
    qortest::writeFile(c.home + "/recalc.shl", "RECALC ALL\n");
    qorIn(c.home, {"run", c.home + "/recalc.shl", c.rep});
    const QString failed = QStringLiteral("第1页第3行第4列单元公式计算失败");
    const auto v = qorIn(c.home, {"validate", c.rep, samplePath});
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(v.err).contains(failed)) << v.err.constData();
    const auto s = consol(c.home, "save '" + c.rep + "'");
    EXPECT_EQ(s.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(s.err).contains(failed)) << s.err.constData();
}

// One alias named twice, or two aliases on one cell (however its address
// is written), would send one value under two names and lose the other:
// the sample is refused as damaged, naming both aliases and the cell. So
// is an alias whose cell lies on no sheet of the sample or past its table,
// naming the alias and its CellCoor.
TEST(QorConsol, AliasesThatShareACellOrANameOrHaveNoCellAreRefused) {
    struct Case {
        const char* aliases;
        QStringList named;
    };
    const Case cases[] = {
        {"<SName>A3</SName><CellCoor>资产!B3</CellCoor><SName>A4</SName><CellCoor>资产!B3</CellCoor>",
         {"“A3”", "“A4”", "资产!B3"}},
        {"<SName>A3</SName><CellCoor>资产!B3</CellCoor><SName>A4</SName><CellCoor>负债!B4</CellCoor>"
         "<CellCoor>资产!b3</CellCoor>",
         {"“A3”", "“A4”", "资产!b3"}},
        {"<SName>A3</SName><CellCoor>资产!B3</CellCoor><SName>A3</SName><CellCoor>资产!B5</CellCoor>",
         {"“A3”", "不止一次"}},
        {"<SName>A3</SName><CellCoor>资产!B3</CellCoor><SName>A4</SName><CellCoor>资产!$B$3</CellCoor>",
         {"“A3”", "“A4”", "资产!$B$3"}},
        {"<SName>A3</SName><CellCoor>资产!B99</CellCoor>", {"“A3”", "“资产!B99”"}},
        {"<SName>A3</SName><CellCoor>资产!E3</CellCoor>", {"“A3”", "“资产!E3”"}},
        {"<SName>A3</SName><CellCoor>B3</CellCoor>", {"“A3”", "“B3”"}},
        {"<SName>A3</SName><CellCoor>资产!$</CellCoor>", {"“A3”", "“资产!$”"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.aliases);
        // The two may stand in different SampleAlias elements.
        const QString aliases = QStringLiteral("<SampleAlias>%1</SampleAlias>").arg(QString::fromUtf8(k.aliases))
                                    .replace(QStringLiteral("<SName>A4"), QStringLiteral("</SampleAlias><SampleAlias><SName>A4"));
        const ClientFolder c = clientWith(
            "consol-alias-clash", twoSheetSample(aliases),
            {{"2004-03-01.xml", "<ReportData><SampleData><A3>3</A3><A4>4</A4></SampleData></ReportData>"}});
        const auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
        EXPECT_EQ(r.exitCode, 1) << r.out.constData();
        const QString err = QString::fromUtf8(r.err);
        EXPECT_TRUE(err.contains(QStringLiteral("样表已损坏"))) << err.toStdString();
        for (const QString& n : k.named) EXPECT_TRUE(err.contains(n)) << n.toStdString() << "\n" << err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(c.rep));
    }

    // A sheet whose declared size does not read cannot place its aliases:
    // the sample is unreadable, named with the attribute, never a crash.
    QString badSize = twoSheetSample(QString::fromUtf8(kAliases));
    badSize.replace(QStringLiteral("<Worksheet ss:Name=\"负债\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\"/>"),
                    QStringLiteral("<Worksheet ss:Name=\"负债\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"6x\"/>"));
    const ClientFolder c = clientWith("consol-alias-badsize", badSize,
                                      {{"2004-03-01.xml", "<ReportData><SampleData><A2>3</A2></SampleData></ReportData>"}});
    const auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    const QString err = QString::fromUtf8(r.err);
    EXPECT_TRUE(err.contains(QStringLiteral("样表无法读取")) && err.contains(QStringLiteral("6x"))) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(c.rep));
}

// Each period of a download has its own page with year, quarter and month
// from the file's name (a quarter-end date is its quarter), and two files
// of one period are told, not silently laid one over the other.
TEST(QorConsol, EveryDownloadedPeriodHasItsOwnPage) {
    struct Case {
        int periods;  // the sample's Period children: 4 quarterly, 12 monthly
        QStringList files;
        QStringList pages;   // what qor pages says of each page, in order
        QStringList uploads; // the upload file of each page, holding its 货币资金
        QStringList values;
        QString told;        // the file told as laid over, "" for none
    };
    const Case cases[] = {
        {4,
         {"2004-01-31.xml", "2004-03-31.xml", "2004-06-30.xml", "2004-09-30.xml", "2004-12-31.xml"},
         {"2=2004 3=1 4=3", "2=2004 3=2 4=6", "2=2004 3=3 4=9", "2=2004 3=4 4=12"},
         {"2004-01-01", "2004-04-01", "2004-07-01", "2004-10-01"},
         {"2", "3", "4", "5"},
         "2004-01-31.xml"},
        {12,
         {"2004-03-01.xml", "2004-05-01.xml"},
         {"2=2004 3=1 4=3", "2=2004 3=2 4=5"},
         {"2004-03-01", "2004-05-01"},
         {"1", "2"},
         ""},
        // A half-year's page has the half's first month, whatever day of
        // the half the file names: the save's 1-or-7 rule then holds.
        {2,
         {"2004-06-30.xml", "2004-12-31.xml"},
         {"2=2004 3=1 4=1", "2=2004 3=3 4=7"},
         {"2004-01-01", "2004-07-01"},
         {"1", "2"},
         ""},
        {2,
         {"2004-01-01.xml", "2004-03-31.xml", "2004-08-15.xml"},
         {"2=2004 3=1 4=1", "2=2004 3=3 4=7"},
         {"2004-01-01", "2004-07-01"},
         {"2", "3"},
         "2004-01-01.xml"},
        // A year's page is its year, whatever day the file names: one
        // period, one upload.
        {1, {"2004-01-01.xml", "2004-03-31.xml"}, {"2=2004 3=1 4=1"}, {"2004-01-01"}, {"2"}, "2004-01-01.xml"},
        {1, {"2023-01-01.xml", "2023-12-31.xml"}, {"2=2023 3=1 4=1"}, {"2023-01-01"}, {"2"}, "2023-01-01.xml"},
        {1, {"2022-12-31.xml", "2023-06-30.xml"}, {"2=2022 3=1 4=1", "2=2023 3=1 4=1"},
         {"2022-01-01", "2023-01-01"}, {"1", "2"}, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.periods);
        QList<std::pair<QString, QString>> downloads;
        for (int i = 0; i < k.files.size(); ++i)
            downloads.append({k.files[i], QStringLiteral("<ReportData><SampleData><货币资金>%1</货币资金></SampleData></ReportData>")
                                              .arg(i + 1)});
        const ClientFolder c = clientWith("consol-periods", twoSheetSample(kAliases, {}, k.periods), downloads);
        auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
        EXPECT_EQ(r.exitCode, k.told.isEmpty() ? 0 : 3) << r.err.constData();
        if (!k.told.isEmpty()) {
            EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("与 %1 同属一个期间").arg(k.told))) << r.err.constData();
        }
        const QString pages = QString::fromUtf8(qorIn(c.home, {"pages", c.rep}).out);
        EXPECT_TRUE(pages.startsWith(QStringLiteral("pages: %1\n").arg(k.values.size()))) << pages.toStdString();
        for (int p = 0; p < k.values.size(); ++p) {
            if (p < k.pages.size()) {
                EXPECT_TRUE(pages.contains(QStringLiteral("page %1: %2\n").arg(p + 1).arg(k.pages[p]))) << pages.toStdString();
            }
            EXPECT_EQ(cell(c.home, c.rep, p + 1, 4, 2), k.values[p]);
        }
        r = consol(c.home, "save '" + c.rep + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        for (int p = 0; p < k.uploads.size(); ++p)
            EXPECT_EQ(uploaded(c.folder + "/upload/" + k.uploads[p] + ".xml", QStringLiteral("/ReportData/资产/货币资金")),
                      k.values[p]) << k.uploads[p].toStdString();
        EXPECT_EQ(QDir(c.folder + "/upload").entryList(QDir::Files).size(), k.uploads.size());
    }
}

// An amount goes up as the shortest text that reads back as the same
// number: nothing added past its last digit, nothing cut.
TEST(QorConsol, UploadedAmountsReadBackAsTheyAre) {
    const ClientFolder c = clientWith(
        "consol-amounts", twoSheetSample(kAliases),
        {{"2004-03-01.xml", "<ReportData><SampleData><货币资金>1</货币资金></SampleData></ReportData>"}});
    ASSERT_EQ(consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'")).exitCode, 0);
    const std::pair<const char*, const char*> amounts[] = {
        {"99999999999.99", "99999999999.99"}, {"0.1", "0.1"}, {"-1234.5", "-1234.5"},
        {"100", "100"}, {"0.07", "0.07"}, {"123456789012.3", "123456789012.3"}};
    for (const auto& [value, sent] : amounts) {
        ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", "4", "2", value}).exitCode, 0);
        const auto r = consol(c.home, "save '" + c.rep + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(uploaded(c.folder + "/upload/2004-03-01.xml", QStringLiteral("/ReportData/资产/货币资金")),
                  QString::fromUtf8(sent));
    }
}

// A downloaded amount is kept as the report keeps every amount, to the
// decimals its cell shows, and sent up so; each one that changes is named
// with its item, page, cell and both values.
TEST(QorConsol, AmountsKeptToTheCellsDecimalsAreNamed) {
    const ClientFolder c = clientWith(
        "consol-rounded", twoSheetSample(kAliases),
        {{"2004-03-01.xml",
          "<ReportData><SampleData><货币资金>12.345</货币资金><A2>0.004</A2><A3>1e-7</A3>"
          "<A4>1,234.5678</A4><A5>7.25</A5><A6>99999999999.99</A6><A7>-3</A7></SampleData></ReportData>"}});
    auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    const QString err = QString::fromUtf8(r.err);
    for (const char* named : {"货币资金 的值“12.345”按第1页 B4 单元的小数位数存为“12.35”",
                              "A2 的值“0.004”按第1页 B5 单元的小数位数存为“0”",
                              "A3 的值“1e-7”按第1页 B6 单元的小数位数存为“0”",
                              "A4 的值“1,234.5678”按第1页 B7 单元的小数位数存为“1234.57”"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
    for (const char* kept : {"“7.25”", "“99999999999.99”", "“-3”"})
        EXPECT_FALSE(err.contains(QString::fromUtf8(kept))) << kept;
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 2), "12.35");
    EXPECT_EQ(cell(c.home, c.rep, 1, 7, 2), "1234.57");

    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = c.folder + "/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/货币资金")), "12.35");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A2")), "0");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A4")), "1234.57");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A5")), "7.25");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A6")), "99999999999.99");
}

// A CellCoor reads alike when a value is placed, sent up and checked for
// a shared cell: absolute or not, the sheet and the address in any letter
// case.
TEST(QorConsol, ACellCoordinateReadsAbsoluteAndInAnyLetterCase) {
    const QString home = qortest::freshDir("consol-coords");
    const QString root = home + "/QORTEMP/hbbb";
    const auto sample = [&](const QString& aliases) {
        qortest::writeFile(root + "/样表/Monthly.xml",
            ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"x\">"
             "<Period><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/></Period>"
             "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
             "<Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"3\" "
             "ss:ExpandedRowCount=\"5\"/></Worksheet></Workbook>" + aliases + "</ReportData>\n").toUtf8());
    };
    sample("<SampleAlias><SName>Cash</SName><CellCoor>balance!B4</CellCoor>"
           "<SName>Stock</SName><CellCoor>Balance!$C$4</CellCoor>"
           "<SName>Debt</SName><CellCoor>BALANCE!b$5</CellCoor></SampleAlias>");
    qortest::writeFile(root + "/Alpha(001)/Monthly/download/2004-03-01.xml",
        "<ReportData><SampleData><Cash>1</Cash><Stock>2</Stock><Debt>3</Debt></SampleData></ReportData>");
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";
    auto r = consol(home, "open '" + root + "/Alpha(001)/Monthly/Balance.xml'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cell(home, rep, 1, 4, 2), "1");
    EXPECT_EQ(cell(home, rep, 1, 4, 3), "2");
    EXPECT_EQ(cell(home, rep, 1, 5, 2), "3");
    r = consol(home, "save '" + rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = root + "/Alpha(001)/Monthly/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(up, "/ReportData/Balance/Cash"), "1");
    EXPECT_EQ(uploaded(up, "/ReportData/Balance/Stock"), "2");
    EXPECT_EQ(uploaded(up, "/ReportData/Balance/Debt"), "3");

    // One cell under two spellings is one cell.
    sample("<SampleAlias><SName>Cash</SName><CellCoor>Balance!B4</CellCoor>"
           "<SName>Debt</SName><CellCoor>balance!$B$4</CellCoor></SampleAlias>");
    r = consol(home, "open '" + root + "/Alpha(001)/Monthly/Balance.xml'");
    EXPECT_EQ(r.exitCode, 1);
    const QString err = QString::fromUtf8(r.err);
    for (const char* named : {"“Cash”", "“Debt”", "balance!$B$4"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
}

// A download file that is skipped (a name that is no period, content that
// does not parse) is named, and the run is no clean one; the others are
// still taken in.
TEST(QorConsol, SkippedDownloadFilesAreNamed) {
    const QString good = QStringLiteral("<ReportData><SampleData><货币资金>5</货币资金></SampleData></ReportData>");
    const ClientFolder c = clientWith(
        "consol-skipped", twoSheetSample(kAliases),
        {{"2004-03-01.xml", good},
         {"2004-04-01.xml", "<ReportData><SampleData><货币资金>7</货币资金>"},
         {"2004-13-01.xml", good},
         {"2004-6-30.xml", good}});
    const auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    const QString err = QString::fromUtf8(r.err);
    for (const char* named : {"无法读取，已跳过：2004-04-01.xml", "不是区间，已跳过：2004-13-01.xml",
                              "不是区间，已跳过：2004-6-30.xml"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(qorIn(c.home, {"pages", c.rep}).out).startsWith("pages: 1\n"));
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 2), "5");
}

// One item twice in a download file, within a block or across two, fills
// one cell: the later value stands and is named, and the run is no clean
// one.
TEST(QorConsol, AnItemRepeatedInOneFileIsNamed) {
    const ClientFolder c = clientWith(
        "consol-repeated", twoSheetSample(kAliases),
        {{"2004-03-01.xml",
          "<ReportData><SampleData><货币资金>1</货币资金><货币资金>2</货币资金><A3>5</A3></SampleData>"
          "<SampleData2><A2>100</A2></SampleData2><SampleData3><A2>200</A2><货币资金>3</货币资金>"
          "</SampleData3></ReportData>"}});
    const auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    const QString err = QString::fromUtf8(r.err);
    // Named once, with the value that stands, however often it came.
    for (const char* named : {"货币资金 在本文件中出现了不止一次，第1页 B4 单元取最后一个值“3”",
                              "A2 在本文件中出现了不止一次，第1页 B5 单元取最后一个值“200”"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("“2”"))) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("A3 在本文件")));
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 2), "3");
    EXPECT_EQ(cell(c.home, c.rep, 1, 5, 2), "200");
}

// An alias's cell holds its amount: a figure typed in the sample or a
// caption is no place to lose it in, or to send up in its place. A cell a
// formula computes is named when an amount comes down for it, and goes up
// as computed, never missing from the upload.
TEST(QorConsol, LabelFigureAndFormulaCellsOfAnAlias) {
    QString sample = twoSheetSample(kAliases);
    sample.replace(QStringLiteral("<Worksheet ss:Name=\"资产\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\"/>"),
                   QStringLiteral("<Worksheet ss:Name=\"资产\"><Table ss:ExpandedColumnCount=\"4\" ss:ExpandedRowCount=\"10\">"
                                  "<Row ss:Index=\"4\"><Cell ss:Index=\"1\"><Data ss:Type=\"String\">货币资金</Data></Cell>"
                                  "<Cell><Data ss:Type=\"Number\">0</Data></Cell></Row>"
                                  "<Row><Cell ss:Index=\"2\"><Data ss:Type=\"String\">金额</Data></Cell></Row></Table>"));
    const ClientFolder c = clientWith(
        "consol-labels", sample,
        {{"2004-03-01.xml", "<ReportData><SampleData><货币资金>42</货币资金><A2>7</A2><A4>3</A4></SampleData></ReportData>"}});
    auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 2), "42");
    EXPECT_EQ(cell(c.home, c.rep, 1, 5, 2), "7");
    EXPECT_EQ(cell(c.home, c.rep, 1, 4, 1), QStringLiteral("货币资金"));  // a caption of no alias stays
    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString march = c.folder + "/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/货币资金")), "42");
    EXPECT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/A2")), "7");

    // A3's cell (B6) becomes B7*2: the save computes it on the page that
    // never was, and it goes up.
    auto script = qorIn(c.home, {"reader-script", "-"},
                        QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 6 2\nSetFormula \"B7*2\"\n"
                                       "Save\nCloseFile\n")
                            .arg(c.rep)
                            .toUtf8());
    ASSERT_EQ(script.exitCode, 0) << script.out.constData() << script.err.constData();
    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(uploaded(march, QStringLiteral("/ReportData/资产/A3")), "6");

    // A new period sends an amount for the formula's cell: named, the
    // formula's value stands and goes up.
    qortest::writeFile(c.folder + "/download/2004-04-01.xml",
                       "<ReportData><SampleData><A3>7</A3><A4>5</A4></SampleData></ReportData>");
    r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("A3 的值“7”没有取入：第2页 B6 单元由公式计算")))
        << r.err.constData();
    EXPECT_EQ(cell(c.home, c.rep, 2, 6, 2), "10");
    r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(uploaded(c.folder + "/upload/2004-04-01.xml", QStringLiteral("/ReportData/资产/A3")), "10");
}

// A CellCoor and a data rule name cells of the table: on a page with
// variable lines each is found where the lines put it, when values are
// taken in, saved, sent up and checked.
TEST(QorConsol, AliasesAndRulesFollowThePagesVariableLines) {
    const QString rules = QStringLiteral(
        "<DataValidation><Range>R6C2</Range><Min>0</Min><Max>1000</Max></DataValidation>"
        "<DataValidation><Range>R3C3</Range><Min>0</Min><Max>10</Max></DataValidation>");
    const ClientFolder c = clientWith(
        "consol-varlines", twoSheetSample(kAliases, rules),
        {{"2004-03-01.xml", "<ReportData><SampleData><货币资金>4</货币资金><A3>6</A3></SampleData></ReportData>"}});
    ASSERT_EQ(consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'")).exitCode, 0);
    auto script = qorIn(c.home, {"reader-script", "-"},
                        QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea 1 3 4\nSave\nCloseFile\n")
                            .arg(c.rep)
                            .toUtf8());
    ASSERT_EQ(script.exitCode, 0) << script.out.constData() << script.err.constData();
    ASSERT_EQ(qorIn(c.home, {"append-lines", c.rep, "1", "2"}).exitCode, 0);
    // Table rows 4 and 6 stand on page rows 6 and 8.
    ASSERT_EQ(cell(c.home, c.rep, 1, 6, 2), "4");
    ASSERT_EQ(cell(c.home, c.rep, 1, 8, 2), "6");

    auto r = consol(c.home, "save '" + c.rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = c.folder + "/upload/2004-03-01.xml";
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/货币资金")), "4");
    EXPECT_EQ(uploaded(up, QStringLiteral("/ReportData/资产/A3")), "6");

    // A changed download lands in the table's cells, not in page rows.
    qortest::writeFile(c.folder + "/download/2004-03-01.xml",
                       "<ReportData><SampleData><A3>111</A3></SampleData></ReportData>");
    r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cell(c.home, c.rep, 1, 8, 2), "111");
    EXPECT_EQ(cell(c.home, c.rep, 1, 6, 2), "4");

    // The rule on R6C2 checks the total (page row 8), not what stands on
    // page row 6; the rule on a line's row checks every line.
    const QString samplePath = c.home + QStringLiteral("/QORTEMP/hbbb/样表/月报.xml");
    ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", "6", "2", "5000"}).exitCode, 0);
    auto v = qorIn(c.home, {"validate", c.rep, samplePath});
    EXPECT_EQ(v.exitCode, 0) << v.err.constData();
    ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", "8", "2", "5000"}).exitCode, 0);
    v = qorIn(c.home, {"validate", c.rep, samplePath});
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(v.err).contains(QStringLiteral("第1页第8行第2列"))) << v.err.constData();
    r = consol(c.home, "save '" + c.rep + "'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("第1页第8行第2列"))) << r.err.constData();
    ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", "8", "2", "7"}).exitCode, 0);
    ASSERT_EQ(qorIn(c.home, {"set", c.rep, "1", "4", "3", "50"}).exitCode, 0);
    v = qorIn(c.home, {"validate", c.rep, samplePath});
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(v.err).contains(QStringLiteral("第1页第4行第3列"))) << v.err.constData();
}

// Download names are real dates of a year a page may carry, and amounts
// the save would refuse are named when they come down.
TEST(QorConsol, DownloadNamesAreDatesAndAmountsFitTheSave) {
    const QString good = QStringLiteral("<ReportData><SampleData><货币资金>5</货币资金></SampleData></ReportData>");
    const ClientFolder c = clientWith(
        "consol-dates", twoSheetSample(kAliases),
        {{"2004-03-01.xml",
          "<ReportData><SampleData><货币资金>5</货币资金><A2>1e15</A2><A3>-2000000000000</A3>"
          "<A4>999999999999</A4></SampleData></ReportData>"},
         {"2023-02-29.xml", good},
         {"2004-03-01.xml~", good},
         {"0000-01-01.xml", good},
         {"2051-01-01.xml", good},
         {"2004-04-31.xml", good}});
    const auto r = consol(c.home, "open '" + c.folder + QStringLiteral("/资产.xml'"));
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    const QString err = QString::fromUtf8(r.err);
    for (const char* named : {"不是区间，已跳过：2023-02-29.xml", "不是区间，已跳过：2004-03-01.xml~",
                              "不是区间，已跳过：0000-01-01.xml", "不在1到2050之间，已跳过：2051-01-01.xml",
                              "不是区间，已跳过：2004-04-31.xml", "A2 的值“1e15”没有取入",
                              "A3 的值“-2000000000000”没有取入"})
        EXPECT_TRUE(err.contains(QString::fromUtf8(named))) << named << "\n" << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("999999999999")));
    EXPECT_TRUE(QString::fromUtf8(qorIn(c.home, {"pages", c.rep}).out).startsWith("pages: 1\n"));
    EXPECT_EQ(cell(c.home, c.rep, 1, 7, 2), "999999999999");
    EXPECT_EQ(consol(c.home, "save '" + c.rep + "'").exitCode, 0);
}

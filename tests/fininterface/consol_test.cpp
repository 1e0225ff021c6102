// The consolidation client's exchange: the path, cell and period rules,
// the report's preparation from the client's sample and download files,
// the save checks and the upload files, headless and through the stand-in.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "document/cqorsdoc.h"
#include "document/doc_others.h"
#include "engine/cellformat.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "exchange/xmldom.h"
#include "fininterface/consolcommands.h"
#include "fininterface/consolexchange.h"
#include "fininterface/consolfiles.h"
#include "platform/registry.h"
#include "platform/uiservices.h"
#include "reader/builtincomponents.h"
#include "reader/cappenvironment.h"
#include "reader/consolidationclientstandin.h"
#include "tests/common/testsupport.h"

using namespace qor;
using namespace qor::consol;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

using qortest::writeFile;

// A month sample for report "Balance": a 6 x 4 table, alias Cash at B4
// and Rate at C4 (a percent cell), a rule keeping B5 within 0..1000.
QByteArray monthSample(const QString& extra = QString(), const QString& firstAlias = "Cash") {
    QString period = "<Period>";
    for (int i = 0; i < 12; ++i) period += "<M/>";
    period += "</Period>";
    return QString(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<ReportData SampleID=\"S-07\" SampleName=\"资产负债表\">\n" +
               period +
               "\n<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
               " <Styles><Style ss:ID=\"p\"><NumberFormat ss:Format=\"Percent\"/></Style></Styles>\n"
               " <Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"4\" "
               "ss:ExpandedRowCount=\"6\">\n"
               "  <Row ss:Index=\"4\"><Cell ss:Index=\"3\" ss:StyleID=\"p\"/></Row>\n"
               " </Table>\n"
               " <DataValidation><Range>R5C2</Range><Min>0</Min><Max>1000</Max></DataValidation>\n"
               " </Worksheet>\n"
               "</Workbook>\n"
               "<SampleAlias>\n <SName>" +
               firstAlias +
               "</SName>\n <CellCoor>Other!B9</CellCoor>\n <CellCoor>Balance!B4</CellCoor>\n"
               " <SName>Rate</SName>\n <CellCoor>Balance!C4</CellCoor>\n</SampleAlias>\n" +
               extra + "</ReportData>\n")
        .toUtf8();
}

QByteArray downloadFile(const QString& cash, const QString& rate = "0.25") {
    return QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData>\n"
                   " <SampleData1><Cash>%1</Cash><Rate>%2</Rate></SampleData1>\n</ReportData>\n")
        .arg(cash, rate)
        .toUtf8();
}

class Consol : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", tmp.path());
        data = QDir::fromNativeSeparators(CAppEnvironment::GetInstallDir());
        report = data + "/hbbb/Alpha(001)/Monthly/Balance.rep";
        UiServices ui = uiServices();
        ui.messageBox = [this](const MessageRequest& m) {
            told << m.text;
            return m.defaultAnswer;
        };
        ui.chooseFile = [this](const FilePrompt&) { return chosen; };
        previous = installUiServices(ui);
        InstallConsolExchange();
        CAppEnvironment::DocumentHooks hooks;
        hooks.findOpen = [this](const QString& path) -> CQorsDoc* {
            for (auto& d : docs)
                if (QFileInfo(d->GetPathName()).canonicalFilePath() == QFileInfo(path).canonicalFilePath())
                    return d.get();
            return nullptr;
        };
        hooks.open = [this](const QString& path) -> CQorsDoc* {
            auto d = std::make_unique<CQorsDoc>();
            if (!d->Files().OnOpenDocument(path)) return nullptr;
            docs.push_back(std::move(d));
            return docs.back().get();
        };
        hooks.create = [this]() -> CQorsDoc* {
            auto d = std::make_unique<CQorsDoc>();
            if (!d->Files().OnNewDocument()) return nullptr;
            docs.push_back(std::move(d));
            return docs.back().get();
        };
        CAppEnvironment::Instance().SetDocumentHooks(hooks);
        writeFile(data + "/hbbb/样表/Monthly.xml", monthSample());
    }
    void TearDown() override {
        for (auto& d : docs) d->Files().OnCloseDocument();
        CAppEnvironment::Instance().SetDocumentHooks({});
        installUiServices(previous);
        SetConsolExchangeFactory({});
    }
    QList<CQorsDoc*> openDocs() {
        QList<CQorsDoc*> out;
        for (auto& d : docs) out << d.get();
        return out;
    }
    // Opens (or prepares) the client report through the frame's operation.
    CQorsDoc* prepare() {
        ConsolCommands commands([this] { return openDocs(); });
        if (!commands.OpenClientFile(report)) return nullptr;
        return CAppEnvironment::Instance().FindOpenDocument(report);
    }
    double number(CQorsDoc* d, int row, int col, int page) {
        CellValue v;
        d->GetReport()->GetCellValue(&v, row, col, page);
        return v.number;
    }
    int keyword(CQorsDoc* d, int slot, int page) {
        KeywordValue v;
        d->GetReport()->GetPageKeyword(slot, &v, page);
        return int(v.number);
    }
    void setPeriod(CQorsDoc* d, int page, int year, int month) {
        d->GetReport()->SetPageKeyword(2, KeywordValue{1, double(year), {}}, page);
        d->GetReport()->SetPageKeyword(4, KeywordValue{1, double(month), {}}, page);
    }
    QString xpath(const QString& file, const QString& expr) {
        QProcess p;
        p.start("xmllint", {"--xpath", expr, file});
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    QString upload(const QString& period) {
        return data + "/hbbb/Alpha(001)/Monthly/upload/" + period + ".xml";
    }

    QTemporaryDir tmp;
    QString data, report;
    QStringList told;
    std::optional<QString> chosen;
    UiServices previous;
    std::vector<std::unique_ptr<CQorsDoc>> docs;
};

}  // namespace

TEST(ConsolFiles, PathsFirmsAndNames) {
    const QString p = "/d/hbbb/Alpha(001)/Monthly/Balance.rep";
    EXPECT_EQ(StripExtension(p), "/d/hbbb/Alpha(001)/Monthly/Balance");
    EXPECT_EQ(ReportName(p), "Balance");
    EXPECT_EQ(SamplePath("/d", p), "/d/hbbb/样表/Monthly.xml");
    EXPECT_EQ(LocalSamplePath(p), "/d/hbbb/Alpha(001)/Monthly/Balance/Monthly.xml");
    EXPECT_EQ(GetUploadDir(p), "/d/hbbb/Alpha(001)/Monthly/upload");
    EXPECT_EQ(GetDownloadDir(p), "/d/hbbb/Alpha(001)/Monthly/download");
    QString name, code;
    UploadFirm(p, &name, &code);
    EXPECT_EQ(name, "Alpha");
    EXPECT_EQ(code, "001");
    // One rule for both: the code stands in the last brackets.
    for (const QString& bracketed : {QString("/d/hbbb/A(B)(002)/Monthly/Balance.rep"),
                                     QStringLiteral("/d/hbbb/星河(深圳)(002)/M/资产.rep")}) {
        UploadFirm(bracketed, &name, &code);
        EXPECT_EQ(code, "002") << qPrintable(bracketed);
        QString otherName, otherCode;
        SplitFirmFolder(bracketed, &otherName, &otherCode);
        EXPECT_EQ(otherName, name);
        EXPECT_EQ(otherCode, code);
    }
    EXPECT_EQ(name, QStringLiteral("星河(深圳)"));
    // Paths of another shape name no firm instead of cutting at -1.
    for (const QString& odd : {QString("/d/reports/Alpha(001)/M/B.rep"), QString("/d/hbbb/Alpha/M/B.rep")}) {
        UploadFirm(odd, &name, &code);
        EXPECT_TRUE(name.isEmpty() && code.isEmpty()) << qPrintable(odd);
    }
    SplitFirmFolder("/d/hbbb/Alpha/M/B.rep", &name, &code);
    EXPECT_TRUE(name.isEmpty() && code.isEmpty());
    // One cut for both uses of the name.
    EXPECT_EQ(ReportName("/d/x/a.b.rep"), "a.b");
}

TEST(ConsolFiles, CoordinatesAliasesPeriods) {
    int col = 0, row = 0;
    EXPECT_TRUE(MatchCellCoordinate("Sheet1!AB12", "Sheet1", &col, &row));
    EXPECT_EQ(col, 28);
    EXPECT_EQ(row, 12);
    for (const char* bad : {"Sheet1!12", "Sheet1!AB", "Sheet2!A1", "Sheet1!IW3", "Sheet1A1", "!A1",
                            "Sheet1!$$A1", "Sheet1!A$", "Sheet1!A1$", "Sheet1!$"})
        EXPECT_FALSE(MatchCellCoordinate(bad, "Sheet1", &col, &row)) << bad;
    // Absolute, and in any letter case.
    for (const char* same : {"sheet1!$ab$12", "SHEET1!AB$12", " Sheet1!$AB12 "}) {
        col = row = 0;
        EXPECT_TRUE(MatchCellCoordinate(same, "Sheet1", &col, &row)) << same;
        EXPECT_EQ(col * 100 + row, 2812) << same;
    }

    // The alias standing twice owns the cells after each of its SNames,
    // never the cell of the alias between them.
    XmlDocument doc = XmlDocument::parse(
        "<SampleAlias><SName>A</SName><CellCoor>S2!B2</CellCoor><SName>X</SName>"
        "<CellCoor>S1!C3</CellCoor><SName>A</SName><CellCoor>S1!D4</CellCoor></SampleAlias>");
    const QList<XmlNode> list = ElementChildren(doc.documentElement());
    ASSERT_TRUE(FindAliasInList(list, "S1", "A", &col, &row));
    EXPECT_EQ(col, 4);
    EXPECT_EQ(row, 4);
    EXPECT_FALSE(FindAliasInList(list, "S1", "Missing", &col, &row));
    EXPECT_TRUE(DamagedAliasList(list).isNull());
    // An SName without a cell of its own, at the end or before the next.
    for (const char* damaged : {"<L><SName>A</SName><CellCoor>S1!B2</CellCoor><SName>B</SName></L>",
                                "<L><SName>B</SName><SName>A</SName><CellCoor>S1!B2</CellCoor></L>"}) {
        XmlDocument d = XmlDocument::parse(damaged);
        EXPECT_EQ(DamagedAliasList(ElementChildren(d.documentElement())), "B") << damaged;
    }

    EXPECT_EQ(PeriodText(2004, 0, 3), "2004-07-01");
    EXPECT_EQ(PeriodText(2004, 11, 0), "2004-11-01");
    EXPECT_EQ(PeriodText(2004, 0, 0), "2004-01-01");
    // A year a download may name keeps four digits, as its file's name did.
    EXPECT_EQ(PeriodText(1, 1, 0), "0001-01-01");
    EXPECT_EQ(PeriodText(999, 12, 0), "0999-12-01");
    EXPECT_EQ(KindLetter(2), "S");
    EXPECT_EQ(KindLetter(-1), "");
    int y = 0, m = 0;
    EXPECT_TRUE(DownloadPeriod("2004-03-01.xml", &y, &m));
    EXPECT_EQ(y * 100 + m, 200403);
    for (const char* junk : {"readme.txt", "04-03-01.xml", "2004-13-01.xml", "2004_03.xml", "2004-3",
                             "2023-02-29.xml", "2004-03-01.xml~", "0000-01-01.xml", "2004-04-31.xml",
                             "2004-03-01.xml.bak", "2004-03-1.xml", "2004-03-01", "2004-03-011.xml"})
        EXPECT_FALSE(DownloadPeriod(junk, &y, &m)) << junk;
    for (const char* date : {"2024-02-29.xml", "2004-03.xml", "2004-12-31.XML", "2004-05-01b.xml"})
        EXPECT_TRUE(DownloadPeriod(date, &y, &m)) << date;

    EXPECT_TRUE(IsXmlName("现金"));
    EXPECT_TRUE(IsXmlName("Cash_1"));
    for (const char* bad : {"a b", "1x", "(x)", ""}) EXPECT_FALSE(IsXmlName(bad)) << bad;
}

TEST_F(Consol, NewReportIsPreparedWithDownloadsAndWritesUploadsOnTheUsersSave) {
    const QString down = data + "/hbbb/Alpha(001)/Monthly/download/";
    writeFile(down + "2004-03-01.xml", downloadFile("120"));
    writeFile(down + "2004-05-01.xml", downloadFile("300", "0.5"));
    writeFile(down + "2004-05-01b.xml", downloadFile("350", "abc"));  // same month, second wins
    writeFile(down + "notes.txt", "junk");
    writeFile(down + "2004-06-01.xml", "not xml at all");

    // Another open report stays as it is.
    auto other = std::make_unique<CQorsDoc>();
    ASSERT_TRUE(other->Files().OnNewDocument());
    CQorsDoc* active = other.get();
    docs.push_back(std::move(other));
    const int activeRows = active->GetReport()->GetRowCount();

    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    EXPECT_NE(d, active);
    EXPECT_EQ(active->GetReport()->GetRowCount(), activeRows);
    EXPECT_EQ(active->Files().GetClientMarker(), 0u);
    EXPECT_EQ(d->Files().GetClientMarker(), kConsolClientMarker);
    EXPECT_TRUE(QFileInfo::exists(report));
    EXPECT_EQ(d->GetReport()->GetRowCount(), 6);
    // Pages 2004-03 and 2004-05; the junk files took no page.
    ASSERT_EQ(d->GetReport()->GetPageCount(), 2) << qPrintable(told.join('\n'));
    int p3 = keyword(d, 4, 1) == 3 ? 1 : 2, p5 = 3 - p3;
    EXPECT_EQ(keyword(d, 2, p5), 2004);
    EXPECT_EQ(number(d, 4, 2, p3), 120);
    EXPECT_EQ(number(d, 4, 3, p3), 25);  // 0.25 on a percent cell
    EXPECT_EQ(number(d, 4, 2, p5), 350);
    EXPECT_EQ(number(d, 4, 3, p5), 50);  // the bad number was skipped
    EXPECT_TRUE(QFileInfo::exists(StripExtension(report) + "/2004-03-01.xml"));
    EXPECT_TRUE(QFileInfo::exists(StripExtension(report) + "/Monthly.xml"));
    // The preparing save writes no upload file; the user's save does.
    EXPECT_FALSE(QFileInfo::exists(upload("2004-03-01")));
    ASSERT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));
    ASSERT_TRUE(QFileInfo::exists(upload("2004-03-01")));
    ASSERT_TRUE(QFileInfo::exists(upload("2004-05-01")));
    ASSERT_TRUE(d->Files().OnSaveDocument());  // twice: still one of each block

    const QString f = upload("2004-03-01");
    QProcess lint;
    lint.start("xmllint", {"--noout", f});
    lint.waitForFinished();
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().constData();
    EXPECT_EQ(xpath(f, "count(/ReportData/SampleID)"), "1");
    EXPECT_EQ(xpath(f, "count(/ReportData/Surface)"), "1");
    EXPECT_EQ(xpath(f, "count(/ReportData/Balance)"), "1");
    EXPECT_EQ(xpath(f, "string(/ReportData/SampleID)"), "S-07");
    EXPECT_EQ(xpath(f, "string(/ReportData/Surface/sType)"), "M");
    EXPECT_EQ(xpath(f, "string(/ReportData/Surface/TypeValue)"), "2004-03-01");
    EXPECT_EQ(xpath(f, "string(/ReportData/Surface/ReportFirmCode)"), "001");
    EXPECT_EQ(xpath(f, "string(/ReportData/Balance/Cash)"), "120");
    EXPECT_EQ(xpath(f, "string(/ReportData/Balance/Rate)"), "0.25");
}

TEST_F(Consol, SaveChecksRefuseBadPeriodsAndKeepTheFile) {
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", downloadFile("10"));
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    const QByteArray onDisk = readAll(report);
    told.clear();

    // A recorded period changed: refused until it is changed back.
    setPeriod(d, 1, 2004, 4);
    EXPECT_FALSE(d->Files().OnSaveDocument());
    EXPECT_EQ(told.value(0), "合并报表客户端文件不能更改区间.");
    EXPECT_EQ(readAll(report), onDisk);
    EXPECT_FALSE(QFileInfo::exists(upload("2004-04-01")));
    setPeriod(d, 1, 2004, 3);
    told.clear();
    EXPECT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));

    // Two pages of one month; then a year beyond 2050; then a value the
    // sample's rule refuses on the second page.
    ASSERT_EQ(d->GetReport()->AppendRowColPage(1, 2), 0);
    d->SetCurrentPage(1);
    setPeriod(d, 2, 2004, 3);
    told.clear();
    EXPECT_FALSE(d->Files().OnSaveDocument());
    EXPECT_EQ(told.value(0), "月报：第1页同第2页关键字重复");
    setPeriod(d, 2, 2051, 3);
    told.clear();
    EXPECT_FALSE(d->Files().OnSaveDocument());
    EXPECT_EQ(told.value(0), "第2页,关键字'年'必须小于等于2050");
    setPeriod(d, 2, 2050, 3);
    d->GetReport()->SetCellValue(CellValue::ofNumber(5000), 5, 2, 2);
    told.clear();
    EXPECT_FALSE(d->Files().OnSaveDocument());
    EXPECT_EQ(told.size(), 1);
    d->GetReport()->SetCellValue(CellValue::ofNumber(500), 5, 2, 2);
    told.clear();
    EXPECT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));
    EXPECT_TRUE(QFileInfo::exists(upload("2050-03-01")));

    // A report without the marker is not a client report.
    CConsolExchange plain;
    CQorsDoc blank;
    ASSERT_TRUE(blank.Files().OnNewDocument());
    EXPECT_EQ(plain.CheckPeriodsUnchanged(blank), 1);
    blank.Files().OnCloseDocument();
}

TEST_F(Consol, BadInputChangesNothing) {
    // A missing sample: nothing is made or changed.
    QFile::remove(data + "/hbbb/样表/Monthly.xml");
    EXPECT_EQ(prepare(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(report));
    EXPECT_TRUE(told.value(0).contains("样表")) << qPrintable(told.join('\n'));

    writeFile(data + "/hbbb/样表/Monthly.xml", monthSample());
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr);
    const QByteArray before = readAll(report);
    const int pages = d->GetReport()->GetPageCount();

    // A changed format whose backup was refused: the pages stay.
    writeFile(data + "/hbbb/样表/Monthly.xml", monthSample("<!-- v2 -->\n<Extra/>\n"));
    UiServices ui = uiServices();
    ui.messageBox = [this](const MessageRequest& m) {
        told << m.text;
        return m.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    };
    installUiServices(ui);
    chosen.reset();  // the file chooser cancelled
    told.clear();
    EXPECT_EQ(prepare(), nullptr);
    EXPECT_EQ(d->GetReport()->GetPageCount(), pages);
    EXPECT_EQ(readAll(report), before);
    EXPECT_NE(readAll(StripExtension(report) + "/Monthly.xml"), readAll(data + "/hbbb/样表/Monthly.xml"));

    // With the backup made the format is taken and the copy brought level.
    chosen = tmp.path() + "/backup.rep";
    EXPECT_NE(prepare(), nullptr) << qPrintable(told.join('\n'));
    EXPECT_EQ(readAll(tmp.path() + "/backup.rep"), before);
    EXPECT_EQ(readAll(StripExtension(report) + "/Monthly.xml"), readAll(data + "/hbbb/样表/Monthly.xml"));
}

TEST_F(Consol, ARefusedChoiceLeavesNoFolderAndNoWindow) {
    // 打开客户端报表 with names the sample cannot make: a report the sample
    // has no sheet for, and a file the client sent down typed as a name.
    ConsolCommands commands([this] { return openDocs(); });
    const QString monthly = data + "/hbbb/Alpha(001)/Monthly";
    writeFile(monthly + "/download/2004-03-01.xml", downloadFile("5"));
    chosen = monthly + "/Zzz.rep";
    EXPECT_EQ(commands.ChooseAndOpen(), 0);
    EXPECT_TRUE(told.value(0).contains("Zzz")) << qPrintable(told.join('\n'));
    chosen = monthly + "/download/2004-03-01.xml";
    EXPECT_EQ(commands.ChooseAndOpen(), 0);
    EXPECT_EQ(told.value(1),
              LoadErrorText(qor::str::kClientFileNotReport).arg(QDir::toNativeSeparators(*chosen)));
    EXPECT_TRUE(docs.empty());
    QStringList entries = QDir(monthly).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(entries, QStringList{"download"});
    entries = QDir(monthly + "/download").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(entries, QStringList{"2004-03-01.xml"});
}

TEST_F(Consol, UploadFailuresAreReported) {
    // An alias that is no element name is skipped, and the save says the
    // upload failed while the report itself is saved.
    writeFile(data + "/hbbb/样表/Monthly.xml", monthSample(QString(), "Cash (old)"));
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", downloadFile("10"));
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    d->GetReport()->SetCellValue(CellValue::ofNumber(7), 4, 2, 1);
    d->GetReport()->SetCellValue(CellValue::ofNumber(25), 4, 3, 1);
    told.clear();
    EXPECT_TRUE(d->Files().OnSaveDocument());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("2004-03-01"));
    EXPECT_EQ(xpath(upload("2004-03-01"), "string(/ReportData/Balance/Rate)"), "0.25");

    // An upload file that does not parse is not overwritten.
    writeFile(upload("2004-03-01"), "<broken");
    told.clear();
    EXPECT_TRUE(d->Files().OnSaveDocument());
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(readAll(upload("2004-03-01")), "<broken");
}

// The main window's id reaches the client when the client is made, not
// before: a window made after the commands still gets its id through.
TEST_F(Consol, TheWindowIdIsAskedWhenTheClientIsMade) {
    RegisterBuiltinComponents();
    int asked = 0;
    ConsolCommands commands([this] { return openDocs(); }, [&asked] {
        ++asked;
        return qint32(4321);
    });
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(commands.LoginConsolidationClient()) << qPrintable(told.join('\n'));
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(commands.LoginConsolidationClient());
    EXPECT_EQ(asked, 2);
    // Without a window the client is made all the same.
    ConsolCommands windowless([this] { return openDocs(); });
    EXPECT_TRUE(windowless.LoginConsolidationClient());
}

TEST_F(Consol, DownloadAndUploadThroughTheStandIn) {
    const QString server = tmp.path() + "/server";
    Registry::writeString(ConsolidationClientStandIn::kSettingsKey, "ServerFolder", server);
    RegisterBuiltinComponents();
    ConsolCommands commands([this] { return openDocs(); });
    // The report of a firm name outside GB2312 comes down with its sample.
    report = data + "/hbbb/喆达(001)/Monthly/Balance.rep";
    writeFile(server + "/hbbb/样表/Monthly.xml", monthSample());
    writeFile(server + "/hbbb/喆达(001)/Monthly/download/2004-03-01.xml", downloadFile("1"));
    ASSERT_EQ(commands.Download(), 1) << qPrintable(told.join('\n'));
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    ASSERT_EQ(d->GetReport()->GetPageCount(), 1);

    // A later download reaches the open report: a new month, a new page.
    // An item the sample does not know and a value that is no number are
    // named in the summary; the rest still lands.
    writeFile(server + "/hbbb/喆达(001)/Monthly/download/2004-04-01.xml",
              "<ReportData><SampleData><ZZ>1</ZZ><Cash>2</Cash><Rate>inf</Rate></SampleData></ReportData>");
    told.clear();
    ASSERT_EQ(commands.Download(), 1) << qPrintable(told.join('\n'));
    ASSERT_EQ(d->GetReport()->GetPageCount(), 2);
    EXPECT_EQ(commands.LastTakeIn().notTaken.size(), 2);
    ASSERT_FALSE(told.isEmpty());
    EXPECT_TRUE(told.last().contains("2004-04-01.xml：下发数据 ZZ")) << qPrintable(told.join('\n'));
    EXPECT_TRUE(told.last().contains("“inf”")) << qPrintable(told.join('\n'));
    EXPECT_EQ(number(d, 4, 2, 2), 2);

    ASSERT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));
    ASSERT_EQ(commands.Upload(), 1) << qPrintable(told.join('\n'));
    const QString sent = server + "/hbbb/喆达(001)/Monthly/upload/2004-04-01.xml";
    ASSERT_TRUE(QFileInfo::exists(sent));
    EXPECT_EQ(xpath(sent, "string(/ReportData/Surface/ReportFirmName)"), "喆达");
    EXPECT_EQ(xpath(sent, "string(/ReportData/Balance/Cash)"), "2");

    // No server folder: the client's call fails with 62571, nothing held.
    Registry::writeString(ConsolidationClientStandIn::kSettingsKey, "ServerFolder", "");
    told.clear();
    EXPECT_EQ(commands.Download(), 0);
    EXPECT_EQ(told.value(0), "无法调用合并报表下载服务");
}

TEST_F(Consol, FailedSavesLeaveTheLocalSampleAndReportTheUpload) {
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml", downloadFile("10"));
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    const QByteArray local = readAll(StripExtension(report) + "/Monthly.xml");

    // A new format whose save fails (a full disk): the local copy stays
    // behind, so the change is noticed again next time.
    writeFile(data + "/hbbb/样表/Monthly.xml", monthSample("<Extra/>\n"));
    SetSaveFaultAfterBytes(0, ENOSPC);
    told.clear();
    EXPECT_EQ(prepare(), nullptr);
    SetSaveFaultAfterBytes(-1);
    EXPECT_FALSE(told.isEmpty());
    EXPECT_EQ(readAll(StripExtension(report) + "/Monthly.xml"), local);
    CConsolExchange again;
    ASSERT_EQ(again.OpenDownloadedSample(report), 1);
    EXPECT_EQ(again.FormatChanged(), 1);

    // An upload folder that cannot be made: the report is saved and the
    // user is told which period was not written.
    QDir(GetUploadDir(report)).removeRecursively();
    writeFile(GetUploadDir(report), "a file where the folder should be");
    told.clear();
    EXPECT_TRUE(d->Files().OnSaveDocument());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains("2004-03-01")) << qPrintable(told[0]);
}

TEST_F(Consol, SpecialTablesComeDownAndGoUpByTheirCounterpartFirm) {
    // An investment table: its rows are keyed by the other firm's code.
    const QString name = LoadErrorText(qor::str::kInvestmentTable);
    QByteArray sample = monthSample(
        "<Invest><OtherFirmCode>002</OtherFirmCode><Amount>" + name +
        "!B5</Amount><Note>kept</Note></Invest>\n");
    sample.replace("ss:Name=\"Balance\"", ("ss:Name=\"" + name + "\"").toUtf8());
    writeFile(data + "/hbbb/样表/Monthly.xml", sample);
    report = data + "/hbbb/Alpha(001)/Monthly/" + name + ".rep";
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml",
              "<ReportData><Invest><OtherFirmCode>009</OtherFirmCode><Amount>1</Amount></Invest>"
              "<Invest><OtherFirmCode>002</OtherFirmCode><Amount>77</Amount></Invest></ReportData>");
    CQorsDoc* d = prepare();
    ASSERT_NE(d, nullptr) << qPrintable(told.join('\n'));
    EXPECT_EQ(number(d, 5, 2, 1), 77);

    ASSERT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));
    ASSERT_TRUE(d->Files().OnSaveDocument());
    const QString f = upload("2004-03-01");
    EXPECT_EQ(xpath(f, "count(/ReportData/Invest)"), "1");
    EXPECT_EQ(xpath(f, "string(/ReportData/Invest/Amount)"), "77");
    EXPECT_EQ(xpath(f, "string(/ReportData/Invest/OtherFirmCode)"), "002");
    EXPECT_EQ(xpath(f, "string(/ReportData/Invest/Note)"), "kept");
    EXPECT_EQ(xpath(f, "string(/ReportData/Invest/SelfFirmCode)"), "001");
    EXPECT_EQ(xpath(f, "string(/ReportData/Invest/SelfFirmName)"), "Alpha");
}

// A percent cell goes up as the amount the clerk sees, its point moved,
// never as the double nearest a hundredth of it; a cell written twice by
// one take-in is one changed cell.
TEST_F(Consol, PercentAmountsGoUpAsShownAndChangedCellsAreCountedOnce) {
    const std::pair<const char*, const char*> rates[] = {
        {"0.0035", "0.0035"}, {"-0.0125", "-0.0125"}, {"1.5", "1.5"}, {"0.07", "0.07"}, {"12", "12"}};
    int month = 1;
    for (const auto& [rate, sent] : rates)
        writeFile(data + QString("/hbbb/Alpha(001)/Monthly/download/2004-%1-01.xml").arg(month++, 2, 10, QChar('0')),
                  downloadFile("1", rate));
    // Two files of one period and an item repeated: B4 ends at 9 on page 1.
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-01-15.xml",
              "<ReportData><SampleData><Cash>8</Cash><Cash>9</Cash></SampleData></ReportData>");
    ConsolCommands commands([this] { return openDocs(); });
    ASSERT_TRUE(commands.OpenClientFile(report)) << qPrintable(told.join('\n'));
    // Five pages, each with Cash and Rate: ten cells, page 1's Cash once.
    EXPECT_EQ(commands.LastTakeIn().changedCells, 10);
    CQorsDoc* d = CAppEnvironment::Instance().FindOpenDocument(report);
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(d->Files().OnSaveDocument()) << qPrintable(told.join('\n'));
    month = 1;
    for (const auto& [rate, sent] : rates) {
        const QString file = upload(QString("2004-%1-01").arg(month++, 2, 10, QChar('0')));
        EXPECT_EQ(xpath(file, "string(/ReportData/Balance/Rate)"), QString::fromLatin1(sent)) << rate;
    }
    EXPECT_EQ(number(d, 4, 2, 1), 9);
    // February again, its Cash written three times and its Rate as it was.
    writeFile(data + "/hbbb/Alpha(001)/Monthly/download/2004-02-01.xml",
              "<ReportData><SampleData><Cash>1</Cash><Cash>3</Cash><Cash>4</Cash><Rate>-0.0125</Rate></SampleData>"
              "</ReportData>");
    ASSERT_TRUE(commands.OpenClientFile(report));
    EXPECT_EQ(commands.LastTakeIn().changedCells, 1);
    EXPECT_EQ(number(d, 4, 2, 2), 4);
}
